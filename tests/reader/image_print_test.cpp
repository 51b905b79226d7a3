// The pixel dump of an image and its header lines.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <vector>

#include "image_print.h"
#include "text_diff.h"

namespace {

vanto::IMH header(int width, int height, int bpp) {
  vanto::IMH h{};
  h.width = h.aoi_width = width;
  h.height = h.aoi_height = height;
  h.bpp = bpp;
  h.length = width * height * bpp;
  return h;
}

std::string dump(const vanto::IMH& h, const std::vector<uint8_t>& bytes) {
  std::ostringstream out;
  vantoget::print_image_pixels(out, h, bytes.data(), static_cast<int>(bytes.size()));
  return out.str();
}

TEST(ImagePixels, OneByteRowByRowWithANewlineAfterPixelZeroTenAndTwenty) {
  std::vector<uint8_t> bytes(12);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(200 + i);
  EXPECT_SAME_TEXT(
      "[0,0]:200\t\n"
      "[0,1]:201\t[0,2]:202\t[0,3]:203\t[0,4]:204\t[0,5]:205\t"
      "[1,0]:206\t[1,1]:207\t[1,2]:208\t[1,3]:209\t[1,4]:210\t\n"
      "[1,5]:211\t\n",
      dump(header(6, 2, 1), bytes));
}

TEST(ImagePixels, WiderPixelsInHostOrder) {
  std::vector<uint8_t> two(4);
  const uint16_t words[2] = {65535, 258};
  std::memcpy(two.data(), words, sizeof words);
  EXPECT_SAME_TEXT("[0,0]:65535\t\n[1,0]:258\t\n", dump(header(1, 2, 2), two));

  std::vector<uint8_t> four(8);
  const int32_t ints[2] = {-1, 70000};
  std::memcpy(four.data(), ints, sizeof ints);
  EXPECT_SAME_TEXT("[0,0]:-1\t\n[0,1]:70000\t\n", dump(header(2, 1, 4), four));

  EXPECT_SAME_TEXT("[0,0]:1,2,3\t\n[0,1]:250,0,7\t\n", dump(header(2, 1, 3), {1, 2, 3, 250, 0, 7}));
}

TEST(ImagePixels, LengthAndFormatChecks) {
  EXPECT_SAME_TEXT("Image length inconsistent 2x2x1 != 3\n", dump(header(2, 2, 1), {1, 2, 3}));
  EXPECT_SAME_TEXT("Image length inconsistent 2x2x2 != 6\n",
                   dump(header(2, 2, 2), {1, 2, 3, 4, 5, 6}));
  // A byte left over after the last whole pixel still counts as consistent.
  // A single pixel is pixel 0: its newline, then the closing one.
  EXPECT_SAME_TEXT("[0,0]:513\t\n\n", dump(header(1, 1, 2), {1, 2, 9}));
  EXPECT_SAME_TEXT("Unknown format (BPP) \n", dump(header(1, 1, 5), {1, 2, 3, 4, 5}));
  // No bytes per pixel: nothing to divide by, nothing to dump.
  EXPECT_SAME_TEXT("Unknown format (BPP) \n", dump(header(2, 2, 0), {1, 2, 3, 4}));
  EXPECT_SAME_TEXT("Unknown format (BPP) \n", dump(header(2, 2, -1), {1, 2, 3, 4}));
  vanto::IMH negative = header(2, 2, 1);
  negative.aoi_width = -2;
  negative.aoi_height = -2;
  EXPECT_SAME_TEXT("Image length inconsistent -2x-2x1 != 4\n", dump(negative, {1, 2, 3, 4}));
  EXPECT_SAME_TEXT("\n", dump(header(0, 0, 1), {}));
}

TEST(ImageHeader, TwoLinesWithEveryField) {
  vanto::IMH h = header(640, 480, 2);
  h.aoi_width = 100;
  h.aoi_height = 50;
  h.x_start = 10;
  h.y_start = 20;
  h.ebitpp = 12;
  h.hbin = 2;
  h.vbin = 3;
  h.frame = 7;
  h.event = 99;
  h.length = 10000;
  h.scale_x = 0.5f;
  h.scale_y = 2.0f;
  h.image_rotation = 90.0f;
  h.image_flags = 0xAB;
  h.fspare2 = 1.25f;
  h.ispare3 = -4;
  h.source_format = 5;
  h.image_format = 6;
  EXPECT_SAME_TEXT(
      " width:100(xstart:10 width_max:640)\theight:50(ystart:20 height_max:480)\t"
      "bpp:2(ebit:12)(xbin:2 ybin:3)\tframe:7\tev#:99\tlen:10000\n"
      "\tscale_x:0.500000\tscale_y:2.000000\trotation:90.000000\tflags:0xAB\t"
      "fspares:(1.250000 0.000000 0.000000) \tispares:(0 -4 0)\t format_in: 5\t"
      " format_out:6\n",
      vantoget::image_header_lines(h));
}

}  // namespace
