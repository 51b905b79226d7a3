// vantoget end to end: images, spectra, XML and other arrays against a
// started vantoserver.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "array_server.h"
#include "harness.h"
#include "text_diff.h"

namespace {

const std::string kImage = "TEST.SIM/IMAGE/LOC1/IMAGE";        // 2 x 2, bpp 1, 1 2 3 4
const std::string kSpectrum = "TEST.SIM/ARRAY/LOC1/SPECTRUM";  // 10 20 30, 1.5, 0.5
const std::string kSquares = "TEST.SIM/TYPES/LOC1/SPECTRUM";   // 1 4 ... 64, 0, 2
const std::string kIntArray = "TEST.SIM/ARRAY/LOC1/A_INT";     // 1 2 3 4
const std::string kCamera = "TEST.SIM/CAMERA/LOC1/IMAGE_EXT";  // 16 x 8 gradient

using vantotest::pad;

std::string image_header(int aoi_w, int aoi_h, int x, int y, int w, int h, int bpp, int len) {
  return " width:" + std::to_string(aoi_w) + "(xstart:" + std::to_string(x) +
         " width_max:" + std::to_string(w) + ")\theight:" + std::to_string(aoi_h) +
         "(ystart:" + std::to_string(y) + " height_max:" + std::to_string(h) +
         ")\tbpp:" + std::to_string(bpp) + "(ebit:" + std::to_string(8 * bpp) +
         ")(xbin:1 ybin:1)\tframe:1\tev#:0\tlen:" + std::to_string(len) + "\n" +
         "\tscale_x:1.000000\tscale_y:1.000000\trotation:0.000000\tflags:0x0\t"
         "fspares:(0.000000 0.000000 0.000000) \tispares:(0 0 0)\t format_in: 0\t format_out:0\n";
}

class ArrayOutput : public vantotest::ServerTest {
 protected:
  static vantotest::ProgramResult run(const std::vector<std::string>& args) {
    return vantotest::run_program(VANTOGET_PATH, args);
  }
};

TEST_F(ArrayOutput, ImageWithoutDumpPrintsTheHeaderAndAnEmptyLine) {
  const auto r = run({"-c", kImage});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(image_header(2, 2, 0, 0, 2, 2, 1, 4) + "\n", r.out);
}

TEST_F(ArrayOutput, ImageDumpPrintsEveryPixelByRowAndColumn) {
  const auto r = run({"-a", "-c", kImage});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(
      image_header(2, 2, 0, 0, 2, 2, 1, 4) + "[0,0]:1\t\n[0,1]:2\t[1,0]:3\t[1,1]:4\t\n", r.out);
}

TEST_F(ArrayOutput, AnImageEndsTheRunBeforeTheNextName) {
  // The second name does not exist: reading it would fail with status 1.
  const auto r = run({"-c", kImage + ",TEST.SIM/SCALAR/LOC1/NO_SUCH"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(image_header(2, 2, 0, 0, 2, 2, 1, 4) + "\n", r.out);
  EXPECT_EQ(r.err, "");
  // Values read before the image are not printed either.
  const auto after = run({"-l", "3", "-s", "0", "-c", "TEST.SIM/SCALAR/LOC1/INT " + kImage});
  EXPECT_EQ(after.status, 0);
  EXPECT_SAME_TEXT(image_header(2, 2, 0, 0, 2, 2, 1, 4) + "\n", after.out);
}

TEST_F(ArrayOutput, CropOfAnImageExtProperty) {
  // The camera's pixel (x, y) is x + y; the crop starts at column 3, row 2.
  const auto r = run({"-a", "-I", "3 2 4 2", "-c", kCamera});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(
      image_header(4, 2, 3, 2, 16, 8, 1, 8) +
          "[0,0]:5\t\n[0,1]:6\t[0,2]:7\t[0,3]:8\t[1,0]:6\t[1,1]:7\t[1,2]:8\t[1,3]:9\t\n",
      r.out);
  // Without -I the whole image comes.
  const auto whole = run({"-c", kCamera});
  EXPECT_SAME_TEXT(image_header(16, 8, 0, 0, 16, 8, 1, 128) + "\n", whole.out);
}

TEST_F(ArrayOutput, SpectrumValuesOverTheirAxis) {
  const auto r = run({"-a", "-c", kSpectrum});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("# Address: " + kSpectrum + "\n# Data Type : SPECTRUM\n" + "1.5\t" + pad("10") +
                       "\n2\t" + pad("20") + "\n2.5\t" + pad("30") + "\n",
                   r.out);
  // The column width pads the values; -T does not apply here.
  const auto narrow = run({"-a", "-T", "-w", "4", "-c", kSpectrum});
  EXPECT_SAME_TEXT("# Address: " + kSpectrum +
                       "\n# Data Type : SPECTRUM\n"
                       "1.5\t10  \n2\t20  \n2.5\t30  \n",
                   narrow.out);
}

TEST_F(ArrayOutput, SpectrumInfoLineComesBeforeTheValues) {
  const auto r = run({"-a", "-B", "-w", "3", "-c", kSpectrum});
  EXPECT_EQ(r.status, 0) << r.err;
  const auto lines = vantotest::lines_of(r.out);
  ASSERT_EQ(lines.size(), 6u) << r.out;
  EXPECT_EQ(lines[0], "# Address: " + kSpectrum);
  EXPECT_EQ(lines[1], "# Data Type : SPECTRUM");
  EXPECT_TRUE(std::regex_match(
      lines[2], std::regex(R"(# Spectrum info: From=1\.5, Inc=0\.5, Status=0, Time=\d+, #=3)")))
      << lines[2];
  EXPECT_EQ(lines[3], "1.5\t10 ");
  EXPECT_EQ(lines[5], "2.5\t30 ");
}

TEST_F(ArrayOutput, FourIntegersAskForPartOfASpectrum) {
  // Buffer 0, from value 4 on, every value, at most 20: 25 36 49 64 from 8.
  const auto r = run({"-a", "-B", "-w", "2", "-I", "0 4 1 20", "-c", kSquares});
  EXPECT_EQ(r.status, 0) << r.err;
  const auto lines = vantotest::lines_of(r.out);
  ASSERT_EQ(lines.size(), 7u) << r.out;
  EXPECT_TRUE(std::regex_match(
      lines[2], std::regex(R"(# Spectrum info: From=8, Inc=2, Status=0, Time=\d+, #=4)")))
      << lines[2];
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()),
            (std::vector<std::string>{"8\t25", "10\t36", "12\t49", "14\t64"}));
  // Every second value from 1 on: 4 16 36 64 over 2, 6, 10, 14.
  const auto every_second = run({"-a", "-w", "2", "-I", "0 1 2 0", "-c", kSquares});
  EXPECT_SAME_TEXT("# Address: " + kSquares +
                       "\n# Data Type : SPECTRUM\n"
                       "2\t4 \n6\t16\n10\t36\n14\t64\n",
                   every_second.out);
}

TEST_F(ArrayOutput, AFailedSpectrumReReadShowsItsErrorTextAndFailsTheRun) {
  // An offset before the first value is refused by the server.
  const auto r = run({"-a", "-I", "0 -1 1 1", "-c", kSquares});
  EXPECT_EQ(r.status, 1) << r.err;
  const auto lines = vantotest::lines_of(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  EXPECT_FALSE(lines[2].empty());
  EXPECT_NE(r.err.find(kSquares + ": " + lines[2]), std::string::npos) << r.err;
}

TEST_F(ArrayOutput, IntegerArrayOneValuePerLineWithoutHeader) {
  const auto r = run({"-a", "-c", kIntArray});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("1\n2\n3\n4\n", r.out);
}

TEST_F(ArrayOutput, XmlDocumentWhole) {
  const auto r = run({"-a", "-c", "TEST.SIM/ARRAY/LOC1/XML"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("<settings><mode>demo</mode><gain>2</gain></settings>\n", r.out);
}

TEST_F(ArrayOutput, ArraysFollowThePlainValuesInTableOrder) {
  const auto r = run({"-a", "-w", "3", "-c", kIntArray + " TEST.SIM/SCALAR/LOC1/INT " + kSpectrum});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("42 \t\n1\n2\n3\n4\n# Address: " + kSpectrum +
                       "\n# Data Type : SPECTRUM\n1.5\t10 \n2\t20 \n2.5\t30 \n",
                   r.out);
}

// Images of other pixel sizes (array_server.h).
class OtherImages : public readertest::ArrayServerTest {};

TEST_F(OtherImages, RgbPixelsAsThreeNumbers) {
  const auto r = run({"-a", "-c", "TEST.PIC/IMAGE/LOC1/RGB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(image_header(2, 2, 0, 0, 2, 2, 3, 12) +
                       "[0,0]:1,2,3\t\n[0,1]:4,5,6\t[1,0]:7,8,9\t[1,1]:250,251,252\t\n",
                   r.out);
}

TEST_F(OtherImages, FourBytePixelsAsSignedNumbers) {
  const auto r = run({"-a", "-c", "TEST.PIC/IMAGE/LOC1/WIDE"});
  EXPECT_EQ(r.status, 0) << r.err;
  // Little-endian host: ff ff ff ff is -1, 07 01 00 00 is 263.
  EXPECT_SAME_TEXT(image_header(1, 2, 0, 0, 1, 2, 4, 8) + "[0,0]:-1\t\n[1,0]:263\t\n", r.out);
}

}  // namespace
