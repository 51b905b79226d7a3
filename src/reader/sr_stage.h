// The save & restore mode: a pass over a save & restore file instead of a
// channel list.
#pragma once

#include "reader_context.h"

namespace vantoget {

// One pass of the mode (the run loop's first iteration prints the header).
StageResult sr_stage(ReaderContext& ctx);

}  // namespace vantoget
