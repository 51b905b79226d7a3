// Images: printed as soon as a plain name returns one; the image ends the
// process.
#pragma once

#include "reader_context.h"

namespace vantoget {

// Prepares ctx.data before the read of name: the crop of -I for an
// "IMAGE_EXT" property. Returns the input the read is to use.
vanto::EqData& image_read_input(ReaderContext& ctx, const std::string& name, vanto::EqData& crop);

// Prints the image result of entry and returns the status the process ends
// with.
int print_image(ReaderContext& ctx, const std::string& name, const vanto::EqData& result);

}  // namespace vantoget
