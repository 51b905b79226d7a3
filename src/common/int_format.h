// The extra forms of integer values that the programs' -C option asks for.
#pragma once

#include <cstdint>
#include <string>

namespace vantocli {

// The forms of -C: 1 binary, 2 octal, 3 hexadecimal; anything else none.
enum class IntForm { none = 0, binary = 1, octal = 2, hexadecimal = 3 };

IntForm int_form_from_code(long code);

// The 32-bit pattern of value: 32 binary digits (most significant first),
// octal digits or lowercase hexadecimal digits, without prefix.
std::string binary_digits(uint32_t pattern);
std::string octal_digits(uint32_t pattern);
std::string hex_digits(uint32_t pattern);

// The labelled form that follows the decimal number: ", bin: <32 digits>",
// ", oct: 0<digits>" or ", hex: 0x<digits>"; "" for IntForm::none.
// bin_label lets a caller use its own binary label (histories print two
// blanks after "bin:").
std::string int_form_suffix(int32_t value, IntForm form, const char* bin_label = ", bin: ");

}  // namespace vantocli
