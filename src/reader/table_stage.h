// The column table file of -E.
#pragma once

#include <cstddef>

#include <vanto/eqdata.h>

#include "reader_context.h"

namespace vantoget {

// Before the names of an iteration are read: one (still absent) column per
// channel name.
StageResult begin_table(ReaderContext& ctx);

// Creates the column of the name at index (if -E is given) before its first
// value, so that a name whose expansion finds nothing still has one.
void open_table_column(ReaderContext& ctx, std::size_t index);

// Enters the value text of result into the column of the name at index (if
// -E is given): the string argument with -S where the type has one, else
// the value text.
void enter_table_value(ReaderContext& ctx, std::size_t index, const vanto::EqData& result);

// After the value line and the array pass: writes the table file. A file
// that cannot be written is reported on ctx.err; the run goes on and ends
// with status 1.
StageResult write_table(ReaderContext& ctx);

}  // namespace vantoget
