// The plain values of one iteration: the header line (first iteration, -H)
// and the value line.
#pragma once

#include "reader_context.h"

namespace vantoget {

// Prints the header line and the value line of ctx.nonspect; nothing when
// the table is empty. Each value is read once more (one attempt) for the
// line; when one of these reads fails, it is reported on the error stream,
// nothing of the line is printed and the run ends with status 1.
StageResult print_plain_values(ReaderContext& ctx);

}  // namespace vantoget
