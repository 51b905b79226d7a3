// --png and --svg: the pictures of the channels read in a pass.
#pragma once

#include <string>

#include "reader_context.h"

namespace vantoget {

// With --png, after the read of the channel: the image goes into the PNG
// file. A channel that is no image, an image no PNG can be made of or a file
// that cannot be written is reported and ends the run with status 1. After a
// PNG on standard output the run ends with status 0 (nothing else is printed
// there); otherwise nullopt, and the image is printed as without --png.
StageResult png_of_read(ReaderContext& ctx, const std::string& name, const vanto::EqData& result);

// With --svg, after the reads of a pass: the histories (read out again over
// the interval of -i or -j) or the spectra of the pass as one plot. Any other
// channel, a history without numbers, a mix of histories and spectra, no
// point at all, a failed history read or a file that cannot be written is
// reported, and the run ends with status 1 without a file.
StageResult svg_of_pass(ReaderContext& ctx);

}  // namespace vantoget
