#include "png_export.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace vantoget {

namespace {

// What the PNG library's callbacks reach: the growing file and the text of
// an error it reports.
struct WriteState {
  std::vector<uint8_t>* bytes;
  char message[160];
};

void on_error(png_structp png, png_const_charp message) {
  auto* state = static_cast<WriteState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message);
  png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

void on_write(png_structp png, png_bytep data, size_t size) {
  auto* state = static_cast<WriteState*>(png_get_io_ptr(png));
  state->bytes->insert(state->bytes->end(), data, data + size);
}

void on_flush(png_structp) {}

// The write structures, destroyed however the encoding ends.
class PngWriter {
 public:
  explicit PngWriter(WriteState& state)
      : png_(png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, on_error, on_warning)),
        info_(png_ ? png_create_info_struct(png_) : nullptr) {}
  ~PngWriter() { png_destroy_write_struct(&png_, info_ ? &info_ : nullptr); }
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;
  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_;
  png_infop info_;
};

struct Layout {
  int bit_depth;
  int color_type;
  int png_bytes;  // bytes of one pixel in the PNG rows
};

// Pixel rows in the PNG's own order: 16-bit samples big-endian, four-byte
// pixels without their padding byte.
std::vector<uint8_t> png_rows(const uint8_t* pixels, size_t count, int bpp) {
  std::vector<uint8_t> rows;
  if (bpp == 1 || bpp == 3) return std::vector<uint8_t>(pixels, pixels + count * bpp);
  rows.reserve(count * (bpp == 2 ? 2 : 3));
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = pixels + i * bpp;
    if (bpp == 2) {
      uint16_t v;
      std::memcpy(&v, p, sizeof v);
      rows.push_back(static_cast<uint8_t>(v >> 8));
      rows.push_back(static_cast<uint8_t>(v & 0xff));
    } else {
      rows.insert(rows.end(), p, p + 3);
    }
  }
  return rows;
}

std::string check_image(const vanto::IMH& h, const uint8_t* pixels, int byte_count) {
  if (h.aoi_width <= 0 || h.aoi_height <= 0 || byte_count <= 0 || pixels == nullptr) {
    return "the image is empty (" + std::to_string(h.aoi_width) + " x " +
           std::to_string(h.aoi_height) + " pixels, " + std::to_string(byte_count) + " bytes)";
  }
  if (h.bpp < 1 || h.bpp > 4) {
    return "a PNG file is written of images with 1 to 4 bytes per pixel, not " +
           std::to_string(h.bpp);
  }
  if (h.aoi_width > kMaxPngSide || h.aoi_height > kMaxPngSide) {
    return "the image of " + std::to_string(h.aoi_width) + " x " + std::to_string(h.aoi_height) +
           " pixels is larger than a PNG file takes (" + std::to_string(kMaxPngSide) +
           " pixels a side)";
  }
  const int64_t expected = int64_t{h.aoi_width} * h.aoi_height * h.bpp;
  if (expected != byte_count) {
    return "the image holds " + std::to_string(byte_count) + " bytes, its header says " +
           std::to_string(h.aoi_width) + " x " + std::to_string(h.aoi_height) + " x " +
           std::to_string(h.bpp);
  }
  return "";
}

// The library reports errors by a jump back to here; nothing with a
// destructor lives between this frame and the jump.
bool write_png(PngWriter& writer, const Layout& layout, const vanto::IMH& h,
               std::vector<png_bytep>& row_pointers) {
  png_structp png = writer.png();
  png_infop info = writer.info();
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, png_get_error_ptr(png), on_write, on_flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(h.aoi_width),
               static_cast<png_uint_32>(h.aoi_height), layout.bit_depth, layout.color_type,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, row_pointers.data());
  png_write_end(png, info);
  return true;
}

}  // namespace

PngEncoding encode_png(const vanto::IMH& h, const uint8_t* pixels, int byte_count) {
  PngEncoding result;
  result.problem = check_image(h, pixels, byte_count);
  if (!result.problem.empty()) return result;

  const Layout layout = h.bpp == 1   ? Layout{8, PNG_COLOR_TYPE_GRAY, 1}
                        : h.bpp == 2 ? Layout{16, PNG_COLOR_TYPE_GRAY, 2}
                                     : Layout{8, PNG_COLOR_TYPE_RGB, 3};
  const size_t count = static_cast<size_t>(h.aoi_width) * static_cast<size_t>(h.aoi_height);
  std::vector<uint8_t> rows = png_rows(pixels, count, h.bpp);
  const size_t row_bytes = static_cast<size_t>(h.aoi_width) * layout.png_bytes;
  std::vector<png_bytep> row_pointers(static_cast<size_t>(h.aoi_height));
  for (size_t y = 0; y < row_pointers.size(); ++y) row_pointers[y] = rows.data() + y * row_bytes;

  WriteState state{&result.bytes, ""};
  PngWriter writer(state);
  if (writer.png() == nullptr || writer.info() == nullptr) {
    result.problem = "the PNG library could not start";
  } else if (!write_png(writer, layout, h, row_pointers)) {
    result.problem = std::string("the PNG library refused the image: ") + state.message;
  }
  if (!result.problem.empty()) result.bytes.clear();
  return result;
}

}  // namespace vantoget
