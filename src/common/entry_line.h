// The shape of a save & restore entry line, shared by both readers of such
// files so that they agree where a header ends.
#pragma once

#include <string_view>

namespace vantocli {

// True for a line that reads like a written entry: four address words (the
// first at least four characters long), a decimal type number, a value that
// is not blank, and ";" after it. No header line of a sound file does.
bool reads_like_entry(std::string_view line);

}  // namespace vantocli
