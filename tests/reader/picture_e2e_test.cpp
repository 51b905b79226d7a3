// vantoget end to end: --png and --svg against a vantoserver with images of
// every pixel size and histories (array_server.h). What a picture shows is
// checked against what the same run prints with -a.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "array_server.h"
#include "harness.h"
#include "text_diff.h"

namespace {

namespace fs = std::filesystem;
using vantotest::read_file;

const std::string kGrey = "TEST.PIC/IMAGE/LOC1/GREY";
const std::string kTds = "TEST.R3/HIST/LOC1/TDS";
const std::string kTsInt = "TEST.R3/HIST/LOC1/TSINT";
const std::string kSpectrum = "TEST.R3/HIST/LOC1/SPECTRUM";

// The pixels of a PNG file as numbers, row by row: one per grey pixel, three
// per RGB pixel.
std::vector<unsigned> decoded_png(const std::string& bytes) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
  std::vector<uint8_t> buffer(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) return {};
  std::vector<unsigned> samples;
  if (image.format & PNG_FORMAT_FLAG_LINEAR) {
    for (std::size_t i = 0; i + 1 < buffer.size(); i += 2) {
      uint16_t v;
      std::memcpy(&v, &buffer[i], 2);
      samples.push_back(v);
    }
  } else {
    samples.assign(buffer.begin(), buffer.end());
  }
  return samples;
}

// The pixels of the -a dump as numbers: "[y,x]:v" or "[y,x]:r,g,b". A
// four-byte pixel prints as one signed number, whose low three bytes (this
// host is little-endian) are its red, green and blue.
std::vector<unsigned> dumped_pixels(const std::string& out, int bpp) {
  std::vector<unsigned> samples;
  const std::regex pixel(R"(\[\d+,\d+\]:([-\d,]+)\t)");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), pixel); it != std::sregex_iterator();
       ++it) {
    std::istringstream numbers((*it)[1].str());
    for (std::string n; std::getline(numbers, n, ',');) {
      const auto v = static_cast<uint32_t>(std::stol(n));
      if (bpp == 4) {
        for (int shift : {0, 8, 16}) samples.push_back((v >> shift) & 0xff);
      } else {
        samples.push_back(v);
      }
    }
  }
  return samples;
}

// Coordinate pairs of each polyline, in document order.
std::vector<std::size_t> polyline_points(const std::string& svg) {
  std::vector<std::size_t> counts;
  const std::regex polyline(R"re(<polyline[^>]* points="([^"]*)")re");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), polyline);
       it != std::sregex_iterator(); ++it) {
    const std::string points = (*it)[1].str();
    counts.push_back(points.empty() ? 0 : std::count(points.begin(), points.end(), ' ') + 1);
  }
  return counts;
}

// The value lines -a printed per channel (those that do not start with '#').
std::vector<std::size_t> printed_points(const std::string& out) {
  std::vector<std::size_t> counts;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("# Address:"))
      counts.push_back(0);
    else if (!counts.empty() && !line.starts_with("#"))
      ++counts.back();
  }
  return counts;
}

class Pictures : public readertest::ArrayServerTest {
 protected:
  static bool xml_parses(const std::string& path) {
    return vantotest::run_program("/usr/bin/xmllint", {"--noout", path}).status == 0;
  }
  const std::string dir_ = vantotest::temp_dir();
};

// --- PNG: every pixel size, to a file and to standard output -------------

struct PngCase {
  std::string property;
  int bpp;
  bool to_stdout;
  friend std::ostream& operator<<(std::ostream& os, const PngCase& c) { return os << c.property; }
};

class PngPixels : public Pictures, public ::testing::WithParamInterface<PngCase> {};

TEST_P(PngPixels, DecodedFileHoldsThePixelsOfTheDump) {
  const PngCase& c = GetParam();
  const std::string channel = "TEST.PIC/IMAGE/LOC1/" + c.property;
  const auto dump = run({"-a", "-c", channel});
  ASSERT_EQ(dump.status, 0) << dump.err;
  const std::vector<unsigned> expected = dumped_pixels(dump.out, c.bpp);
  ASSERT_FALSE(expected.empty());

  const std::string path = dir_ + "/picture.png";
  const auto r = run({"-a", "--png", c.to_stdout ? "-" : path, "-c", channel});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // To a file the run prints what it prints without --png; to standard
  // output the PNG is all there is.
  if (!c.to_stdout) {
    EXPECT_EQ(r.out, dump.out);
  }
  EXPECT_EQ(decoded_png(c.to_stdout ? r.out : read_file(path)), expected);
}

INSTANTIATE_TEST_SUITE_P(EveryPixelSize, PngPixels,
                         ::testing::Values(PngCase{"GREY", 1, false}, PngCase{"GREY16", 2, false},
                                           PngCase{"RGB", 3, false}, PngCase{"RGBX", 4, false},
                                           PngCase{"GREY", 1, true}),
                         [](const auto& param_info) {
                           return param_info.param.property +
                                  (param_info.param.to_stdout ? "ToStdout" : "");
                         });

// --- SVG: one point per history point or spectrum value -----------------

struct SvgCase {
  std::string name;
  std::string channels;
  friend std::ostream& operator<<(std::ostream& os, const SvgCase& c) { return os << c.name; }
};

class SvgPlot : public Pictures, public ::testing::WithParamInterface<SvgCase> {};

