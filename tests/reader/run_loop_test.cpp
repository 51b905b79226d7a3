// The run loop's decisions that need no server.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <sstream>

#include "run_loop.h"

namespace {

vantoget::ReaderOptions channel_options(const std::string& name) {
  vantoget::ReaderOptions o;
  o.channels_flag = true;
  o.channels = name;
  o.channel = {name};
  return o;
}

TEST(RunLoop, ZeroOrNegativeLoopCountReadsNothing) {
  for (long count : {0L, -4L}) {
    vantoget::ReaderOptions o = channel_options("TEST.SIM/SCALAR/LOC1/INT");
    o.loop = count - 1;
    o.loop_flag = true;
    std::ostringstream out, err;
    EXPECT_EQ(vantoget::run_reader(o, out, err), 0);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "");
  }
}

TEST(RunLoop, SingleWildcardNameIsCheckedBeforeAnyRead) {
  struct Case {
    const char* name;
    const char* message;
  };
  for (const Case& c :
       {Case{"vanto://127.0.0.1:1/TEST.VAC/*/L1/ERROR",
             "invalid VANTO Address: vanto://127.0.0.1:1/TEST.VAC/*/L1/ERROR, exit \n"},
        Case{"TEST.*/PUMP1/L1/ERROR", "not allowed address: TEST.*/PUMP1/L1/ERROR\n"}}) {
    std::ostringstream out, err;
    EXPECT_EQ(vantoget::run_reader(channel_options(c.name), out, err), 1);
    EXPECT_EQ(err.str(), c.message);
    EXPECT_EQ(out.str(), "");
  }
}

TEST(RunLoop, SaveAndRestoreModeReportsAMissingFile) {
  vantoget::ReaderOptions o;
  o.filename = "/nonexistent/dir/file.sr";
  std::ostringstream out, err;
  EXPECT_EQ(vantoget::run_reader(o, out, err), 1);
  EXPECT_NE(err.str(), "");
}

TEST(Pause, SecondsBecomeMicrosecondsWithinRange) {
  EXPECT_EQ(vantoget::pause_microseconds(0.5f), 500000u);
  EXPECT_EQ(vantoget::pause_microseconds(10.0f), 10000000u);
  EXPECT_EQ(vantoget::pause_microseconds(0.0f), 0u);
  EXPECT_EQ(vantoget::pause_microseconds(-3.0f), 0u);
  EXPECT_EQ(vantoget::pause_microseconds(std::nanf("")), 0u);
  // Hours stay hours (32 bits of microseconds would end after 71 minutes).
  EXPECT_EQ(vantoget::pause_microseconds(7200.0f), 7200000000u);
  EXPECT_EQ(vantoget::pause_microseconds(1e12f), vantoget::kLongestPause);
}

}  // namespace
