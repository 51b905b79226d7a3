// vantozmq_subscribe run as a program against a started vantoserver.
#include <csignal>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <vanto/vanto.h>

#include "harness.h"
#include "text_diff.h"

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
  EXPECT_EQ(vantotest::lines_of(r.err).size(), 1u) << r.err;
}

// A channel, the type it holds, and how many updates to wait for: a streamed
// counter (a few updates a second) and a flood (many updates share a write).
struct Updates {
  std::string name;
  std::string channel;
  int type;
  int updates;
};
void PrintTo(const Updates& u, std::ostream* os) { *os << u.channel; }

class SubscribeUpdatesTest : public SubscribeTest, public ::testing::WithParamInterface<Updates> {};

TEST_P(SubscribeUpdatesTest, PrintsWholeLinesOfIncreasingValuesUntilInterrupted) {
  const Updates& p = GetParam();
  vantotest::ChildProcess child(kProgram, {p.channel});
  ASSERT_TRUE(child.wait_for_out(kEstablished, 30s)) << child.out() << child.err();
  ASSERT_TRUE(child.wait_for_out(" DATA_", 30s, p.updates)) << child.out() << child.err();
  child.signal(SIGINT);
  vantotest::ProgramResult r = child.wait();
  EXPECT_EQ(r.status, 128 + SIGINT);
  EXPECT_EQ(r.err, "");

  std::vector<std::string> lines = vantotest::lines_of(r.out);
  ASSERT_GE(lines.size(), p.updates + 2u) << r.out;
  EXPECT_EQ(lines[0], "Subscribing to " + p.channel + " ...");
  EXPECT_EQ(lines[1] + "\n", kEstablished);  // before any update
  const std::regex update(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d DATA_(\S+) (-?\d+))");
  const std::string type = vanto::EqData::type_string(p.type);
  long previous = -1;
  for (size_t i = 2; i < lines.size(); ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, update)) << "line " << i << ": " << lines[i];
    ASSERT_EQ(m[1].str(), type) << lines[i];
    const long value = std::stol(m[2].str());
    ASSERT_GT(value, previous) << "line " << i << ": " << lines[i];
    previous = value;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Channels, SubscribeUpdatesTest,
    ::testing::Values(Updates{"StreamedCounter", "TEST.SIM/STREAM/LOC1/COUNTER", vanto::DATA_INT,
                              5},
                      Updates{"Flood", "TEST.SIM/DYNAMIC/LOC1/FLOOD", vanto::DATA_LONG, 10000}),
    [](const ::testing::TestParamInfo<Updates>& test) { return test.param.name; });

TEST(SubscribeServerDownTest, ChannelWhoseServerIsDownEndsWithStatusOne) {
  vantotest::ProgramResult r = vantotest::run_program(kProgram, {"TEST.SIM/STREAM/LOC1/COUNTER"},
                                                      "", {{"VANTO_ENS", vantotest::dead_ens()}});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Subscribing to TEST.SIM/STREAM/LOC1/COUNTER ...\n");
  EXPECT_EQ(r.err.rfind("Error 100, " + vanto::get_error_string(100) + ": ", 0), 0u) << r.err;
}

}  // namespace
