// The retried call: how many attempts, when the retry request is made.
#include <gtest/gtest.h>

#include <vector>

#include "retry.h"

namespace {

struct Script {
  std::vector<int> codes;  // what each attempt returns
  int calls = 0;
  int retries = 0;
  int run(int attempts) {
    return vantocli::call_with_retry(
        attempts, [&] { return codes.at(static_cast<std::size_t>(calls++)); }, [&] { ++retries; });
  }
};

TEST(CallWithRetry, RepeatsAfterBusyOrUnreachableServerUntilSuccess) {
  Script s{{101, 100, 0, 0}};
  EXPECT_EQ(s.run(3), 0);
  EXPECT_EQ(s.calls, 3);
  EXPECT_EQ(s.retries, 2);
}

TEST(CallWithRetry, StopsAfterTheGivenAttemptsAndStillAsksForARetry) {
  Script s{{101, 101, 0}};
  EXPECT_EQ(s.run(1), 101);
  EXPECT_EQ(s.calls, 1);
  EXPECT_EQ(s.retries, 1);
}

TEST(CallWithRetry, OtherErrorsEndTheAttemptsAtOnce) {
  Script s{{119, 0}};
  EXPECT_EQ(s.run(5), 119);
  EXPECT_EQ(s.calls, 1);
  EXPECT_EQ(s.retries, 0);
}

TEST(CallWithRetry, AtLeastOneAttempt) {
  Script s{{0}};
  EXPECT_EQ(s.run(0), 0);
  EXPECT_EQ(s.calls, 1);
}

}  // namespace
