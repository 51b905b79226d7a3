#include "number_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace vantocli {

namespace {

// True when end points at nothing but trailing blanks.
bool only_blanks_after(const char* end) {
  while (*end == ' ' || *end == '\t') ++end;
  return *end == '\0';
}

// strtol and strtod accept leading blanks but also an empty text; both must
// have read at least one character of the number.
bool has_digit(const std::string& text) {
  return text.find_first_of("0123456789") != std::string::npos;
}

}  // namespace

std::optional<long> decimal_number(const std::string& text) {
  if (!has_digit(text)) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno == ERANGE || end == text.c_str() || !only_blanks_after(end)) return std::nullopt;
  return value;
}

std::optional<double> real_number(const std::string& text) {
  // strtod would also take hexadecimal numbers, "nan" and "inf".
  if (!has_digit(text) || text.find_first_of("xXnN") != std::string::npos) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (errno == ERANGE || end == text.c_str() || !only_blanks_after(end) || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace vantocli
