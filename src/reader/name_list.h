// The answer of a names call as a list of name texts.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include <vanto/eqdata.h>

namespace vantoget {

// A names answer is taken up to this many entries; the lists of one device
// (and the device list) hold no more.
inline constexpr std::size_t kMaxNames = 8000;
// An entry text is read into a 64-byte buffer: at most 63 characters.
inline constexpr std::size_t kMaxEntryText = 63;

// The texts of the entries of a names answer, in answer order, each cut to
// 63 characters. An answer with more than 8000 entries gives the first 8000;
// a line on err then names the address and says how many were left out.
std::vector<std::string> name_texts(const vanto::EqData& answer, const std::string& address,
                                    std::ostream& err);

// The first blank-separated word of a property entry ("NAME description").
std::string first_word(const std::string& text);

}  // namespace vantoget
