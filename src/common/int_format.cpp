#include "int_format.h"

#include <cstdio>

namespace vantocli {

IntForm int_form_from_code(long code) {
  switch (code) {
    case 1: return IntForm::binary;
    case 2: return IntForm::octal;
    case 3: return IntForm::hexadecimal;
    default: return IntForm::none;
  }
}

std::string binary_digits(uint32_t pattern) {
  std::string digits(32, '0');
  for (int bit = 0; bit < 32; ++bit) {
    if (pattern & (uint32_t{1} << bit)) digits[31 - bit] = '1';
  }
  return digits;
}

std::string octal_digits(uint32_t pattern) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%o", static_cast<unsigned>(pattern));
  return buf;
}

std::string hex_digits(uint32_t pattern) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x", static_cast<unsigned>(pattern));
  return buf;
}

std::string int_form_suffix(int32_t value, IntForm form, const char* bin_label) {
  const auto pattern = static_cast<uint32_t>(value);
  switch (form) {
    case IntForm::binary: return bin_label + binary_digits(pattern);
    case IntForm::octal: return ", oct: 0" + octal_digits(pattern);
    case IntForm::hexadecimal: return ", hex: 0x" + hex_digits(pattern);
    case IntForm::none: break;
  }
  return "";
}

}  // namespace vantocli
