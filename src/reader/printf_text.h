// printf-style formatting into a std::string, for the output lines whose
// layout is a C format (image headers, history lines, export files).
#pragma once

#include <string>

namespace vantoget {

// The text printf would print for fmt and its arguments; any length.
std::string printf_text(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vantoget
