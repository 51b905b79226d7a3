#include "image_print.h"

#include <cstdint>
#include <cstring>
#include <ostream>

#include "printf_text.h"

namespace vantoget {

namespace {

// One pixel of bpp bytes at p, read in the host's byte order.
std::string pixel_text(const uint8_t* p, int bpp, int y, int x) {
  switch (bpp) {
    case 1: return printf_text("[%d,%d]:%d\t", y, x, static_cast<int>(p[0]));
    case 2: {
      uint16_t v;
      std::memcpy(&v, p, sizeof v);
      return printf_text("[%d,%d]:%d\t", y, x, static_cast<int>(v));
    }
    case 3:
      return printf_text("[%d,%d]:%d,%d,%d\t", y, x, static_cast<int>(p[0]), static_cast<int>(p[1]),
                         static_cast<int>(p[2]));
    default: {
      int32_t v;
      std::memcpy(&v, p, sizeof v);
      return printf_text("[%d,%d]:%d\t", y, x, static_cast<int>(v));
    }
  }
}

}  // namespace

std::string image_header_lines(const vanto::IMH& h) {
  return printf_text(
             " width:%d(xstart:%d width_max:%d)\theight:%d(ystart:%d height_max:%d)\t"
             "bpp:%d(ebit:%d)(xbin:%d ybin:%d)\tframe:%d\tev#:%d\tlen:%d\n",
             h.aoi_width, h.x_start, h.width, h.aoi_height, h.y_start, h.height, h.bpp, h.ebitpp,
             h.hbin, h.vbin, h.frame, h.event, h.length) +
         printf_text(
             "\tscale_x:%f\tscale_y:%f\trotation:%f\tflags:0x%X\tfspares:(%f %f %f) "
             "\tispares:(%d %d %d)\t format_in: %d\t format_out:%d\n",
             static_cast<double>(h.scale_x), static_cast<double>(h.scale_y),
             static_cast<double>(h.image_rotation), h.image_flags, static_cast<double>(h.fspare2),
             static_cast<double>(h.fspare3), static_cast<double>(h.fspare4), h.ispare2, h.ispare3,
             h.ispare4, h.source_format, h.image_format);
}

void print_image_pixels(std::ostream& out, const vanto::IMH& h, const uint8_t* pixels,
                        int byte_count) {
  // A header without bytes per pixel describes no pixel layout at all (and
  // the length check would divide by it).
  if (h.bpp <= 0) {
    out << "Unknown format (BPP) \n";
    return;
  }
  const int64_t points = int64_t{h.aoi_width} * h.aoi_height;
  const bool consistent = h.aoi_width >= 0 && h.aoi_height >= 0 && byte_count >= 0 &&
                          byte_count / h.bpp == points && (points == 0 || pixels != nullptr);
  if (!consistent) {
    out << printf_text("Image length inconsistent %dx%dx%d != %d\n", h.aoi_width, h.aoi_height,
                       h.bpp, byte_count);
    return;
  }
  if (h.bpp > 4) {
    out << "Unknown format (BPP) \n";
    return;
  }
  for (int64_t i = 0; i < points; ++i) {
    const int y = static_cast<int>(i / h.aoi_width);
    const int x = static_cast<int>(i % h.aoi_width);
    out << pixel_text(pixels + i * h.bpp, h.bpp, y, x);
    if (i % 10 == 0) out << '\n';
  }
  out << '\n';
}

}  // namespace vantoget
