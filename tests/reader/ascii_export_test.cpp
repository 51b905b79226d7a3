// The history collection in time order and the text export of -g 2.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include <stdlib.h>

#include "ascii_export.h"
#include "history_read.h"
#include "text_diff.h"

namespace {

// A fresh directory for the files of one test.
std::string fresh_dir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "reader3-export-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

using vantoget::ExportFile;
using vantoget::ExportInterval;
using vantoget::HistoryCollection;
using vantotest::read_file;

// A reply of A_TDS points (time, value), status = index.
std::unique_ptr<vanto::EqData> tds_chunk(const std::vector<std::pair<int64_t, float>>& points) {
  auto chunk = std::make_unique<vanto::EqData>();
  chunk->set_type(vanto::DATA_A_TDS);
  for (std::size_t i = 0; i < points.size(); ++i) {
    chunk->set_tds(points[i].first, points[i].second, static_cast<uint8_t>(i), static_cast<int>(i));
  }
  return chunk;
}

std::string time_text(int64_t t) { return vantoget::export_time_text(t); }

TEST(HistoryCollection, PagesJoinOldestFirstWithoutTheRepeatedPoint) {
  HistoryCollection c;
  // Newest reply first, as they are read; each older reply ends with the
  // first point of the reply before it.
  c.chunks.push_back(tds_chunk({{300, 3}, {400, 4}, {500, 5}}));
  c.chunks.push_back(tds_chunk({{100, 1}, {200, 2}, {300, 3}}));
  c.chunks.push_back(tds_chunk({{50, 0}, {100, 1}}));
  std::vector<int64_t> times;
  for (const auto& p : c.points_in_time_order()) times.push_back(p.seconds);
  EXPECT_EQ(times, (std::vector<int64_t>{50, 100, 200, 300, 400, 500}));
  EXPECT_TRUE(HistoryCollection{}.points_in_time_order().empty());
}

class Export : public ::testing::Test {
 protected:
  std::string dir = fresh_dir();
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Exports the points of the chunks into name and returns the file text.
  std::string exported(const std::string& name, ExportInterval iv, int* status = nullptr) {
    ExportFile file(dir, name);
    const int rc = vantoget::export_history(file, collection.points_in_time_order(), iv, "F/D/L/P");
    EXPECT_TRUE(file.finish()) << file.problem();
    if (status) *status = rc;
    return read_file(dir + "/" + name);
  }
  HistoryCollection collection;
};

TEST_F(Export, EveryPointOfTheIntervalWithHeader) {
  collection.chunks.push_back(tds_chunk({{100, 1.5f}, {200, 2}, {300, 3}, {400, 4}}));
  int status = -1;
  EXPECT_SAME_TEXT(
      "# Address : F/D/L/P\n# Data Type : A_TDS\n# TDS array length = 2\n"
      "200 2 1\n300 3 2\n",
      exported("a.txt", {150, 300, 0}, &status));
  EXPECT_EQ(status, 0);
  // The interval ends at the newest point at the latest.
  EXPECT_SAME_TEXT(
      "# Address : F/D/L/P\n# Data Type : A_TDS\n# TDS array length = 4\n"
      "100 1.5 0\n200 2 1\n300 3 2\n400 4 3\n",
      exported("b.txt", {0, 100000, 0}));
  // A ".dat" file holds the data lines alone.
  EXPECT_SAME_TEXT("200 2 1\n300 3 2\n", exported("c.dat", {150, 300, 0}));
}

TEST_F(Export, GridHoldsValuesAcrossEmptyStepsAndAveragesSkippedPoints) {
  // Points every 1000 s, grid every 1500 s from the first point.
  std::vector<std::pair<int64_t, float>> points;
  for (int i = 0; i < 10; ++i) points.push_back({10000 + 1000 * i, 100.0f + static_cast<float>(i)});
  collection.chunks.push_back(tds_chunk(points));
  auto line = [](int64_t t, const char* value, int status) {
    return time_text(t) + "\t" + std::to_string(t) + "\t" + value + "\t" + std::to_string(status) +
           "\n";
  };
  const std::string expected =
      "# Address : F/D/L/P\n# Data Type : A_TDS\n# TDS array length = 7\n" + line(10000, "100", 0) +
      line(11500, "101", 1) + line(13000, "102", 2) + line(14500, "103.5", 4) +
      line(16000, "105", 5) + line(17500, "106.5", 7) + line(19000, "108", 8);
  EXPECT_SAME_TEXT(expected, exported("grid.txt", {10000, 19000, 1500}));

  // A gap wider than the step repeats the value before it.
  collection.chunks.clear();
  collection.chunks.push_back(tds_chunk({{0, 7}, {30, 8}}));
  EXPECT_SAME_TEXT("# Address : F/D/L/P\n# Data Type : A_TDS\n# TDS array length = 4\n" +
                       line(0, "7", 0) + line(10, "7", 0) + line(20, "7", 0) + line(30, "7", 0),
                   exported("gap.txt", {0, 30, 10}));

  // A single point is the one line the header counts.
  collection.chunks.clear();
  collection.chunks.push_back(tds_chunk({{500, 9}}));
  EXPECT_SAME_TEXT(
      "# Address : F/D/L/P\n# Data Type : A_TDS\n# TDS array length = 1\n" + line(500, "9", 0),
      exported("one.txt", {0, 1000, 10}));

  // Times at the ends of their type (a server's): the grid stops at the last
  // time there is, the count does not overflow.
  constexpr int64_t kLast = std::numeric_limits<int64_t>::max();
  collection.chunks.clear();
  collection.chunks.push_back(tds_chunk({{kLast - 15, 1}, {kLast, 2}}));
  EXPECT_EQ(vantotest::lines_of(exported("end.dat", {0, kLast, 10})).size(), 2u);
  collection.chunks.clear();
  collection.chunks.push_back(tds_chunk({{-kLast, 1}, {kLast, 2}}));
  EXPECT_EQ(vantotest::lines_of(exported("far.txt", {-kLast, kLast, 1}))[2],
            "# TDS array length = 100000");
}

TEST_F(Export, AtMostOneHundredThousandDataLines) {
  collection.chunks.push_back(tds_chunk({{0, 1}, {150000, 2}, {300000, 3}}));
  const std::string text = exported("cap.txt", {0, 300000, 1});
  const auto lines = vantotest::lines_of(text);
  ASSERT_EQ(lines.size(), 3u + 100000u);
  EXPECT_EQ(lines[2], "# TDS array length = 100000");
  EXPECT_EQ(lines.back(), time_text(99999) + "\t99999\t1\t0");

  // Built from its text form at once: point by point the array would be
  // copied for every point.
  std::string points;
  for (int i = 0; i < 100005; ++i) points += std::to_string(i) + " 0 0 ";
  auto many = std::make_unique<vanto::EqData>();
  many->set_type(vanto::DATA_A_TDS);
  ASSERT_EQ(many->set_from_string(points), 0);
  collection.chunks.clear();
  collection.chunks.push_back(std::move(many));
  EXPECT_EQ(vantotest::lines_of(exported("many.dat", {0, 200000, 0})).size(), 100000u);
}

TEST_F(Export, SpectrumHeaderAndValues) {
  vanto::EqData spectrum;
  const float values[3] = {10, 20.5f, -3};
  spectrum.set_spectrum("comment", 1000000000, 1.5f, 0.25f, 7, values, 3);
  ExportFile file(dir, "s.txt");
  ASSERT_EQ(vantoget::export_spectrum(file, spectrum, "F/D/L/S"), 0);
  ExportFile dat(dir, "s.dat");
  ASSERT_EQ(vantoget::export_spectrum(dat, spectrum, "F/D/L/S"), 0);
  vanto::EqData failed;
  failed.error(100, "no server");
  ExportFile unused(dir, "never.txt");
  EXPECT_EQ(vantoget::export_spectrum(unused, failed, "F/D/L/S"), 1);
  EXPECT_TRUE(file.finish() && dat.finish() && unused.finish());
  EXPECT_SAME_TEXT("# Address : F/D/L/S\n# Data Type : SPECTRUM \n" + time_text(1000000000) +
                       " 1000000000 1.5 0.25 7\n 10\n 20.5\n -3\n",
                   read_file(dir + "/s.txt"));
  EXPECT_SAME_TEXT(" 10\n 20.5\n -3\n", read_file(dir + "/s.dat"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/never.txt"));
}

TEST_F(Export, UnusableFilesFailWithoutWriting) {
  collection.chunks.push_back(tds_chunk({{1, 1}}));
  ExportFile missing_dir(dir + "/no/such/dir", "x.txt");
  EXPECT_EQ(
      vantoget::export_history(missing_dir, collection.points_in_time_order(), {0, 9, 0}, "F"), 1);
  EXPECT_EQ(missing_dir.problem(), "can't open file: No such file or directory");
  EXPECT_FALSE(missing_dir.finish());
  ExportFile too_long(dir, std::string(300, 'n'));
  EXPECT_EQ(vantoget::export_history(too_long, collection.points_in_time_order(), {0, 9, 0}, "F"),
            1);
  EXPECT_FALSE(too_long.problem().empty());
}

TEST(StepSeconds, UnitLetters) {
  EXPECT_EQ(vantoget::step_seconds(2, 'h'), 7200);
  EXPECT_EQ(vantoget::step_seconds(3, 's'), 3);
  EXPECT_EQ(vantoget::step_seconds(1, 'd'), 86400);
  EXPECT_EQ(vantoget::step_seconds(1, 'w'), 604800);
  EXPECT_EQ(vantoget::step_seconds(2, 'm'), 120);
  // Months and years are fixed steps of 30 and 365 days.
  EXPECT_EQ(vantoget::step_seconds(2, 'M'), 2 * 30 * 86400);
  EXPECT_EQ(vantoget::step_seconds(1, 'y'), 365 * 86400);
  EXPECT_EQ(vantoget::step_seconds(0, 'h'), 0);
  EXPECT_EQ(vantoget::step_seconds(-5, 's'), 0);
  EXPECT_EQ(vantoget::step_seconds(2000000000L, 'w'), 2147483647);
  // The largest -e takes the same limit, without overflowing on the way.
  EXPECT_EQ(vantoget::step_seconds(LONG_MAX, 'y'), 2147483647);
}

}  // namespace
