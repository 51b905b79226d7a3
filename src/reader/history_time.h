// The time texts of -i: "day.month.year hours:minutes.seconds" turned into
// Unix times.
#pragma once

#include <ctime>
#include <string>

namespace vantoget {

// Local time of a text "day.month.year hours:minutes.seconds" whose parts
// may be missing: the date of now fills in a missing day, month or year, a
// missing time is 00:00:00 for a start and 23:59:59 for an end, missing
// seconds are 0. The time may also come first ("20:03.37 23.08.99"). A year
// of one or two digits yy is 2000 + yy when yy + 99 is less than now's years
// since 1900, else 1900 + yy; a four-digit year is taken as it is. Returns 0
// when the text holds something else than these numbers or names no such
// day or time.
std::time_t make_time(const std::string& text, bool start, std::time_t now);
std::time_t make_time(const std::string& text, bool start);

// The interval text of -i: "start, end" becomes "t1 t2 0 0" with the Unix
// times of make_time when both are valid; a text without "," (already Unix
// times) and a text with an invalid time come back unchanged.
std::string check_time(const std::string& text, std::time_t now);
std::string check_time(const std::string& text);

}  // namespace vantoget
