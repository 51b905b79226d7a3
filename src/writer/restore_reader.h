// The writer's own reader of save & restore files: the header by the file's
// token structure, then one entry per line.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vantoput {

// Fixed sizes of a restore: a file beyond them is refused before any write.
inline constexpr std::size_t kRestoreEntriesMax = 1000;
inline constexpr std::size_t kRestoreLineMax = 998;  // characters, without the newline
inline constexpr std::size_t kMergeAddressMax = 79;

struct RestoreEntry {
  std::string chn;    // FACILITY/DEVICE/LOCATION/PROPERTY
  int type = 0;       // the data type id stored in the file
  std::string value;  // the value text, without the separator before ";"
};

enum class RestoreFileStatus {
  ok,
  cannot_open,
  empty,            // not even a first line
  not_sr_file,      // the first line does not begin with the ordinary marker
  header_unclosed,  // comment or time not closed by ";" (or the merge block by ">")
  line_too_long,
  too_many_entries,
};

struct RestoreFile {
  RestoreFileStatus status = RestoreFileStatus::ok;
  std::optional<std::string> merge;  // of the "<Merge_addr: ... >" block, when not empty
  std::vector<RestoreEntry> entries;
  std::size_t bad_line = 0;  // the line number, with line_too_long
};

// Reads a whole file text. Entries whose line has no full address, no type,
// or a blank or missing value are not kept.
RestoreFile parse_restore_text(const std::string& text);

// Reads the file at path (cannot_open when it cannot be read).
RestoreFile read_restore_file(const std::string& path);

// One entry line, or nothing when the line holds no entry to restore.
std::optional<RestoreEntry> parse_entry_line(const std::string& line);

}  // namespace vantoput
