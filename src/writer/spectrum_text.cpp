#include "spectrum_text.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "check_value.h"
#include "writer_limits.h"

namespace vantoput {
namespace {

bool is_blank_line(std::string_view line) {
  return line.find_first_not_of(" \t\r\v\f") == std::string_view::npos;
}

// Lines without their newline (and without the "\r" a DOS file puts before
// it); empty lines and lines of white space only are dropped.
std::vector<std::string_view> value_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!is_blank_line(line)) lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::vector<std::string> split_words(std::string_view line, const char* separators) {
  std::vector<std::string> words;
  size_t pos = 0;
  while (pos < line.size()) {
    const size_t begin = line.find_first_not_of(separators, pos);
    if (begin == std::string_view::npos) break;
    size_t end = line.find_first_of(separators, begin);
    if (end == std::string_view::npos) end = line.size();
    words.emplace_back(line.substr(begin, end - begin));
    pos = end;
  }
  return words;
}

// A long in base 10 as atol reads it, but with overflow reported.
std::optional<long> to_long(const std::string& text) {
  errno = 0;
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (errno == ERANGE) return std::nullopt;
  return value;
}

int to_int_clamped(const std::string& text) {
  errno = 0;
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// A double that must fit a float; nullopt on a range error of either.
std::optional<float> to_float_via_double(const std::string& text) {
  errno = 0;
  const double value = std::strtod(text.c_str(), nullptr);
  if (errno == ERANGE || !std::isfinite(value) || std::fabs(value) > FLT_MAX) {
    return std::nullopt;
  }
  return static_cast<float>(value);
}

enum class LineValue { ok, range_error, not_a_number };

// One data line: a float, optionally surrounded by white space. A line that
// holds no number (or a number followed by other text) is refused instead of
// being written as 0.
LineValue convert_value_line(std::string_view line, float& value) {
  const std::string copy(line);
  char* end = nullptr;
  errno = 0;
  value = std::strtof(copy.c_str(), &end);
  if (end == copy.c_str()) return LineValue::not_a_number;
  if (!is_blank_line(std::string_view(end))) return LineValue::not_a_number;
  if (errno == ERANGE) return LineValue::range_error;
  return LineValue::ok;
}

bool fits_spectrum_buffer(std::string_view text, std::ostream& err) {
  if (text.size() <= kSpectrumTextMax) return true;
  err << "spectrum text of " << text.size() << " bytes is larger than the " << kSpectrumTextMax
      << " bytes a spectrum may have! Exit without setting! \n";
  return false;
}

void too_many_values(std::ostream& err) {
  err << "spectrum has more than " << kSpectrumValuesMax
      << " values! Exit without setting! Please, check the input file! \n";
}

bool count_matches(const SpectrumValue& value, std::ostream& err) {
  if (value.values.size() == static_cast<size_t>(value.length) && value.length >= 0) return true;
  err << "Elements count is unequal to the defined spectrum length:  " << value.values.size()
      << "!= " << value.length << "\n"
      << "Exit without setting! Please, check the input file! \n";
  return false;
}

// The text right after key inside word, or nullopt when word lacks the key.
std::optional<std::string> key_value(const std::string& word, const char* key) {
  const size_t pos = word.find(key);
  if (pos == std::string::npos) return std::nullopt;
  return word.substr(pos + std::strlen(key));
}

void invalid_parameter(std::ostream& err, const char* message) {
  err << message << "\n";
  spectrum_help(err);
}

// start= and increment=: a float; a value of 0 must be spelled as a zero.
std::optional<float> header_float(const std::string& word, const char* key) {
  const auto text = key_value(word, key);
  if (!text) return std::nullopt;
  const auto value = to_float_via_double(*text);
  if (!value) return std::nullopt;
  if (*value == 0.0f && check_value(text->c_str(), kCheckFloat) != 0) return std::nullopt;
  return value;
}

std::optional<uint32_t> header_status(const std::string& word) {
  const auto text = key_value(word, "status=");
  if (!text) return std::nullopt;
  const auto value = to_long(*text);
  // A negative status wraps as an unsigned int does; wider values are refused.
  if (!value || *value > static_cast<long>(UINT32_MAX) || *value < INT32_MIN) return std::nullopt;
  if (*value == 0 && check_value(text->c_str(), kCheckInteger) != 0) return std::nullopt;
  return static_cast<uint32_t>(*value);
}

// The header words after the comment, by position. Returns false after the
// messages of an invalid field.
bool parse_header_fields(const std::vector<std::string>& words, SpectrumValue& value,
                         std::ostream& err) {
  if (words.size() > 1) {
    const auto start = header_float(words[1], "start=");
    if (!start) {
      invalid_parameter(err, "\"start\" parameter is invalid: illegal spaces or incorrect value .");
      return false;
    }
    value.start = *start;
  }
  if (words.size() > 2) {
    const auto inc = header_float(words[2], "increment=");
    if (!inc) {
      invalid_parameter(err,
                        "\"increment\" parameter is invalid: illegal spaces or incorrect value .");
      return false;
    }
    value.increment = *inc;
  }
  if (words.size() > 3) {
    const auto status = header_status(words[3]);
    if (!status) {
      invalid_parameter(err,
                        "\"status\" parameter is invalid: illegal spaces or incorrect value .");
      return false;
    }
    value.status = *status;
  }
  if (words.size() > 4) {
    const auto text = key_value(words[4], "points=");
    const int length = text ? to_int_clamped(*text) : 0;
    if (length == 0) {
      invalid_parameter(err,
                        "\"points\" - number of points parameter is invalid: illegal spaces or "
                        "incorrect value .");
      return false;
    }
    value.length = length;
  }
  if (words.size() > 5) {
    const auto text = key_value(words[5], "time=");
    const auto time = text ? to_long(*text) : std::nullopt;
    if (!time || *time == 0) {
      err << "\"time\" parameter is 0, current time will be set\n";
    } else {
      value.time = *time;
    }
  }
  return true;
}

bool all_digits(std::string_view line) {
  if (line.empty()) return false;
  for (const char c : line) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Line 1 of a pre-formatted file: time, start, increment, status.
bool parse_first_line(std::string_view line, SpectrumValue& value, std::ostream& err) {
  const auto words = split_words(line, " \t");
  if (words.empty()) return true;
  const auto time = to_long(words[0]);
  if (!time) {
    err << "spectrum timestamp parameter not correct, returning\n";
    return false;
  }
  value.time = *time;
  if (words.size() > 1) {
    const auto start = to_float_via_double(words[1]);
    if (!start) {
      err << "spectrum start parameter not correct, returning\n";
      return false;
    }
    value.start = *start;
  }
  if (words.size() > 2) {
    const auto inc = to_float_via_double(words[2]);
    if (!inc) {
      err << "spectrum increment parameter not correct, returning\n";
      return false;
    }
    value.increment = *inc;
  }
  if (words.size() > 3) {
    const auto status = to_long(words[3]);
    if (!status || *status > INT_MAX || *status < INT_MIN) {
      err << "spectrum status parameter not correct, returning\n";
      return false;
    }
    value.status = static_cast<uint32_t>(static_cast<int>(*status));
  }
  return true;
}

// Lines 2 and 3 of a pre-formatted file: the length, or a comment and then
// the length.
bool parse_length_lines(const std::vector<std::string_view>& lines, SpectrumValue& value,
                        std::ostream& err) {
  if (lines.size() < 2) {
    err << "spectrum length not defined: no second line, returning\n";
    return false;
  }
  if (all_digits(lines[1])) {
    value.length = to_int_clamped(std::string(lines[1]));
    if (value.length == 0) {
      err << "spectrum length not defined correctly: illegal parameter?\n";
      return false;
    }
    return true;
  }
  value.comment = std::string(lines[1]);
  if (lines.size() < 3) {
    err << "spectrum length not defined: no third line, returning\n";
    return false;
  }
  value.length = to_int_clamped(std::string(lines[2]));
  if (value.length == 0) {
    err << "spectrum length not defined: illegal parameter?\n";
    return false;
  }
  return true;
}

// The text after the fourth newline, or nullopt when there are fewer.
std::optional<std::string_view> after_fourth_newline(std::string_view text) {
  size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) return std::nullopt;
    pos = nl + 1;
  }
  return text.substr(pos);
}

}  // namespace

