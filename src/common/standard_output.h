// The end of every program's run: output that never reached standard output
// is a failure, as in the standard shell tools.
#pragma once

#include <exception>

namespace vantocli {

// Flushes standard output (the C++ stream and the C stream beneath it). When
// a write or the flush failed, prints "<program>: write error on standard
// output: <reason>" on standard error and returns 1 in place of a status of
// 0; any other status is returned unchanged.
int checked_exit(int status, const char* program);

// The end of a run that an exception cut short: what standard output holds
// goes out first, then "<program>: <what>" on standard error; the status is
// 1. Every main ends its catch (const std::exception&) with it.
int exception_exit(const std::exception& failure, const char* program);

}  // namespace vantocli
