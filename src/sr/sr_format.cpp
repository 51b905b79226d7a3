#include "sr_format.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include <vanto/eqdata.h>

#include "entry_line.h"

namespace vantosr {

namespace {

bool is_separator(int c) { return c != EOF && std::isspace(static_cast<unsigned char>(c)); }

ReadResult fault(const std::string& message) { return {ReadResult::fault, message}; }

// The rest of the current line (at most a line's worth), the stream left
// where it was.
std::string peek_rest_of_line(std::FILE* fp) {
  constexpr size_t kLineMax = 999;
  std::string rest;
  const long pos = std::ftell(fp);
  for (int c = std::getc(fp); c != EOF && c != '\n' && rest.size() < kLineMax; c = std::getc(fp))
    rest.push_back(static_cast<char>(c));
  if (pos >= 0) std::fseek(fp, pos, SEEK_SET);
  return rest;
}

// Reads tokens up to the next token that is exactly `closing` and joins them,
// each followed by `joiner`. With scan, a line that reads like an entry is
// not taken as header text, unless it is the header's first line of text:
// the header was not closed before it.
struct HeaderScan {
  bool seen_text = false;
};

ReadResult read_joined(std::FILE* fp, const std::string& closing, const char* joiner,
                       const char* what, std::string& text, HeaderScan* scan = nullptr) {
  std::string token;
  for (;;) {
    bool began_line = false;
    switch (read_token(fp, kMaxHeaderToken, token, &began_line)) {
      case TokenStatus::end_of_file: return fault(std::string("file ends inside the ") + what);
      case TokenStatus::too_long:
        return fault(std::string("a token of the ") + what + " is longer than " +
                     std::to_string(kMaxHeaderToken) + " characters");
      case TokenStatus::ok: break;
    }
    if (scan) {
      if (began_line && scan->seen_text) {
        const std::string line = token + peek_rest_of_line(fp);
        if (vantocli::reads_like_entry(line)) {
          return fault(std::string("the ") + what + " is not closed by \";\" before the entry \"" +
                       line + "\"");
        }
      }
      scan->seen_text = true;
    }
    if (token == closing) return {};
    if (token.find('\0') != std::string::npos) {
      return fault(std::string("the ") + what + " holds a NUL byte");
    }
    text += token;
    text += joiner;
    if (text.size() > kMaxHeaderText) {
      return fault(std::string("the ") + what + " is longer than " +
                   std::to_string(kMaxHeaderText) + " characters");
    }
  }
}

ReadResult read_field(std::FILE* fp, const char* what, std::string& field) {
  switch (read_token(fp, kMaxField, field)) {
    case TokenStatus::end_of_file: return fault("file ends inside an entry");
    case TokenStatus::too_long:
      return fault(std::string("the ") + what + " is longer than " + std::to_string(kMaxField) +
                   " characters");
    case TokenStatus::ok: break;
  }
  return {};
}

bool parse_type(const std::string& token, int& type) {
  errno = 0;
  char* end = nullptr;
  long value = std::strtol(token.c_str(), &end, 10);
  if (end == token.c_str() || *end != '\0' || errno == ERANGE || value < INT_MIN ||
      value > INT_MAX) {
    return false;
  }
  type = static_cast<int>(value);
  return true;
}

// The value: its first token, then every character up to the next ";"; the
// ";" and the separator just before it are dropped.
ReadResult read_value(std::FILE* fp, std::string& value) {
  switch (read_token(fp, kMaxValue + 1, value)) {
    case TokenStatus::end_of_file: return fault("file ends inside an entry");
    case TokenStatus::too_long:
      return fault("a value is longer than " + std::to_string(kMaxValue) + " characters");
    case TokenStatus::ok: break;
  }
  if (value == ";") {
    value = " ";
    return {};
  }
  for (;;) {
    int c = std::getc(fp);
    if (c == EOF) return fault("file ends inside a value (no closing \";\")");
    if (c == ';') break;
    if (c == '\0') return fault("a value holds a NUL byte");
    value.push_back(static_cast<char>(c));
    if (value.size() > kMaxValue + 1) {
      return fault("a value is longer than " + std::to_string(kMaxValue) + " characters");
    }
  }
  value.pop_back();  // the separator before ";" (the token is never empty)
  return {};
}

}  // namespace

TokenStatus read_token(std::FILE* fp, size_t max_length, std::string& token, bool* began_line) {
  token.clear();
  int c = std::getc(fp);
  while (is_separator(c)) {
    if (c == '\n' && began_line) *began_line = true;
    c = std::getc(fp);
  }
  if (c == EOF) return TokenStatus::end_of_file;
  while (c != EOF && !is_separator(c)) {
    if (token.size() == max_length) {
      std::ungetc(c, fp);
      return TokenStatus::too_long;
    }
    token.push_back(static_cast<char>(c));
    c = std::getc(fp);
  }
  // The separator stays unread: a value keeps the characters after its
  // first token.
  if (c != EOF) std::ungetc(c, fp);
  return TokenStatus::ok;
}

bool is_marker(const std::string& token) { return token == kMarker || token == kMarkerReadOnly; }

ReadResult read_header(std::FILE* fp, SrHeader& header) {
  header = SrHeader{};
  std::string token;
  switch (read_token(fp, kMaxHeaderToken, token)) {
    case TokenStatus::end_of_file: return fault("file ends inside the comment");
    case TokenStatus::too_long:
      return fault("a token of the comment is longer than " + std::to_string(kMaxHeaderToken) +
                   " characters");
    case TokenStatus::ok: break;
  }
  HeaderScan scan;
  if (token == kMergeOpen) {
    std::string merge;
    ReadResult r = read_joined(fp, ">", "", "merge block", merge);
    if (r.kind != ReadResult::ok) return r;
    header.merge = merge;
  } else if (token == ";") {
    // empty comment
    scan.seen_text = true;
    return read_joined(fp, ";", " ", "reference time", header.ref_time, &scan);
  } else {
    header.comment = token + " ";
    scan.seen_text = true;
  }
  ReadResult r = read_joined(fp, ";", " ", "comment", header.comment, &scan);
  if (r.kind != ReadResult::ok) return r;
  return read_joined(fp, ";", " ", "reference time", header.ref_time, &scan);
}

ReadResult read_entry(std::FILE* fp, SrEntryFields& entry) {
  entry = SrEntryFields{};
  switch (read_token(fp, kMaxField, entry.facility)) {
    case TokenStatus::end_of_file: return {ReadResult::end, ""};
    case TokenStatus::too_long:
      return fault("the facility is longer than " + std::to_string(kMaxField) + " characters");
    case TokenStatus::ok: break;
  }
  for (auto [field, what] :
       {std::pair{&entry.device, "device"}, std::pair{&entry.location, "location"},
        std::pair{&entry.property, "property"}}) {
    ReadResult r = read_field(fp, what, *field);
    if (r.kind != ReadResult::ok) return r;
  }
  std::string type_token;
  switch (read_token(fp, 32, type_token)) {
    case TokenStatus::end_of_file: return fault("file ends inside an entry");
    case TokenStatus::too_long: return fault("the type is not a number");
    case TokenStatus::ok: break;
  }
  if (!parse_type(type_token, entry.type)) {
    return fault("the type is not a number: \"" + type_token + "\"");
  }
  ReadResult r = read_value(fp, entry.value);
  if (r.kind != ReadResult::ok) return r;
  // A NUL byte would silently cut the text it stands in.
  for (const std::string* text :
       {&entry.facility, &entry.device, &entry.location, &entry.property, &entry.value}) {
    if (text->find('\0') != std::string::npos) return fault("an entry holds a NUL byte");
  }
  if (entry.type == 0) entry.value = " ";
  return {};
}

std::optional<std::string> value_storage_fault(const std::string& text, int type) {
  if (text.size() > kMaxValue)
    return "it is longer than " + std::to_string(kMaxValue) + " characters";
  if (text.find(';') != std::string::npos) return std::string("it holds a \";\"");
  if (text.find_first_of("\n\r") != std::string::npos) return std::string("it holds a line break");
  if (text.find('\t') != std::string::npos) return std::string("it holds a tab");
  if (text.find('\0') != std::string::npos) return std::string("it holds a NUL byte");
  if (text.empty() || text.front() == ' ' || text.back() == ' ') {
    return std::string("it is empty or begins or ends with a blank");
  }
  vanto::EqData back;
  back.set_type(type);
  if (back.set_from_string(text) != 0 || back.get_string_line() != text) {
    return "it does not read back as a " + std::string(vanto::EqData::type_string(type)) + " value";
  }
  return std::nullopt;
}

std::string format_save_header(const std::string& comment, const std::string& time_text) {
  return std::string(kMarker) + "\n " + comment + ";\n " + time_text + " ;\n";
}

std::string format_save_actual_header(const std::optional<std::string>& merge,
                                      const std::string& comment, const std::string& time_text) {
  std::string text = std::string(kMarker) + "\n";
  if (merge) text += " " + std::string(kMergeOpen) + " " + *merge + " >\n";
  return text + " " + comment + ";\n " + time_text + " ;\n";
}

std::string format_entry_line(const std::string& facility, const std::string& device,
                              const std::string& location, const std::string& property, int type,
                              const std::string& value) {
  return facility + " " + device + " " + location + " " + property + "\t" + std::to_string(type) +
         "\t" + value + "\t;\n";
}

}  // namespace vantosr
