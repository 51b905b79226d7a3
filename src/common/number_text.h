// Numbers given on a command line, read strictly: the whole text must be the
// number, so a typo is refused instead of being read as 0 or as its leading
// digits.
#pragma once

#include <optional>
#include <string>

namespace vantocli {

// A decimal integer (optional sign, digits, nothing else; blanks around it
// are allowed); nullopt for anything else, also for a number beyond long.
std::optional<long> decimal_number(const std::string& text);

// A finite decimal number with an optional fraction and exponent ("0.5",
// "2", "1e-3"); nullopt for anything else, also for "nan" and "inf".
std::optional<double> real_number(const std::string& text);

}  // namespace vantocli