void spectrum_help(std::ostream& err) {
  err << "Unable to set Spectrum! Please, make sure that the first line of file defines the "
         "parameters like follows:\n"
      << "#comment=comment_string, start=float_value, increment=float_value, "
      << "status=unsigned_integer, points=numer_of_points, time=timestamp(in seconds)\n";
}

SpectrumParse parse_header_spectrum(std::string_view text, std::ostream& err) {
  SpectrumParse parse;
  SpectrumValue& value = parse.value;
  parse.status = 1;
  if (!fits_spectrum_buffer(text, err)) return parse;
  const auto lines = value_lines(text);

  // The values come first, so a data error is reported before a header error.
  for (size_t i = 1; i < lines.size(); ++i) {
    if (value.values.size() == kSpectrumValuesMax) {
      too_many_values(err);
      return parse;
    }
    float number = 0.0f;
    if (convert_value_line(lines[i], number) != LineValue::ok) {
      err << "spectrum data corrupted, please check line " << i << " in the input file!\n";
      return parse;
    }
    value.values.push_back(number);
  }

  if (!lines.empty()) {
    const auto words = split_words(lines[0], ", \t");
    if (!words.empty()) {
      const size_t eq = words[0].find('=');
      value.comment = eq == std::string::npos ? words[0] : words[0].substr(eq + 1);
      if (value.comment.size() > kSpectrumCommentMax) value.comment.resize(kSpectrumCommentMax);
    }
    if (!parse_header_fields(words, value, err)) return parse;
  }
  if (!count_matches(value, err)) return parse;
  parse.status = 0;
  return parse;
}

SpectrumParse parse_preformatted_spectrum(std::string_view text, std::ostream& err) {
  SpectrumParse parse;
  SpectrumValue& value = parse.value;
  value.length = 0;
  parse.status = 1;
  if (!fits_spectrum_buffer(text, err)) return parse;
  const auto lines = value_lines(text);
  if (lines.empty()) {
    parse.status = -1;
    return parse;
  }
  if (!parse_first_line(lines[0], value, err)) return parse;
  if (!parse_length_lines(lines, value, err)) return parse;

  const auto data = after_fourth_newline(text);
  if (!data) {
    err << "end of spectrum file reached : no data? returning\n";
    return parse;
  }
  for (const std::string_view line : value_lines(*data)) {
    if (value.values.size() == kSpectrumValuesMax) {
      too_many_values(err);
      return parse;
    }
    float number = 0.0f;
    if (convert_value_line(line, number) != LineValue::ok) {
      err << "spectrum data corrupted, please check the input file!\n";
      return parse;
    }
    value.values.push_back(number);
  }
  if (!count_matches(value, err)) return parse;
  parse.status = 0;
  return parse;
}

}  // namespace vantoput
