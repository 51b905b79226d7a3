// The lines of a history readout on standard output.
#pragma once

#include <iosfwd>
#include <vector>

#include "history_read.h"
#include "int_format.h"

namespace vantoget {

struct HistoryPrintOptions {
  vantocli::IntForm int_form = vantocli::IntForm::none;  // -C
  bool plot = false;                                     // -p
};

// "# TDS array LENGTH = n" and one line per point, oldest first, in the form
// of the history's type (A_TDS: the point's text; time-stamped BOOL, INT,
// FLOAT, DOUBLE: local time, seconds, milliseconds, status and value;
// STRING, XML, IIII: no lines).
void print_history(std::ostream& out, int type, const std::vector<HistoryPoint>& points,
                   const HistoryPrintOptions& options);

// The integer a float value stands for in the -C forms: truncated, and held
// to the 32-bit range.
int32_t truncated_int(double value);

}  // namespace vantoget
