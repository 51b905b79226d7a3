// The shape of a save & restore entry line, shared by both readers of such
// files so that they agree where a header ends.
#pragma once

#include <cstddef>
#include <string_view>

namespace vantocli {

// Facility names are at least this long; a shorter first word makes no entry.
inline constexpr std::size_t kFacilityMin = 4;

// True for a line that reads like a written entry: four address words (the
// first at least min_facility characters long), a decimal type number, a
// value that is not blank, and ";" after it. No header line of a sound file
// does.
bool reads_like_entry(std::string_view line, std::size_t min_facility = kFacilityMin);

}  // namespace vantocli
