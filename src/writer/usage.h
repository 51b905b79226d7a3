// vantoput's help text and version lines.
#pragma once

#include <ostream>

namespace vantoput {

// The revision identifier printed by -v and in the usage text's first line.
inline constexpr const char* kRevisionId = "$Id$";

// The usage text (the caller ends the program with status 255).
void write_usage(std::ostream& err);
// The author line and the revision identifier, one line each (-v).
void write_version(std::ostream& out);

}  // namespace vantoput
