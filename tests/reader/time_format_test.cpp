// The date column texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "time_format.h"

namespace {

class TimeFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
  static constexpr std::time_t kNow = 936940565;  // 10 Sep 1999 05:16:05 UTC
};

TEST_F(TimeFormat, HeadsOfTheFiveFormats) {
  EXPECT_EQ(vantocli::time_head(1), "#_Date____ Time____ Year\tUNIX_time");
  EXPECT_EQ(vantocli::time_head(2), "#_UNIX_time");
  EXPECT_EQ(vantocli::time_head(3), "#_Date__");
  EXPECT_EQ(vantocli::time_head(4), "#_Date__");
  EXPECT_EQ(vantocli::time_head(5), "#_Date_____ Time____");
  EXPECT_EQ(vantocli::time_head(0), "");
  EXPECT_EQ(vantocli::time_head(6), "");
}

TEST_F(TimeFormat, ColumnsOfTheFiveFormats) {
  EXPECT_EQ(vantocli::time_show(1, kNow), "Fri Sep 10 05:16:05 1999\t936940565");
  EXPECT_EQ(vantocli::time_show(2, kNow), "936940565  ");
  EXPECT_EQ(vantocli::time_show(3, kNow), "10.09.99");
  EXPECT_EQ(vantocli::time_show(4, kNow), "09.10.99");
  EXPECT_EQ(vantocli::time_show(5, kNow), "10 Sep 1999 05:16:05");
  EXPECT_EQ(vantocli::time_show(7, kNow), "");
}

}  // namespace
