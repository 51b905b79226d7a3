// Time stamps and local-time formatting.
#pragma once

#include <cstdint>
#include <string>

#include "vanto/export.h"

namespace vanto {

struct VANTO_EXPORT Timestamp {
  int64_t sec = 0;
  int32_t usec = 0;
  static Timestamp now();
};

// strftime of the local time of ts with format ("" on failure).
VANTO_EXPORT std::string format_localtime(const Timestamp& ts, const char* format);

}  // namespace vanto
