// Cells of the save & restore display: names and values cut or filled to a
// column width.
#pragma once

#include <string>

namespace vantosr {

// A name longer than width becomes "<" and its last width-1 characters;
// otherwise the name, filled up with blanks to width unless no_fill.
std::string name_cell(const std::string& name, long width, bool no_fill);
// A value longer than width becomes its last width-1 characters and ">";
// otherwise the value, filled up with blanks to width unless no_fill. Tabs
// in the value show as blanks.
std::string value_cell(const std::string& value, long width, bool no_fill);

}  // namespace vantosr
