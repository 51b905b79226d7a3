// The column table file of -E.
#pragma once

#include "reader_context.h"

namespace vantoget {

// Before the names of an iteration are read: one (still absent) column per
// channel name.
StageResult begin_table(ReaderContext& ctx);

// After the value line and the array pass: writes the table file.
StageResult write_table(ReaderContext& ctx);

}  // namespace vantoget
