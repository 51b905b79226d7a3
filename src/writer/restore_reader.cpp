#include "restore_reader.h"

#include <cstdlib>
#include <string_view>

#include "entry_line.h"
#include "input_file.h"

namespace vantoput {
namespace {

constexpr std::string_view kMarker = "//Save_&_Restore//";
constexpr std::string_view kMergeOpen = "<Merge_addr:";
constexpr const char* kWordSpace = " \t";
using vantocli::kFacilityMin;

enum class LineRead { ok, end, too_long, nul };

// Reads the next line without its newline (and without a carriage return
// before it). Stops at the first NUL byte or once the line is longer than
// allowed, so line holds at most a limit's worth of characters.
LineRead read_line(std::FILE* fp, std::string& line) {
  line.clear();
  bool any = false;
  for (int c = std::getc(fp); c != EOF; c = std::getc(fp)) {
    any = true;
    if (c == '\n') break;
    if (c == '\0') return LineRead::nul;
    if (line.size() > kRestoreLineMax) return LineRead::too_long;  // room for a '\r'
    line.push_back(static_cast<char>(c));
  }
  if (!any) return LineRead::end;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line.size() > kRestoreLineMax ? LineRead::too_long : LineRead::ok;
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

// The header after the marker: merge lines, then the comment and the time,
// each closed by a ";" token; line breaks carry no meaning.
class HeaderReader {
 public:
  explicit HeaderReader(RestoreFile& file) : file_(file) {}

  // Takes header line number (the first line from after the marker on).
  // Returns the rest of the line after the header's last ";" once the header
  // is closed; nothing while it goes on or when the file is refused (status).
  std::optional<std::string> take(std::string text, std::size_t number, bool first) {
    if (!take_merge(text, number)) return std::nullopt;
    // The comment's first line may read like anything; any later header line
    // that reads like an entry is one, and the header was not closed.
    if (!first && seen_token_ && vantocli::reads_like_entry(text)) {
      refuse(RestoreFileStatus::header_unclosed, number);
      return std::nullopt;
    }
    std::size_t pos = 0;
    while (const auto token = next_token(text, pos)) {
      seen_token_ = true;
      if (*token == ";" && ++closed_ == 2) return text.substr(pos);
    }
    return std::nullopt;
  }

 private:
  static std::optional<std::string> next_token(const std::string& text, std::size_t& pos) {
    constexpr const char* space = " \t\v\f\r";
    const std::size_t begin = text.find_first_not_of(space, pos);
    if (begin == std::string::npos) return std::nullopt;
    std::size_t end = text.find_first_of(space, begin);
    if (end == std::string::npos) end = text.size();
    pos = end;
    return text.substr(begin, end - begin);
  }

  // A merge block "<Merge_addr: ADDRESS >" anywhere on a header line sets the
  // merge address (blanks inside are dropped, a ">" glued to it closes it);
  // the rest of the line stays header text.
  bool take_merge(std::string& text, std::size_t number) {
    const std::size_t open = text.find(kMergeOpen);
    if (open == std::string::npos) return true;
    const std::size_t begin = open + kMergeOpen.size();
    const std::size_t close = text.find('>', begin);
    if (close == std::string::npos) {
      refuse(RestoreFileStatus::merge_unclosed, number);
      return false;
    }
    std::string address;
    for (char c : text.substr(begin, close - begin))
      if (c != ' ' && c != '\t') address.push_back(c);
    if (!address.empty()) {
      if (file_.merge && *file_.merge != address) {
        refuse(RestoreFileStatus::two_merges, number);
        return false;
      }
      file_.merge = address;
    }
    text = text.substr(0, open) + " " + text.substr(close + 1);
    return true;
  }

  void refuse(RestoreFileStatus status, std::size_t number) {
    file_.status = status;
    file_.bad_line = number;
  }

  RestoreFile& file_;
  int closed_ = 0;  // the ";" tokens seen: 1 after the comment, 2 after the time
  bool seen_token_ = false;
};

RestoreFile refused(RestoreFileStatus status, std::size_t line = 0) {
  RestoreFile file;
  file.status = status;
  file.bad_line = line;
  return file;
}

RestoreFile refused_line(LineRead read, std::size_t line) {
  return refused(
      read == LineRead::nul ? RestoreFileStatus::nul_byte : RestoreFileStatus::line_too_long, line);
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

RestoreFile read_restore_stream(std::FILE* fp) {
  std::string line;
  LineRead read = read_line(fp, line);
  if (read == LineRead::end) return refused(RestoreFileStatus::empty);
  // The marker is checked before anything else, on what was read of line 1.
  if (line.compare(0, kMarker.size(), kMarker) != 0) return refused(RestoreFileStatus::not_sr_file);
  if (read != LineRead::ok) return refused_line(read, 1);

  RestoreFile file;
  HeaderReader header(file);
  std::size_t number = 1;
  std::optional<std::string> rest = header.take(line.substr(kMarker.size()), number, true);
  while (!rest) {
    if (file.status != RestoreFileStatus::ok) return refused(file.status, file.bad_line);
    read = read_line(fp, line);
    ++number;
    if (read == LineRead::end) return refused(RestoreFileStatus::header_unclosed);
    if (read != LineRead::ok) return refused_line(read, number);
    rest = header.take(line, number, false);
  }
  // What follows the header's last ";" on its line is read as an entry line.
  line = *rest;
  read = LineRead::ok;
  while (read == LineRead::ok) {
    // A merge line among the entries would be lost, and -C would write the
    // unmerged channels.
    if (line.find(kMergeOpen) != std::string::npos) {
      return refused(RestoreFileStatus::merge_in_entries, number);
    }
    if (auto entry = parse_entry_line(line)) {
      if (file.entries.size() == kRestoreEntriesMax) {
        return refused(RestoreFileStatus::too_many_entries);
      }
      file.entries.push_back(std::move(*entry));
    } else if (vantocli::reads_like_entry(line, 1)) {
      // A written entry but for its short facility: not restored, but said.
      std::size_t pos = 0;
      file.short_facilities.push_back({number, next_word(line, pos).value_or("")});
    }
    read = read_line(fp, line);
    ++number;
  }
  if (read != LineRead::end) return refused_line(read, number);
  return file;
}

RestoreFile parse_restore_text(const std::string& text) {
  if (text.empty()) return refused(RestoreFileStatus::empty);
  vantocli::FilePtr fp(fmemopen(const_cast<char*>(text.data()), text.size(), "r"));
  if (!fp) return refused(RestoreFileStatus::cannot_open);
  return read_restore_stream(fp.get());
}

RestoreFile read_restore_file(const std::string& path) {
  vantocli::InputFile in = vantocli::open_regular_file(path);
  if (!in.fp) {
    RestoreFile file = refused(RestoreFileStatus::cannot_open);
    file.detail = in.error;
    return file;
  }
  RestoreFile file = read_restore_stream(in.fp.get());
  if (std::ferror(in.fp.get())) {
    // A read error is no end of file: nothing read so far is trusted.
    file = refused(RestoreFileStatus::cannot_open);
    file.detail = "read error";
  }
  return file;
}

}  // namespace vantoput
