#include "restore_reader.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string_view>

namespace vantoput {
namespace {

constexpr std::string_view kMarker = "//Save_&_Restore//";
constexpr std::string_view kMergeOpen = "<Merge_addr:";
constexpr const char* kTokenSpace = " \t\n\r\v\f";
constexpr const char* kWordSpace = " \t";
// Facility names are never shorter than this; a shorter first word is no entry.
constexpr std::size_t kFacilityMin = 4;

// Walks the whitespace-separated tokens of the header.
class TokenCursor {
 public:
  TokenCursor(const std::string& text, std::size_t pos) : text_(text), pos_(pos) {}

  std::optional<std::string_view> next() {
    const std::size_t begin = text_.find_first_not_of(kTokenSpace, pos_);
    if (begin == std::string::npos) {
      pos_ = text_.size();
      return std::nullopt;
    }
    std::size_t end = text_.find_first_of(kTokenSpace, begin);
    if (end == std::string::npos) end = text_.size();
    pos_ = end;
    return std::string_view(text_).substr(begin, end - begin);
  }

  // Consumes tokens up to and including the one exactly equal to close; the
  // tokens before it, joined. Nothing when the text ends first.
  std::optional<std::string> until(std::string_view close) {
    std::string joined;
    while (const auto token = next()) {
      if (*token == close) return joined;
      joined += *token;
    }
    return std::nullopt;
  }

  std::size_t position() const { return pos_; }

 private:
  const std::string& text_;
  std::size_t pos_;
};

// Skips the header after the marker: optional merge block, comment up to its
// ";", time up to its ";". Returns the position right after the time's ";".
std::optional<std::size_t> skip_header(const std::string& text, RestoreFile& file) {
  TokenCursor cursor(text, kMarker.size());
  auto token = cursor.next();
  if (token && *token == kMergeOpen) {
    const auto merge = cursor.until(">");
    if (!merge) return std::nullopt;
    if (!merge->empty()) file.merge = *merge;
    token = cursor.next();
  }
  // token is the comment's first word, or its ";" when the comment is empty.
  if (!token) return std::nullopt;
  if (*token != ";" && !cursor.until(";")) return std::nullopt;
  if (!cursor.until(";")) return std::nullopt;  // the time
  return cursor.position();
}

// The next blank- or tab-separated word of line from pos on; pos moves past it.
std::optional<std::string> next_word(const std::string& line, std::size_t& pos) {
  const std::size_t begin = line.find_first_not_of(kWordSpace, pos);
  if (begin == std::string::npos) return std::nullopt;
  std::size_t end = line.find_first_of(kWordSpace, begin);
  if (end == std::string::npos) end = line.size();
  pos = end;
  return line.substr(begin, end - begin);
}

std::string trimmed_value(std::string value) {
  for (char& c : value)
    if (c == '\t') c = ' ';
  const std::size_t begin = value.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  const std::size_t end = value.find_last_not_of(' ');
  return value.substr(begin, end + 1 - begin);
}

}  // namespace

std::optional<RestoreEntry> parse_entry_line(const std::string& line) {
  std::size_t pos = 0;
  std::string fields[4];
  for (std::string& field : fields) {
    const auto word = next_word(line, pos);
    if (!word) return std::nullopt;
    field = *word;
  }
  if (fields[0].size() < kFacilityMin) return std::nullopt;
  const auto type = next_word(line, pos);
  if (!type || pos >= line.size()) return std::nullopt;
  // The value runs from after the separator that ends the type up to ";".
  // Only the separators around it are dropped, never a word of it.
  const std::size_t begin = pos + 1;
  const std::size_t close = line.find(';', begin);
  const std::size_t length = close == std::string::npos ? std::string::npos : close - begin;
  std::string value = trimmed_value(line.substr(begin, length));
  if (value.empty()) return std::nullopt;
  RestoreEntry entry;
  entry.chn = fields[0] + "/" + fields[1] + "/" + fields[2] + "/" + fields[3];
  entry.type = std::atoi(type->c_str());
  entry.value = std::move(value);
  return entry;
}

RestoreFile parse_restore_text(const std::string& text) {
  RestoreFile file;
  if (text.empty()) {
    file.status = RestoreFileStatus::empty;
    return file;
  }
  if (text.compare(0, kMarker.size(), kMarker) != 0) {
    file.status = RestoreFileStatus::not_sr_file;
    return file;
  }
  const auto entries_begin = skip_header(text, file);
  if (!entries_begin) {
    file.status = RestoreFileStatus::header_unclosed;
    return file;
  }
  std::size_t line_number =
      1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + *entries_begin, '\n'));
  std::size_t pos = *entries_begin;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kRestoreLineMax) {
      file.status = RestoreFileStatus::line_too_long;
      file.bad_line = line_number;
      file.entries.clear();
      return file;
    }
    if (auto entry = parse_entry_line(line)) {
      if (file.entries.size() == kRestoreEntriesMax) {
        file.status = RestoreFileStatus::too_many_entries;
        file.entries.clear();
        return file;
      }
      file.entries.push_back(std::move(*entry));
    }
    pos = end + 1;
    ++line_number;
  }
  return file;
}

RestoreFile read_restore_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    RestoreFile file;
    file.status = RestoreFileStatus::cannot_open;
    return file;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return parse_restore_text(text);
}

}  // namespace vantoput
