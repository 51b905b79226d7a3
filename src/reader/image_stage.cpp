#include "image_stage.h"

#include <ostream>

#include "image_print.h"

namespace vantoget {

vanto::EqData& image_read_input(ReaderContext& ctx, const std::string& /*name*/,
                                vanto::EqData& crop) {
  if (!ctx.options.sp_flag) return ctx.data;
  // The crop is sent only with the read of an image property.
  if (ctx.address.property().find("IMAGE_EXT") == std::string::npos) return ctx.data;
  crop.init();
  crop.set_type(vanto::DATA_IIII);
  crop.set_from_string(ctx.options.spstr);
  return crop;
}

int print_image(ReaderContext& ctx, const std::string& /*name*/, const vanto::EqData& result) {
  vanto::IMH header{};
  result.get_image_header(&header);
  ctx.out << image_header_lines(header);
  if (!ctx.options.array_flag) {
    ctx.out << '\n';
    return 0;
  }
  uint8_t* pixels = nullptr;
  int byte_count = 0;
  if (!result.get_image(&pixels, &byte_count, nullptr)) byte_count = 0;
  print_image_pixels(ctx.out, header, pixels, byte_count);
  return 0;
}

}  // namespace vantoget
