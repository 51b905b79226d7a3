// The array pass of -a: spectra, XML and other arrays element by element;
// histories go to the history readout.
#pragma once

#include "reader_context.h"

namespace vantoget {

// Walks ctx.spect in order. Called only when it has entries.
StageResult array_pass(ReaderContext& ctx);

}  // namespace vantoget
