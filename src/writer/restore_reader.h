// The writer's own reader of save & restore files: the header by the file's
// token structure, then one entry per line. The file is read line by line
// and every limit is enforced while reading, so no file makes it grow.
#pragma once

#include <cstddef>
#include <cstdio>
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
  cannot_open,       // detail says why
  empty,             // not even a first line
  not_sr_file,       // the first line does not begin with the ordinary marker
  header_unclosed,   // comment or time not closed by ";" (bad_line: the entry it ran into)
  merge_unclosed,    // a merge line without its ">" (bad_line)
  two_merges,        // two different merge addresses (bad_line: the second)
  merge_in_entries,  // a merge line after the header (bad_line)
  nul_byte,          // bad_line holds a NUL byte
  line_too_long,     // bad_line
  too_many_entries,
};

// An entry line left out for a facility shorter than four characters.
struct SkippedEntry {
  std::size_t line = 0;
  std::string facility;
};

struct RestoreFile {
  RestoreFileStatus status = RestoreFileStatus::ok;
  std::optional<std::string> merge;  // of the "<Merge_addr: ... >" line, when not empty
  std::vector<RestoreEntry> entries;
  std::vector<SkippedEntry> short_facilities;
  std::size_t bad_line = 0;  // the line number a refusal points at; 0 for none
  std::string detail;        // with cannot_open: the reason
};

// Reads a whole file text. Entries whose line has no full address, no type,
// or a blank or missing value are not kept.
RestoreFile parse_restore_text(const std::string& text);

// Reads the file at path; only a readable regular file is read.
RestoreFile read_restore_file(const std::string& path);

// Reads an open file from its start.
RestoreFile read_restore_stream(std::FILE* fp);

// One entry line, or nothing when the line holds no entry to restore.
std::optional<RestoreEntry> parse_entry_line(const std::string& line);

}  // namespace vantoput
