#include "printf_text.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace vantoget {

std::string printf_text(const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  std::va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  std::string text;
  if (size > 0) {
    std::vector<char> buf(static_cast<std::size_t>(size) + 1);
    std::vsnprintf(buf.data(), buf.size(), fmt, again);
    text.assign(buf.data(), static_cast<std::size_t>(size));
  }
  va_end(again);
  return text;
}

}  // namespace vantoget
