// make_time and check_time: the date and time texts of -i.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "history_time.h"

namespace {

using vantoget::check_time;
using vantoget::make_time;

// Local time of the given fields, as the system counts daylight saving.
std::time_t local(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

std::tm fields_of(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

// A fixed "now" in the middle of a day: 14 June 2026, 12:00.
const std::time_t kNow2026 = local(2026, 6, 14, 12, 0, 0);

TEST(MakeTime, FullDateAndTimeInEitherOrder) {
  const std::time_t expected = local(1999, 8, 23, 20, 3, 37);
  EXPECT_EQ(make_time("23.08.99 20:03.37", true, kNow2026), expected);
  EXPECT_EQ(make_time("20:03.37 23.08.99", true, kNow2026), expected);
  EXPECT_EQ(make_time("  23.08.99   20:03.37  ", false, kNow2026), expected);
  EXPECT_EQ(make_time("23.08.1999 20:03.37", true, kNow2026), expected);
  // The seconds may also follow a second ':'.
  EXPECT_EQ(make_time("23.08.99 20:03:37", true, kNow2026), expected);
  // Without seconds the minute starts.
  EXPECT_EQ(make_time("10.09.99 07:16", true, kNow2026), local(1999, 9, 10, 7, 16, 0));
}

TEST(MakeTime, DateAloneStartsAtMidnightAndEndsAtTheLastSecond) {
  EXPECT_EQ(make_time("10.09.99", true, kNow2026), local(1999, 9, 10, 0, 0, 0));
  EXPECT_EQ(make_time("10.09.99", false, kNow2026), local(1999, 9, 10, 23, 59, 59));
  // The year may end at a blank.
  EXPECT_EQ(make_time("10.09.99 ", false, kNow2026), local(1999, 9, 10, 23, 59, 59));
}

TEST(MakeTime, MissingPartsComeFromTheCurrentDate) {
  EXPECT_EQ(make_time("20:03.37", true, kNow2026), local(2026, 6, 14, 20, 3, 37));
  EXPECT_EQ(make_time("7:05", false, kNow2026), local(2026, 6, 14, 7, 5, 0));
  EXPECT_EQ(make_time("3", true, kNow2026), local(2026, 6, 3, 0, 0, 0));
  EXPECT_EQ(make_time("3.2", false, kNow2026), local(2026, 2, 3, 23, 59, 59));
  EXPECT_EQ(make_time("3.2.", true, kNow2026), local(2026, 2, 3, 0, 0, 0));
  EXPECT_EQ(make_time("..", true, kNow2026), local(2026, 6, 14, 0, 0, 0));
  EXPECT_EQ(make_time(".", false, kNow2026), local(2026, 6, 14, 23, 59, 59));
  EXPECT_EQ(make_time(".7.", true, kNow2026), local(2026, 7, 14, 0, 0, 0));
}

TEST(MakeTime, TheRealClockFillsInToday) {
  const std::time_t now = std::time(nullptr);
  const std::tm today = fields_of(now);
  const int year = today.tm_year + 1900;
  const std::time_t got = make_time("08:15", true, now);
  EXPECT_EQ(got, local(year, today.tm_mon + 1, today.tm_mday, 8, 15, 0));
  EXPECT_EQ(make_time("1", false), local(year, today.tm_mon + 1, 1, 23, 59, 59));
}

TEST(MakeTime, TwoDigitYearsFollowTheCurrentYear) {
  // In 2026 (126 years since 1900): yy + 99 < 126 for 00..26.
  EXPECT_EQ(make_time("1.1.00", true, kNow2026), local(2000, 1, 1, 0, 0, 0));
  EXPECT_EQ(make_time("31.12.26", true, kNow2026), local(2026, 12, 31, 0, 0, 0));
  EXPECT_EQ(make_time("2.1.70", true, kNow2026), local(1970, 1, 2, 0, 0, 0));
  EXPECT_EQ(make_time("31.12.99", true, kNow2026), local(1999, 12, 31, 0, 0, 0));
  EXPECT_EQ(make_time("1.1.5", true, kNow2026), local(2005, 1, 1, 0, 0, 0));
  // 27 stands for 1927, before the Unix era: no usable time.
  EXPECT_EQ(make_time("1.1.27", true, kNow2026), 0);

  // In 2075 (175 years since 1900) the turn lies between 75 and 76.
  const std::time_t now2075 = local(2075, 3, 1, 12, 0, 0);
  EXPECT_EQ(make_time("1.1.75", true, now2075), local(2075, 1, 1, 0, 0, 0));
  EXPECT_EQ(make_time("1.1.76", true, now2075), local(1976, 1, 1, 0, 0, 0));
  // A four-digit year is the year it says.
  EXPECT_EQ(make_time("1.1.2076", true, now2075), local(2076, 1, 1, 0, 0, 0));
  EXPECT_EQ(make_time("1.1.1976", true, now2075), local(1976, 1, 1, 0, 0, 0));
}

TEST(MakeTime, TextsThatNameNoTimeGiveZero) {
  for (const char* text :
       {"32.01.20", "0.1.20", "1.13.20", "31.02.21", "x", "1.1.20 25:00", "1.1.20 10:60",
        "1.1.20 10:10.61", "1.1.123", "1.a.20", "1.1.1.1", "12:ab"}) {
    EXPECT_EQ(make_time(text, true, kNow2026), 0) << text;
  }
}

TEST(CheckTime, UnixTimesStayAsTheyAre) {
  EXPECT_EQ(check_time("935431417 936940565 0 0", kNow2026), "935431417 936940565 0 0");
}

TEST(CheckTime, DateTextsBecomeUnixTimes) {
  const std::string expected = std::to_string(local(1999, 8, 23, 20, 3, 37)) + " " +
                               std::to_string(local(1999, 9, 10, 7, 16, 5)) + " 0 0";
  EXPECT_EQ(check_time("23.08.99 20:03.37, 10.09.99 07:16.05", kNow2026), expected);
  EXPECT_EQ(check_time("23.08.99 20:03.37,10.09.99 07:16.05", kNow2026), expected);
  // An end without a time is the end of that day.
  EXPECT_EQ(check_time("9.9.99, 10.9.99", kNow2026),
            std::to_string(local(1999, 9, 9, 0, 0, 0)) + " " +
                std::to_string(local(1999, 9, 10, 23, 59, 59)) + " 0 0");
}

TEST(CheckTime, AnInvalidPartKeepsTheText) {
  EXPECT_EQ(check_time("yesterday, today", kNow2026), "yesterday, today");
  EXPECT_EQ(check_time("1.1.99, 31.02.99", kNow2026), "1.1.99, 31.02.99");
}

}  // namespace
