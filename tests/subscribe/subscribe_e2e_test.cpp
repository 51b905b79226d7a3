// vantozmq_subscribe run as a program against a started vantoserver.
#include <csignal>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <vanto/vanto.h>

#include "harness.h"

namespace {

using namespace std::chrono_literals;

const std::string kProgram = VANTOZMQ_SUBSCRIBE_PATH;
const std::string kEstablished = "Subscription established successfully. Press Ctrl-C to stop.\n";

std::string usage_text(const std::string& argv0) {
  return "Usage: " + argv0 +
         " <vanto_address>\n"
         "Subscribe to the given address with VANTO-over-ZeroMQ and print\n"
         "all received data packets.\n\n";
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class SubscribeTest : public vantotest::ServerTest {};

TEST_F(SubscribeTest, WrongArgumentCountPrintsUsage) {
  for (const auto& args : {std::vector<std::string>{},
                           std::vector<std::string>{"TEST.SIM/STREAM/LOC1/COUNTER", "extra"}}) {
    vantotest::ProgramResult r = vantotest::run_program(kProgram, args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, usage_text(kProgram));
  }
}

TEST_F(SubscribeTest, EmptyAddressFieldIsRefused) {
  vantotest::ProgramResult r = vantotest::run_program(kProgram, {"TEST.VAC/GAUGE//P"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Invalid VANTO address: TEST.VAC/GAUGE//P\n");
}

TEST_F(SubscribeTest, UnknownFacilityEndsWithTheNameServiceError) {
  vantotest::ProgramResult r = vantotest::run_program(kProgram, {"NO.SUCH/DEV/LOC/PROP"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "Subscribing to NO.SUCH/DEV/LOC/PROP ...\n");
  const std::string head = "Error 119, " + vanto::get_error_string(119) + ": ";
  EXPECT_EQ(r.err.rfind(head, 0), 0u) << r.err;
  EXPECT_EQ(lines_of(r.err).size(), 1u) << r.err;
}

TEST_F(SubscribeTest, StreamedChannelPrintsIncreasingValuesUntilInterrupted) {
  vantotest::ChildProcess child(kProgram, {"TEST.SIM/STREAM/LOC1/COUNTER"});
  ASSERT_TRUE(child.wait_for_out(kEstablished, 30s)) << child.out() << child.err();
  ASSERT_TRUE(child.wait_for_out(" DATA_", 30s, 5)) << child.out() << child.err();
  child.signal(SIGINT);
  vantotest::ProgramResult r = child.wait();
  EXPECT_EQ(r.status, 128 + SIGINT);
  EXPECT_EQ(r.err, "");

  std::vector<std::string> lines = lines_of(r.out);
  ASSERT_GE(lines.size(), 7u) << r.out;
  EXPECT_EQ(lines[0], "Subscribing to TEST.SIM/STREAM/LOC1/COUNTER ...");
  const std::regex update(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d DATA_(\S+) (-?\d+))");
  long previous = -1;
  int updates = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i] + "\n" == kEstablished) continue;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, update)) << "line " << i << ": " << lines[i];
    EXPECT_EQ(m[1].str(), vanto::EqData::type_string(vanto::DATA_INT));
    long value = std::stol(m[2].str());
    EXPECT_GT(value, previous) << lines[i];
    previous = value;
    ++updates;
  }
  EXPECT_GE(updates, 5);
}

TEST(SubscribeServerDownTest, ChannelWhoseServerIsDownEndsWithStatusOne) {
  vantotest::ServerProcess server;
  const std::string ens = server.ens();
  server.stop();
  vantotest::ProgramResult r =
      vantotest::run_program(kProgram, {"TEST.SIM/STREAM/LOC1/COUNTER"}, "", {{"VANTO_ENS", ens}});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Subscribing to TEST.SIM/STREAM/LOC1/COUNTER ...\n");
  EXPECT_EQ(r.err.rfind("Error 100, " + vanto::get_error_string(100) + ": ", 0), 0u) << r.err;
}

}  // namespace
