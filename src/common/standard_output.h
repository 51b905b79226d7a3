// The end of every program's run: output that never reached standard output
// is a failure, as in the standard shell tools.
#pragma once

namespace vantocli {

// Flushes standard output (the C++ stream and the C stream beneath it). When
// a write or the flush failed, prints "<program>: write error on standard
// output: <reason>" on standard error and returns 1 in place of a status of
// 0; any other status is returned unchanged.
int checked_exit(int status, const char* program);

}  // namespace vantocli
