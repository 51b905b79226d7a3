// vantoget's run loop: iterations, the -x command, reading, printing, pause.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "options.h"

namespace vantoget {

// Runs vantoget with parsed options, printing to out and err. Returns the
// exit status of the process.
int run_reader(const ReaderOptions& options, std::ostream& out, std::ostream& err);

// The pause between iterations in microseconds: seconds x 1 000 000 in single
// precision, kept within 0 .. kLongestPause (a negative or not-a-number pause
// is none). A pause of hours is kept whole: 32 bits would end it after 71
// minutes.
inline constexpr std::uint64_t kLongestPause = std::uint64_t{1} << 53;  // about 285 years
std::uint64_t pause_microseconds(float seconds);

}  // namespace vantoget
