// Spectrum values from text: the file with a header line (-a) and the
// pre-formatted file (-s).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vantoput {

// Everything EqData::set needs for a spectrum.
struct SpectrumValue {
  std::string comment;
  int64_t time = 0;  // seconds; 0 lets the server take the current time
  float start = 0.0f;
  float increment = 0.0f;
  uint32_t status = 0;
  int length = -1;  // the declared number of points
  std::vector<float> values;
};

// status 0: value is complete and its value count equals its length.
// Otherwise the messages are written and nothing may be sent: status 1, or
// -1 (pre-formatted text with no line at all).
struct SpectrumParse {
  int status = 0;
  SpectrumValue value;
};

// Writes the two-line reminder of the header line format.
void spectrum_help(std::ostream& err);

// Parses a spectrum file with one header line
//   #comment=c, start=0.0, increment=0.5, status=0, points=3, time=0
// followed by one float value per line. Messages go to err.
SpectrumParse parse_header_spectrum(std::string_view text, std::ostream& err);

// Parses a pre-formatted spectrum file: line 1 "time start increment status",
// line 2 the length (all digits) or a comment followed by the length on line
// 3, values from line 5 on. Every message goes to err: standard output
// carries only values.
SpectrumParse parse_preformatted_spectrum(std::string_view text, std::ostream& err);

}  // namespace vantoput
