// The PNG encoder's refusals and the SVG plot's texts, through their API.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "png_export.h"
#include "svg_plot.h"

namespace {

struct BadImage {
  const char* name;
  int width, height, bpp, byte_count;
  const char* problem;
  friend std::ostream& operator<<(std::ostream& os, const BadImage& c) { return os << c.name; }
};

class PngRefusal : public ::testing::TestWithParam<BadImage> {};

TEST_P(PngRefusal, GivesTheReasonAndNoBytes) {
  const BadImage& c = GetParam();
  vanto::IMH h{};
  h.aoi_width = h.width = c.width;
  h.aoi_height = h.height = c.height;
  h.bpp = c.bpp;
  const std::vector<uint8_t> pixels(static_cast<std::size_t>(std::max(c.byte_count, 1)), 7);
  const vantoget::PngEncoding png = vantoget::encode_png(h, pixels.data(), c.byte_count);
  EXPECT_EQ(png.problem, c.problem);
  EXPECT_TRUE(png.bytes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Images, PngRefusal,
    ::testing::Values(
        BadImage{"Empty", 0, 0, 1, 0, "the image is empty (0 x 0 pixels, 0 bytes)"},
        BadImage{"ShortOfBytes", 2, 2, 2, 6, "the image holds 6 bytes, its header says 2 x 2 x 2"},
        BadImage{"FivePixelBytes", 1, 1, 5, 5,
                 "a PNG file is written of images with 1 to 4 bytes per pixel, not 5"},
        BadImage{"TooHigh", 1, 1000001, 1, 1000001,
                 "the image of 1 x 1000001 pixels is larger than a PNG file takes (1000000 "
                 "pixels a side)"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(SvgPlot, NamesAreEscapedAndAValueThatIsNoNumberBreaksTheLine) {
  vantoget::Plot plot;
  plot.x_axis = vantoget::PlotAxis::spectrum;
  plot.series = {{"A<&>\"'", {{0, 1}, {1, NAN}, {2, 3}, {3, 4}}}, {"B", {{0, 2}}}};
  const std::string svg = vantoget::svg_plot(plot);
  EXPECT_NE(svg.find("<title>A&lt;&amp;&gt;&quot;&apos;, B</title>"), std::string::npos);
  EXPECT_EQ(svg.find("A<&"), std::string::npos);
  std::vector<std::string> lines;
  const std::regex polyline(R"re(points="([^"]*)")re");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), polyline);
       it != std::sregex_iterator(); ++it) {
    lines.push_back((*it)[1].str());
  }
  ASSERT_EQ(lines.size(), 3u);  // the first series in two runs, the second in one
  EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), ','), 1);
  EXPECT_EQ(std::count(lines[1].begin(), lines[1].end(), ','), 2);
  EXPECT_NE(svg.find(">B</text>"), std::string::npos) << "a legend for several channels";
}

// Values that differ by no more than a double's rounding (a history of
// nanosecond times, a time axis far in the future): the plot still ends, with
// a handful of ticks.
struct CloseValues {
  const char* name;
  vantoget::PlotAxis axis;
  std::vector<vantoget::PlotPoint> points;
  friend std::ostream& operator<<(std::ostream& os, const CloseValues& c) { return os << c.name; }
};

class SvgCloseValues : public ::testing::TestWithParam<CloseValues> {};

TEST_P(SvgCloseValues, GiveAFewTicksAndAWholeDocument) {
  vantoget::Plot plot;
  plot.x_axis = GetParam().axis;
  plot.series = {{"A", GetParam().points}};
  const std::string svg = vantoget::svg_plot(plot);
  const std::regex tick("class=\"(tick|grid)\"");
  const auto ticks =
      std::distance(std::sregex_iterator(svg.begin(), svg.end(), tick), std::sregex_iterator());
  EXPECT_GT(ticks, 1);
  EXPECT_LT(ticks, 40);
  EXPECT_TRUE(svg.ends_with("</svg>\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, SvgCloseValues,
    ::testing::Values(
        CloseValues{
            "AdjacentDoubles", vantoget::PlotAxis::spectrum, {{0, 1.0}, {1, 1.0 + 2.3e-16}}},
        CloseValues{"NanosecondTimes", vantoget::PlotAxis::spectrum, {{0, 1e18}, {1, 1e18 + 128}}},
        CloseValues{
            "FarFutureSeconds", vantoget::PlotAxis::local_time, {{4e18, 1}, {4e18 + 512, 2}}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
