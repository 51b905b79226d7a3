// vantoget end to end: history readout (-i, -j, default), its line forms and
// the text export of -g 2, against a vantoserver with histories
// (array_server.h): point i of PAGED holds 10000 + i, one every 1000 s.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "array_server.h"
#include "harness.h"
#include "text_diff.h"

namespace {

using vantotest::read_file;

const std::string kPaged = "TEST.R3/HIST/LOC1/PAGED";  // 2500 points: more than one reply
const std::string kShort = "TEST.R3/HIST/LOC1/SHORT";  // 5 points, 500 + i
const std::string kTsInt = "TEST.R3/HIST/LOC1/TSINT";  // 5 points, 100 + i
const std::string kGaps = "TEST.R3/HIST/LOC1/GAPS";    // 3 points 150000 s apart
const std::string kSpectrum = "TEST.R3/HIST/LOC1/SPECTRUM";

// The formats are the tests' own literals, passed on.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
std::string local_text(int64_t seconds, const char* format) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  char text[100];
  std::strftime(text, sizeof text, format, &tm);
  return text;
}
#pragma GCC diagnostic pop

std::string head(const std::string& name, const std::string& type) {
  return "# Address: " + name + "\n# Data Type : " + type + "\n";
}

class History : public readertest::ArrayServerTest {
 protected:
  static void SetUpTestSuite() {
    ArrayServerTest::SetUpTestSuite();
    newest_ = 0;  // each suite has a server (and so a history) of its own
    live_line_.clear();
    // The newest pre-filled point of PAGED, and the live one after it.
    const std::regex last_prefilled(R"((\d+) 12499 0)");
    for (int attempt = 0; attempt < 100 && live_line_.empty(); ++attempt) {
      const auto r = run({"-a", "-c", kPaged});
      const auto lines = vantotest::lines_of(r.out);
      std::smatch m;
      for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (std::regex_match(lines[i], m, last_prefilled)) {
          newest_ = std::stoll(m[1]);
          live_line_ = lines[i + 1];
        }
      }
    }
  }
  // Time of pre-filled point i of a history of n points.
  static int64_t time_of(int i, int n = 2500) { return newest_ - int64_t{n - 1 - i} * 1000; }
  static std::string paged_line(int i) {
    return std::to_string(time_of(i)) + " " + std::to_string(10000 + i) + " 0\n";
  }
  static std::string paged_lines(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i) text += paged_line(i);
    return text;
  }
  static std::string interval(int64_t t1, int64_t t2) {
    return std::to_string(t1) + " " + std::to_string(t2) + " 0 0";
  }

  void SetUp() override {
    ASSERT_FALSE(live_line_.empty()) << "the history never got its live point";
  }

  static inline int64_t newest_ = 0;
  static inline std::string live_line_;
};

TEST_F(History, IntervalOverTwoPagesPrintsEveryPointOnceOldestFirst) {
  const auto r = run({"-a", "-i", interval(time_of(0), time_of(2499)), "-c", kPaged});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(head(kPaged, "A_TDS") + "# TDS array LENGTH = 2500\n" + paged_lines(0, 2499),
                   r.out);
  EXPECT_EQ(r.err, "");
}

TEST_F(History, IntervalAsLocalDateAndTimeTexts) {
  const char* form = "%d.%m.%y %H:%M.%S";
  const std::string text = local_text(time_of(2490), form) + ", " + local_text(time_of(2495), form);
  const auto r = run({"-a", "-i", text, "-c", kPaged});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(head(kPaged, "A_TDS") + "# TDS array LENGTH = 6\n" + paged_lines(2490, 2495),
                   r.out);
  // Seconds after a second ':' count: one second past a point leaves it out.
  const std::string seconds = local_text(time_of(2490) + 1, "%d.%m.%y %H:%M:%S") + ", " +
                              local_text(time_of(2495), "%d.%m.%y %H:%M:%S");
  const auto later = run({"-a", "-i", seconds, "-c", kPaged});
  EXPECT_EQ(later.status, 0) << later.err;
  EXPECT_SAME_TEXT(head(kPaged, "A_TDS") + "# TDS array LENGTH = 5\n" + paged_lines(2491, 2495),
                   later.out);
}

