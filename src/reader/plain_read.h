// Reading a name without '*' and sorting its result into the tables.
#pragma once

#include <span>
#include <string>

#include <vanto/eqdata.h>

#include "reader_context.h"

namespace vantoget {

// True for results that belong into the array table: spectra, histories,
// float arrays and anything with more than one element, except images,
// IFFF, IIII, TEXT and STRING values.
bool is_array_result(const vanto::EqData& result);

// Reads name with the retried get and sorts the result. A failed read prints
// the name and the error on ctx.err and ends the process with status 1; an
// image is printed at once and ends the process.
StageResult read_plain_name(ReaderContext& ctx, const std::string& name);

// Channel Access waits a search round per call for the names it has not met
// and a round trip per call for the others: a list with such a name (epics:)
// is read in one window, so that it pays one round, not one per window.
bool reads_in_one_window(const std::string& name);

// read_plain_name for each of names in turn, with the same output, but the
// reads of many names go out together (EqCall::get_many) instead of one
// round trip each; a read that failed is retried alone.
StageResult read_plain_names(ReaderContext& ctx, std::span<const std::string> names);

}  // namespace vantoget
