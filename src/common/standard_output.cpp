#include "standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace vantocli {

int checked_exit(int status, const char* program) {
  errno = 0;
  std::cout.flush();
  const bool flush_failed = std::fflush(stdout) != 0;
  // errno still names the reason when the failing write was this flush; an
  // earlier failure left only the error flags behind.
  const int reason = errno;
  if (!flush_failed && !std::ferror(stdout) && !std::cout.bad()) return status;
  std::cerr << program << ": write error on standard output";
  if (reason != 0) std::cerr << ": " << std::strerror(reason);
  std::cerr << '\n';
  return status == 0 ? 1 : status;
}

int exception_exit(const std::exception& failure, const char* program) {
  std::cout.flush();
  std::cerr << program << ": " << failure.what() << '\n';
  return checked_exit(1, program);
}

}  // namespace vantocli
