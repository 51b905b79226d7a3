// Cells of the programs' value lines: fixed-width columns of names and values.
#pragma once

#include <string>

namespace vantocli {

// Largest column width a cell may have (the programs' cell buffers hold 256
// bytes including the terminating NUL).
inline constexpr long kMaxCellWidth = 255;

// Header cell of a name: a name longer than width becomes "<" and its last
// width-1 characters; a shorter one is padded with blanks to width unless
// no_padding. width must be at least 1.
std::string name_cell(const std::string& name, std::size_t width, bool no_padding);

// Cell of a value text: a text longer than width becomes its first width-1
// characters and ">"; a shorter one is padded to width unless no_padding.
std::string value_cell(const std::string& text, std::size_t width, bool no_padding);

// Cell of a string argument: kept whole; a text longer than width gets ">"
// appended, a shorter one is padded to width unless no_padding.
std::string string_arg_cell(const std::string& text, std::size_t width, bool no_padding);

// Cell of a value text for a tail display: a text longer than width becomes
// its last width-1 characters and ">"; a shorter one is padded unless
// no_padding.
std::string value_tail_cell(const std::string& text, std::size_t width, bool no_padding);

// Replaces every tab character by a blank, so a value never splits a column.
std::string tabs_to_blanks(std::string text);

}  // namespace vantocli
