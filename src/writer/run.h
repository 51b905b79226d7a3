// One vantoput run after its options are parsed.
#pragma once

#include <ostream>

#include "options.h"

namespace vantoput {

// Reads the value files, picks the write mode (single, copy, pre-formatted
// spectrum, wildcard, restore) and performs it. Results go to out, messages
// and the usage text to err. Returns the exit status: 0, 1, or 255 after the
// usage text or from the pre-formatted spectrum write.
int run_vantoput(const WriterOptions& o, std::ostream& out, std::ostream& err);

}  // namespace vantoput
