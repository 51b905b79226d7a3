// Does a number text that converted to zero really spell a zero?
#pragma once

namespace vantoput {

// Kind of number text check_value expects.
inline constexpr int kCheckInteger = 1;
inline constexpr int kCheckFloat = 2;

// Returns 0 when text is a well-formed zero of the given kind (kCheckFloat
// allows one decimal point), nonzero otherwise. Accepted: "", "0", "0.0",
// "-0.000", "+.0", "0e+12", leading blanks. Refused: "1", "0.5", "00x",
// "0e5", "0 " (a blank after the number), "0.0" as an integer.
int check_value(const char* text, int kind);

}  // namespace vantoput
