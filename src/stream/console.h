// Where streamcat writes: standard output and standard error in the program,
// string streams in tests. Every thread writes through these functions, which
// serialise whole texts so lines of different threads never interleave.
#pragma once

#include <ostream>
#include <string>

namespace streamcat {

// Sets the streams (both must outlive every thread that writes).
void set_console(std::ostream& out, std::ostream& err);
void say_out(const std::string& text);
void say_err(const std::string& text);
// Flushes both streams (the level-0 spinner redraws one line).
void flush_console();
// True once a write to the output stream failed (a full disk, a closed pipe).
bool console_out_failed();

// printf-style formatting into a std::string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace streamcat