TEST_F(History, ReadFailingPartWayPrintsWhatCameAndFails) {
  // The plain read and the first page are answered, the second page fails.
  server_->fail_after(kPaged, 2, 5);
  const auto r = run({"-a", "-i", interval(time_of(0), time_of(2499)), "-c", kPaged});
  server_->clear_faults();
  EXPECT_EQ(r.status, 1);
  EXPECT_SAME_TEXT(head(kPaged, "A_TDS") + "# TDS array LENGTH = 2000\n" + paged_lines(500, 2499),
                   r.out);
  EXPECT_TRUE(r.err.starts_with(kPaged + ": ")) << r.err;
  EXPECT_TRUE(r.err.ends_with(" , error == 5\n")) << r.err;
}

TEST_F(History, WithoutIntervalTheNewestPointsOfOneRequest) {
  const auto r = run({"-a", "-c", kPaged});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(head(kPaged, "A_TDS") + "# TDS array LENGTH = 2000\n" + paged_lines(501, 2499) +
                       live_line_ + "\n",
                   r.out);
  // An interval text that names no time is refused, never replaced by the
  // request without an interval.
  const auto refused = run({"-a", "-i", "0 0 0 0", "-c", kPaged});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("\"0 0 0 0\""), std::string::npos) << refused.err;
}

TEST_F(History, SecondsBackFromNow) {
  // The last three pre-filled points and the live one lie within 3500 s.
  const auto r = run({"-a", "-j", "3500", "-c", kPaged});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(head(kPaged, "A_TDS") + "# TDS array LENGTH = 4\n" + paged_lines(2497, 2499) +
                       live_line_ + "\n",
                   r.out);
}

TEST_F(History, PlotTimesAndHexadecimalForms) {
  const auto r =
      run({"-a", "-p", "-C", "3", "-i", interval(time_of(2498), time_of(2499)), "-c", kPaged});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string expected = head(kPaged, "A_TDS") + "# TDS array LENGTH = 2\n";
  for (int i : {2498, 2499}) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", 10000 + i);
    std::string line = paged_line(i);
    line.pop_back();
    expected +=
        local_text(time_of(i), "%Y-%m-%d %H:%M:%S") + "\t" + line + ", hex: 0x" + hex + "\n";
  }
  EXPECT_SAME_TEXT(expected, r.out);
}

TEST_F(History, TimeStampedIntegersWithOctalForm) {
  const auto r = run({"-a", "-C", "2", "-i", interval(time_of(2, 5), time_of(4, 5)), "-c", kTsInt});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string expected = head(kTsInt, "A_TS_INT") + "# TDS array LENGTH = 3\n";
  for (int i = 2; i <= 4; ++i) {
    char oct[16];
    std::snprintf(oct, sizeof oct, "%o", 100 + i);
    expected += local_text(time_of(i, 5), "%Y-%m-%d  %H:%M:%S") + ",000 \t " +
                std::to_string(time_of(i, 5)) + " \t0 \t0 : \t" + std::to_string(100 + i) +
                ", oct: 0" + oct + "\t\n";
  }
  EXPECT_SAME_TEXT(expected, r.out);
  // Without -C the value ends the line.
  const auto plain = run({"-a", "-i", interval(time_of(4, 5), time_of(4, 5) + 1), "-c", kTsInt});
  EXPECT_SAME_TEXT(head(kTsInt, "A_TS_INT") + "# TDS array LENGTH = 1\n" +
                       local_text(time_of(4, 5), "%Y-%m-%d  %H:%M:%S") + ",000 \t " +
                       std::to_string(time_of(4, 5)) + " \t0 \t0 : \t104\n",
                   plain.out);
}

