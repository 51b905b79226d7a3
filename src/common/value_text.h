// Value texts as the programs print them: at most 79 characters.
#pragma once

#include <string>

#include <vanto/eqdata.h>

namespace vantocli {

// Size of the programs' value text buffers; a text holds at most 79 characters.
inline constexpr int kValueTextSize = 80;

// get_string of the value (or its error text) cut to 79 characters.
std::string value_text(const vanto::EqData& data);
// get_string_arg of the value cut to 79 characters.
std::string value_text_arg(const vanto::EqData& data);
// Element index as text, cut to 79 characters.
std::string element_text(const vanto::EqData& data, int index);

}  // namespace vantocli

namespace vantocli {

// True for the types whose string argument is worth printing alone (-S):
// STRING, TEXT, SPECTRUM, IMAGE, A_USTR, A_XYZS and MDA_FLOAT.
bool check_strarg_type(const vanto::EqData& data);

}  // namespace vantocli
