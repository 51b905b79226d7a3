#include "image_stage.h"

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

int print_image(ReaderContext& ctx, const std::string& /*name*/, const vanto::EqData& /*result*/) {
  return *not_implemented(ctx, "image output");
}

}  // namespace vantoget
