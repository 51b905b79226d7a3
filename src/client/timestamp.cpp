// Wall-clock time stamps and their local-time text.
#include "vanto/timestamp.h"

#include <chrono>
#include <ctime>

namespace vanto {

Timestamp Timestamp::now() {
  using namespace std::chrono;
  const auto since_epoch = system_clock::now().time_since_epoch();
  const auto us = duration_cast<microseconds>(since_epoch).count();
  Timestamp ts;
  ts.sec = us / 1000000;
  ts.usec = static_cast<int32_t>(us % 1000000);
  return ts;
}

std::string format_localtime(const Timestamp& ts, const char* format) {
  if (format == nullptr) return "";
  const time_t t = static_cast<time_t>(ts.sec);
  struct tm parts {};
  if (localtime_r(&t, &parts) == nullptr) return "";
  char buf[512];
  // The format is the caller's by design of this function.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const size_t n = strftime(buf, sizeof buf, format, &parts);
#pragma GCC diagnostic pop
  // strftime gives 0 both for failure and for an empty result; both are "".
  return std::string(buf, n);
}

}  // namespace vanto
