// The example programs run against a started vantoserver.
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "harness.h"

namespace {

const std::string kReadChannel = READ_CHANNEL_PATH;

class ReadChannelExample : public vantotest::ServerTest {};

TEST_F(ReadChannelExample, PrintsValueAndTime) {
  const vantotest::ProgramResult r =
      vantotest::run_program(kReadChannel, {"TEST.SIM/SCALAR/LOC1/INT"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(std::regex_match(
      r.out, std::regex("TEST\\.SIM/SCALAR/LOC1/INT = 42 at "
                        "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{6} UTC\n")))
      << r.out;
}

TEST_F(ReadChannelExample, FailuresEndNonZeroWithTheErrorText) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {{"NO.SUCH/DEV/LOC/PROP"}, 1, kReadChannel + ": NO.SUCH/DEV/LOC/PROP: error 119, "},
      {{"TEST.SIM/SCALAR/LOC1/NOPE"}, 1, kReadChannel + ": TEST.SIM/SCALAR/LOC1/NOPE: error 102, "},
      {{"A/B/C/D/E"}, 2, kReadChannel + ": A/B/C/D/E: "},
      {{}, 2, "Usage: " + kReadChannel + " <address>\n"},
  };
  for (const Case& c : cases) {
    const vantotest::ProgramResult r = vantotest::run_program(kReadChannel, c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
    EXPECT_EQ(r.err.back(), '\n');
  }
}

}  // namespace
