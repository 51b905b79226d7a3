// The time texts of -i: "day.month.year hours:minutes.seconds" turned into
// Unix times.
#pragma once

#include <ctime>
#include <string>

namespace vantoget {

// One time text read: the time, or (time 0) why the text names no usable
// time.
struct TimeReading {
  std::time_t time = 0;
  std::string problem;  // "no such date", "before 1970", ...
};

// Local time of a text "day.month.year hours:minutes.seconds" whose parts
// may be missing: the date of now fills in a missing day, month or year, a
// missing time is 00:00:00 for a start and 23:59:59 for an end, missing
// seconds are 0. The seconds may also follow a second ":" ("14:05:30"), and
// the time may come first ("20:03.37 23.08.99"). A year of one or two digits
// yy is 2000 + yy when yy + 99 is less than now's years since 1900, else
// 1900 + yy; a four-digit year is taken as it is. A text that holds something
// else than these numbers, names no such day or time, or lies before 1970
// gives time 0 and the reason.
TimeReading read_time(const std::string& text, bool start, std::time_t now);

// read_time's time alone (0 when the text names no usable time).
std::time_t make_time(const std::string& text, bool start, std::time_t now);
std::time_t make_time(const std::string& text, bool start);

// The interval text of -i: "start, end" becomes "t1 t2 0 0" with the Unix
// times of make_time when both are valid; a text without "," (already Unix
// times) and a text with an invalid time come back unchanged.
std::string check_time(const std::string& text, std::time_t now);
std::string check_time(const std::string& text);

// The interval of -i as two Unix times, or (both 0) why it cannot be used;
// the reason quotes the part of the text it is about. The text holds either
// two positive Unix times (two further numbers may follow, as the server
// takes them: "935431417 936940565 0 0") or two local times separated by ","
// (read_time: start, end). An interval that ends before it starts is
// refused as well.
struct IntervalReading {
  std::time_t t1 = 0;
  std::time_t t2 = 0;
  std::string problem;
};
IntervalReading read_interval(const std::string& text, std::time_t now);

}  // namespace vantoget
