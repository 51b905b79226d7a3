// Camera images as PNG files.
#pragma once

#include <vanto/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vantoget {

// The widest and highest image a PNG file is written of: the default limit
// of the PNG library, beyond which common viewers refuse to open the file.
inline constexpr int kMaxPngSide = 1000000;

// A PNG file's bytes, or the reason there is none.
struct PngEncoding {
  std::vector<uint8_t> bytes;
  std::string problem;  // empty on success
};

// Encodes the area of interest of an image: 8-bit grey for one byte per
// pixel, 16-bit grey for two (host byte order in the image), RGB for three
// (red, green, blue in buffer order) and for four bytes (the fourth byte is
// padding). An empty image, a byte count that does not match the header,
// other pixel sizes and images beyond kMaxPngSide are refused.
PngEncoding encode_png(const vanto::IMH& header, const uint8_t* pixels, int byte_count);

}  // namespace vantoget
