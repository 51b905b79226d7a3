// vantoget's run loop: iterations, the -x command, reading, printing, pause.
#pragma once

#include <iosfwd>

#include "options.h"

namespace vantoget {

// Runs vantoget with parsed options, printing to out and err. Returns the
// exit status of the process.
int run_reader(const ReaderOptions& options, std::ostream& out, std::ostream& err);

// The pause between iterations in microseconds: seconds x 1 000 000 in single
// precision, kept within 0 .. UINT_MAX (a negative or not-a-number pause is
// none).
unsigned pause_microseconds(float seconds);

}  // namespace vantoget