TEST_P(SvgPlot, ParsesAsXmlWithOneLinePerChannelAndOnePointPerValue) {
  const std::string path = dir_ + "/plot.svg";
  const auto r = run({"-a", "--svg", path, "-c", GetParam().channels});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(xml_parses(path));
  const std::string svg = read_file(path);
  const std::vector<std::size_t> printed = printed_points(r.out);
  ASSERT_FALSE(printed.empty());
  EXPECT_EQ(polyline_points(svg), printed);
  EXPECT_NE(svg.find("<title>" + GetParam().channels.substr(0, GetParam().channels.find(' '))),
            std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Channels, SvgPlot,
                         ::testing::Values(SvgCase{"TwoHistories", kTds + " " + kTsInt},
                                           SvgCase{"Spectrum", kSpectrum}),
                         [](const auto& param_info) { return param_info.param.name; });

TEST_F(Pictures, IntervalOfMinusIChoosesThePlottedPoints) {
  const auto all = run({"-a", "-c", kTds});
  std::vector<int64_t> times;
  std::istringstream lines(all.out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("#")) times.push_back(std::stoll(line));
  }
  ASSERT_GE(times.size(), 10u);
  const std::string interval = std::to_string(times[2]) + " " + std::to_string(times[6]) + " 0 0";
  const std::string path = dir_ + "/interval.svg";
  const auto r = run({"--svg", path, "-i", interval, "-c", kTds});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(polyline_points(read_file(path)), std::vector<std::size_t>{5});
}

// --- Files: replaced whole, links replaced and not followed --------------

TEST_F(Pictures, LinkAtTheTargetIsReplacedNotFollowed) {
  const std::string other = dir_ + "/other.txt";
  std::ofstream(other) << "keep me\n";
  const std::string target = dir_ + "/plot.svg";
  fs::create_symlink(other, target);
  const auto r = run({"--svg", target, "-c", kSpectrum});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::is_symlink(target));
  EXPECT_TRUE(xml_parses(target));
  EXPECT_EQ(read_file(other), "keep me\n");
}

// Where no file may be created beside the target, the target would be
// rewritten in place: never through a link. Root may create files anywhere,
// so as root the program runs as nobody.
TEST_F(Pictures, LinkInADirectoryWithoutWriteRightIsNotFollowed) {
  char pattern[] = "/tmp/vantoget-link-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const std::string other = dir + "/other.txt";
  std::ofstream(other) << "keep me\n";
  fs::permissions(other, fs::perms::all);
  fs::create_symlink(other, dir + "/plot.svg");
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  std::vector<std::string> args = {VANTOGET_PATH, "--svg", dir + "/plot.svg", "-c", kSpectrum};
  if (::geteuid() == 0) {
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups"});
  }
  const auto r = vantotest::run_program(::geteuid() == 0 ? "/usr/bin/setpriv" : VANTOGET_PATH,
                                        {args.begin() + (::geteuid() == 0 ? 0 : 1), args.end()}, "",
                                        {{"VANTO_ENS", server_->ens()}});
  fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "vantoget: cannot write " + dir +
                "/plot.svg: its directory refuses new files and it is a symbolic link, which is "
                "not followed\n");
  EXPECT_EQ(read_file(other), "keep me\n");
  fs::remove_all(dir);
}

// --- Bad input: a message, status 1, no file -----------------------------

struct BadCase {
  std::string name;
  std::vector<std::string> args;  // "@" stands for the target file
  std::string message;
  friend std::ostream& operator<<(std::ostream& os, const BadCase& c) { return os << c.name; }
};

class BadPicture : public Pictures, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadPicture, RefusedWithStatusOneAndNoFile) {
  std::vector<std::string> args = GetParam().args;
  for (std::string& a : args) {
    if (a == "@") a = dir_ + "/picture";
  }
  const auto r = run(args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_empty(dir_)) << "a file was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadPicture,
    ::testing::Values(
        BadCase{"PngOfNoImage",
                {"--png", "@", "-c", "TEST.PIC/IMAGE/LOC1/INT"},
                "vantoget: --png needs an image channel; TEST.PIC/IMAGE/LOC1/INT is INT\n"},
        BadCase{"PngBeyondTheSizeLimit",
                {"--png", "@", "-c", "TEST.PIC/IMAGE/LOC1/HUGE"},
                "1000001 x 1 pixels is larger than a PNG file takes (1000000 pixels a side)"},
        BadCase{"PngIntoMissingDirectory",
                {"--png", "/nonexistent/dir/x.png", "-c", kGrey},
                "vantoget: cannot write /nonexistent/dir/x.png: No such file or directory\n"},
        BadCase{"PngOfAWildcard",
                {"--png", "@", "-c", "TEST.PIC/IMAGE/LOC1/*"},
                "--png needs exactly one image channel"},
        BadCase{"SvgOfNoHistory",
                {"--svg", "@", "-c", kTds + " TEST.PIC/IMAGE/LOC1/INT"},
                "vantoget: --svg draws histories and spectra; TEST.PIC/IMAGE/LOC1/INT is INT\n"},
        BadCase{"SvgOfHistoryAndSpectrum",
                {"--svg", "@", "-c", kTds + " " + kSpectrum},
                "--svg draws histories or spectra, not both in one plot"},
        BadCase{"SvgWithoutPoints",
                {"--svg", "@", "-i", "1000 2000 0 0", "-c", kTds},
                "no plot written: the channels hold no point to draw"},
        BadCase{"SvgOfValuesThatAreNoNumbers",
                {"--svg", "@", "-c", "TEST.R3/HIST/LOC1/NANS"},
                "no plot written: the channels hold no point to draw"}),
    [](const auto& param_info) { return param_info.param.name; });

}  // namespace
