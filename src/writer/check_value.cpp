#include "check_value.h"

namespace vantoput {

int check_value(const char* text, int kind) {
  bool seen_non_blank = false;
  int zeros = 0;
  bool exponent = false;
  bool point = false;
  for (const char* p = text; *p != '\0'; ++p) {
    const char c = *p;
    if (c == ' ' && !seen_non_blank) continue;
    seen_non_blank = true;
    if ((c == '+' || c == '-') && zeros == 0) continue;
    if (c == '0') {
      ++zeros;
      continue;
    }
    if (c == '.') {
      if (kind == kCheckFloat && !point && !exponent) {
        point = true;
        continue;
      }
      return 1;
    }
    if (c == 'e' || c == 'E') {
      if (zeros == 0 || exponent) return 1;
      // The exponent needs its sign right away; the sign is consumed with it.
      const char sign = p[1];
      if (sign != '+' && sign != '-') return 1;
      exponent = true;
      ++p;
      continue;
    }
    if (c >= '1' && c <= '9' && exponent) continue;
    return 1;
  }
  return 0;
}

}  // namespace vantoput
