// A vantoserver of its own per test, vantoput run against it, and a second
// client that reads and writes channels directly.
#pragma once

#include <gtest/gtest.h>
#include <vanto/eqadr.h>
#include <vanto/eqcall.h>
#include <vanto/eqdata.h>

#include <memory>
#include <string>
#include <vector>

#include "harness.h"

namespace writertest {

class PutFixture : public ::testing::Test {
 protected:
  // A test with channels of its own calls this before anything else.
  void start_server(const std::string& config = vantotest::example_path("demo.toml")) {
    server_ = std::make_unique<vantotest::ServerProcess>(config);
  }
  void SetUp() override {
    if (!server_) start_server();
  }

  vantotest::ServerProcess& server() { return *server_; }

  vantotest::ProgramResult put(const std::vector<std::string>& args) {
    return vantotest::run_program(VANTOPUT_PATH, args, "", {{"VANTO_ENS", server_->ens()}});
  }
  vantotest::ProgramResult run(const std::string& program, const std::vector<std::string>& args) {
    return vantotest::run_program(program, args, "", {{"VANTO_ENS", server_->ens()}});
  }

  // The channel's value as a second client sees it.
  vanto::EqData read(const std::string& address) {
    vanto::EqData out = server_->read(address);
    EXPECT_EQ(out.error(), 0) << address << ": " << out.error_text();
    return out;
  }
  std::string read_text(const std::string& address) { return read(address).get_string(); }

  // Sets an INT channel through a second client.
  void write_int(const std::string& address, int value) {
    vanto::EqCall call;
    vanto::EqAdr adr(server_->direct(address));
    vanto::EqData in, out;
    in.set_type(vanto::DATA_INT);
    in.set_int(value);
    ASSERT_EQ(call.set(&adr, &in, &out), 0) << address << ": " << out.error_text();
  }

 private:
  std::unique_ptr<vantotest::ServerProcess> server_;
};

// The TEST.VAC devices and locations of the demo installation, in list order.
inline const std::vector<std::string> kVacDevices = {"PUMP1", "PUMP2", "GAUGENG", "VALVENG",
                                                     "ABXY"};
inline const std::vector<std::string> kVacLocations = {"L1", "L2", "SRV._SVR"};

inline std::vector<std::string> vac_addresses(const std::vector<std::string>& devices,
                                              const std::vector<std::string>& locations,
                                              const std::string& property = "ERROR") {
  std::vector<std::string> addresses;
  for (const std::string& d : devices)
    for (const std::string& l : locations)
      addresses.push_back("TEST.VAC/" + d + "/" + l + "/" + property);
  return addresses;
}

}  // namespace writertest
