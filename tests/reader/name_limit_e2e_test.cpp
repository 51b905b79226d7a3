// vantoget end to end at the limits of a pass: a names answer with more
// entries than the reader keeps, and tables that fill up, against a
// vantoserver with one device of 8005 locations.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "text_diff.h"

namespace {

const char* const kConfig = R"(
[[device]]
facility = "CUT.SIM"
name = "MANY"
location_prefix = "L"
location_count = 8005
  [[device.property]]
  name = "VALUE"
  type = "INT"
  value = 7
)";

std::string repeated(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

class VantogetNameLimits : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<vantotest::ServerProcess>(vantotest::temp_file(kConfig, ".toml"));
  }
  static void TearDownTestSuite() { server_.reset(); }

  static vantotest::ProgramResult run(const std::vector<std::string>& args) {
    return vantotest::run_program(VANTOGET_PATH, args, "", {{"VANTO_ENS", server_->ens()}},
                                  std::chrono::minutes(5));
  }

  static std::unique_ptr<vantotest::ServerProcess> server_;
};

std::unique_ptr<vantotest::ServerProcess> VantogetNameLimits::server_;

TEST_F(VantogetNameLimits, AnswerBeyond8000NamesIsCutAndTheCutIsReported) {
  const auto r = run({"-N", "-c", "CUT.SIM/MANY/*"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string expected;
  for (int i = 1; i <= 8000; ++i) expected += "CUT.SIM/MANY/L" + std::to_string(i) + "\n";
  EXPECT_SAME_TEXT(expected, r.out);
  EXPECT_EQ(r.err,
            "vantoget: CUT.SIM/MANY/*/ names call: 8005 names, only the first 8000 are used\n");
}

TEST_F(VantogetNameLimits, EightThousandValuesFillTheLineAndTheTable) {
  const std::string file = vantotest::temp_dir() + "/t.txt";
  const auto r = run({"-T", "-E", "-F", file, "-c", "CUT.SIM/MANY/*/VALUE"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(repeated("7\t", 8000) + "\ntable is created in the file " + file + "\n", r.out);
  std::ifstream in(file);
  std::ostringstream table;
  table << in.rdbuf();
  EXPECT_SAME_TEXT(repeated("7 \n", 8000), table.str());
}

TEST_F(VantogetNameLimits, ValuesBeyondTheTablesEndThePassWithAFailure) {
  // 8000 locations, then one more name: the tables hold 8000 values.
  const auto r = run({"-T", "-c", "CUT.SIM/MANY/*/VALUE CUT.SIM/MANY/L1/VALUE"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("more than 8000 values"), std::string::npos) << r.err;
}

}  // namespace