TEST_F(History, TwoHistoriesPrintOnlyTheirOwnPoints) {
  const auto r =
      run({"-a", "-i", interval(time_of(2497), time_of(2499)), "-c", kPaged + "," + kShort});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string short_lines;
  for (int i = 2; i <= 4; ++i) {
    short_lines += std::to_string(time_of(i, 5)) + " " + std::to_string(500 + i) + " 0\n";
  }
  EXPECT_SAME_TEXT(head(kPaged, "A_TDS") + "# TDS array LENGTH = 3\n" + paged_lines(2497, 2499) +
                       head(kShort, "A_TDS") + "# TDS array LENGTH = 3\n" + short_lines,
                   r.out);
}

class HistoryExport : public History {
 protected:
  std::string dir = vantotest::temp_dir();
  std::string header(const std::string& name, long count) {
    return "# Address : " + name +
           "\n# Data Type : A_TDS\n# TDS array length = " + std::to_string(count) + "\n";
  }
};

TEST_F(HistoryExport, EveryPointOfTwoPagesIntoTheFile) {
  const auto r = run({"-a", "-g", "2", "-F", "paged.txt", "-P", dir, "-i",
                      interval(time_of(0), time_of(2499)), "-c", kPaged});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(header(kPaged, 2500) + paged_lines(0, 2499), read_file(dir + "/paged.txt"));
  // A ".dat" file gets the data lines alone.
  run({"-a", "-g", "2", "-F", "paged.dat", "-P", dir, "-i", interval(time_of(10), time_of(12)),
       "-c", kPaged});
  EXPECT_SAME_TEXT(paged_lines(10, 12), read_file(dir + "/paged.dat"));
}

TEST_F(HistoryExport, StepGridInMinutes) {
  const auto r = run({"-a", "-g", "2", "-e", "25", "-u", "m", "-F", "grid.txt", "-P", dir, "-i",
                      interval(time_of(2490), time_of(2499)), "-c", kPaged});
  EXPECT_EQ(r.status, 0) << r.err;
  // Grid every 1500 s from point 2490; a grid time between two points takes
  // the earlier one, averaged with the points passed since the last line.
  const std::vector<std::pair<int, std::string>> grid = {
      {0, "12490"},    {1500, "12491"},   {3000, "12492"}, {4500, "12493.5"},
      {6000, "12495"}, {7500, "12496.5"}, {9000, "12498"}};
  std::string expected = header(kPaged, 7);
  for (const auto& [offset, value] : grid) {
    const int64_t t = time_of(2490) + offset;
    expected += local_text(t, "\"%H:%M.%S %e. %b. %Y 0 ms\"") + "\t" + std::to_string(t) + "\t" +
                value + "\t0\n";
  }
  EXPECT_SAME_TEXT(expected, read_file(dir + "/grid.txt"));
}

TEST_F(HistoryExport, SeveralChannelsOfOneRunShareTheFileInTableOrder) {
  const auto r =
      run({"-a", "-g", "2", "-F", "two.txt", "-P", dir, "-i",
           interval(time_of(2498), time_of(2499)), "-c", kPaged + " " + kSpectrum + " " + kShort});
  EXPECT_EQ(r.status, 0) << r.err;
  const auto lines = vantotest::lines_of(read_file(dir + "/two.txt"));
  const std::vector<std::string> before = {"# Address : " + kPaged,
                                           "# Data Type : A_TDS",
                                           "# TDS array length = 2",
                                           paged_line(2498).substr(0, paged_line(2498).size() - 1),
                                           paged_line(2499).substr(0, paged_line(2499).size() - 1),
                                           "# Address : " + kSpectrum,
                                           "# Data Type : SPECTRUM "};
  ASSERT_EQ(lines.size(), before.size() + 4 + 5) << read_file(dir + "/two.txt");
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 7), before);
  EXPECT_TRUE(std::regex_match(
      lines[7], std::regex(R"("\d\d:\d\d\.\d\d [ \d]\d\. \w{3}\. \d{4} 0 ms" \d+ 1\.5 0\.5 0)")))
      << lines[7];
  EXPECT_EQ(
      std::vector<std::string>(lines.begin() + 8, lines.end()),
      (std::vector<std::string>{" 10", " 20", " 30", "# Address : " + kShort, "# Data Type : A_TDS",
                                "# TDS array length = 2", std::to_string(time_of(3, 5)) + " 503 0",
                                std::to_string(time_of(4, 5)) + " 504 0"}));
}

