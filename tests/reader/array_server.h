// The installation of the image, picture and history tests: images of every
// pixel size, histories of several lengths and a spectrum; and the fixture
// that starts one server on it per test suite.
//
// The histories are pre-filled with one point every period ending one period
// before the server started, from a counter plus their offset. The server
// adds one live point at start and none for the next period.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "harness.h"

namespace readertest {

inline const char* const kArrayConfig = R"(
[[device]]
facility = "TEST.PIC"
name = "IMAGE"
locations = ["LOC1"]
  [[device.property]]
  name = "GREY"
  type = "IMAGE"
  width = 5
  height = 3
  bpp = 1
  pattern = "gradient"
  [[device.property]]
  name = "GREY16"
  type = "IMAGE"
  width = 2
  height = 2
  bpp = 2
  value = [1, 0, 255, 255, 0, 1, 52, 18]
  [[device.property]]
  name = "RGB"
  type = "IMAGE"
  width = 2
  height = 2
  bpp = 3
  value = [1, 2, 3, 4, 5, 6, 7, 8, 9, 250, 251, 252]
  [[device.property]]
  name = "RGBX"
  type = "IMAGE"
  width = 1
  height = 2
  bpp = 4
  value = [255, 128, 7, 0, 7, 1, 0, 9]
  [[device.property]]
  name = "WIDE"
  type = "IMAGE"
  width = 1
  height = 2
  bpp = 4
  value = [255, 255, 255, 255, 7, 1, 0, 0]
  [[device.property]]
  name = "HUGE"
  type = "IMAGE"
  width = 1000001
  height = 1
  bpp = 1
  pattern = "gradient"
  [[device.property]]
  name = "INT"
  type = "INT"
  value = 3

[[device]]
facility = "TEST.R3"
name = "HIST"
locations = ["LOC1"]
  [[device.property]]
  name = "PAGED"
  type = "A_TDS"
  dynamic = "counter"
  offset = 10000.0
  history = { capacity = 10000, period = 1000, prefill = 2500 }
  [[device.property]]
  name = "SHORT"
  type = "A_TDS"
  dynamic = "counter"
  offset = 500.0
  history = { capacity = 100, period = 1000, prefill = 5 }
  [[device.property]]
  name = "TDS"
  type = "A_TDS"
  dynamic = "counter"
  history = { capacity = 100, period = 1000, prefill = 40 }
  [[device.property]]
  name = "TSINT"
  type = "A_TS_INT"
  dynamic = "counter"
  offset = 100.0
  history = { capacity = 100, period = 1000, prefill = 5 }
  [[device.property]]
  name = "GAPS"
  type = "A_TDS"
  dynamic = "counter"
  history = { capacity = 10, period = 150000, prefill = 3 }
  [[device.property]]
  name = "SPECTRUM"
  type = "SPECTRUM"
  value = [10, 20, 30]
  start = 1.5
  increment = 0.5
  [[device.property]]
  name = "NANS"
  type = "SPECTRUM"
  value = [nan, inf]
  start = 1.0
  increment = 0.5
)";

// One server on kArrayConfig per test suite; vantoget runs against it.
class ArrayServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ =
        std::make_unique<vantotest::ServerProcess>(vantotest::temp_file(kArrayConfig, ".toml"));
  }
  static void TearDownTestSuite() { server_.reset(); }
  static vantotest::ProgramResult run(const std::vector<std::string>& args) {
    return vantotest::run_program(VANTOGET_PATH, args, "", {{"VANTO_ENS", server_->ens()}});
  }

  static inline std::unique_ptr<vantotest::ServerProcess> server_;
};

}  // namespace readertest