TEST_F(HistoryExport, DefaultFileNamesAndFailures) {
  const std::string plain = dir + "/plain";
  const std::string short_style = dir + "/short";
  std::filesystem::create_directory(plain);
  std::filesystem::create_directory(short_style);
  EXPECT_EQ(run({"-a", "-g", "2", "-P", plain, "-c", kSpectrum}).status, 0);
  EXPECT_EQ(run({"-a", "-g", "2", "-o", "1", "-P", short_style, "-c", kSpectrum}).status, 0);
  auto only_file = [](const std::string& d) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(d)) {
      names.push_back(e.path().filename().string());
    }
    return names.size() == 1 ? names.front() : std::to_string(names.size()) + " files";
  };
  EXPECT_TRUE(
      std::regex_match(only_file(plain), std::regex(R"(\d{4}-\d\d-\d\dT\d{6}vantoget\.txt)")))
      << only_file(plain);
  EXPECT_TRUE(std::regex_match(
      only_file(short_style), std::regex(R"(\d\d-[A-Z][a-z]{2}-\d\d_\d\d-\d\d-\d\dvantoget\.txt)")))
      << only_file(short_style);
  // A name without a dot gets ".txt".
  run({"-a", "-g", "2", "-F", "named", "-P", dir, "-c", kSpectrum});
  EXPECT_TRUE(std::filesystem::exists(dir + "/named.txt"));

  const auto failed =
      run({"-a", "-g", "2", "-P", dir + "/missing", "-c", kSpectrum + "," + kShort});
  // The pass goes on after a failed export, and the run ends with a failure.
  EXPECT_EQ(failed.status, 1) << failed.err;
  const std::string message = "History conversion into ascii format failed!\n";
  EXPECT_EQ(std::count(failed.out.begin(), failed.out.end(), '!'), 2) << failed.out;
  EXPECT_NE(failed.out.find("2.5\t30"), std::string::npos) << failed.out;
  EXPECT_NE(failed.out.find(message + "# Address: " + kShort), std::string::npos) << failed.out;
}

TEST_F(HistoryExport, AtMostOneHundredThousandLines) {
  // Three points 150000 s apart on a grid of one second.
  const auto listing = run({"-a", "-c", kGaps});
  std::smatch m;
  ASSERT_TRUE(std::regex_search(listing.out, m, std::regex(R"(TDS array LENGTH = \d+\n(\d+) )")))
      << listing.out;
  const int64_t first = std::stoll(m[1]);
  const auto r = run({"-a", "-g", "2", "-e", "1", "-F", "cap.txt", "-P", dir, "-i",
                      interval(first, first + 300000), "-c", kGaps});
  EXPECT_EQ(r.status, 0) << r.err;
  const auto lines = vantotest::lines_of(read_file(dir + "/cap.txt"));
  ASSERT_EQ(lines.size(), 100003u);
  EXPECT_EQ(lines[2], "# TDS array length = 100000");
  EXPECT_EQ(lines.back(), local_text(first + 99999, "\"%H:%M.%S %e. %b. %Y 0 ms\"") + "\t" +
                              std::to_string(first + 99999) + "\t0\t0");
}

}  // namespace
