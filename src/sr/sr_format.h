// The save & restore file: token grammar of the reader and line layouts of
// the writers.
//
// A file is a marker token, an optional merge block "<Merge_addr: ... >", a
// comment closed by a ";" token, a reference time closed by a ";" token, and
// entries "FACILITY DEVICE LOCATION PROPERTY TYPE VALUE<sep>;". Outside a
// value every whitespace character separates tokens.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace vantosr {

inline constexpr const char* kMarker = "//Save_&_Restore//";
inline constexpr const char* kMarkerReadOnly = "//Save_&_Restore_R_O//";
inline constexpr const char* kMergeOpen = "<Merge_addr:";

// Limits of the reader. A file that exceeds one is refused, never cut: a cut
// address or value would be restored to the wrong place or as a wrong value.
inline constexpr size_t kMaxMarkerToken = 255;
inline constexpr size_t kMaxHeaderToken = 80;
inline constexpr size_t kMaxHeaderText = 255;
inline constexpr size_t kMaxField = 64;
inline constexpr size_t kMaxValue = 255;

enum class TokenStatus { ok, end_of_file, too_long };

// Skips whitespace and reads the next token of at most max_length characters
// into token. too_long leaves the stream inside the token. began_line (when
// given) tells whether a line break was skipped before the token.
TokenStatus read_token(std::FILE* fp, size_t max_length, std::string& token,
                       bool* began_line = nullptr);

// True for the ordinary and the read-only marker.
bool is_marker(const std::string& token);

struct SrHeader {
  std::optional<std::string> merge;  // the joined merge block, if any
  std::string comment;               // each token followed by one blank
  std::string ref_time;              // each token followed by one blank
};

struct SrEntryFields {
  std::string facility, device, location, property;
  int type = 0;
  std::string value;
};

// Outcome of reading one part of a file. `end` is a clean end of file before
// an entry begins; `fault` carries a message naming what is wrong.
struct ReadResult {
  enum Kind { ok, end, fault } kind = ok;
  std::string message;
};

// Reads merge block, comment and reference time (the marker already read).
ReadResult read_header(std::FILE* fp, SrHeader& header);
// Reads the next entry. A type of 0 gives the value " ".
ReadResult read_entry(std::FILE* fp, SrEntryFields& entry);

// Why text cannot be stored as a value of type `type` so that every reader
// (vantoget's and vantoput's) gets back exactly that value; nothing when it
// can. A value is one line of at most kMaxValue characters, without ";", tab
// or NUL, neither empty nor with blanks around it, that the library reads
// back into the same text.
std::optional<std::string> value_storage_fault(const std::string& text, int type);

// Header of a file written by SR::sr_save: four lines, the time text being a
// ctime text that ends in a newline.
std::string format_save_header(const std::string& comment, const std::string& time_text);
// Header of a file written by SR::sr_save_actual; merge (when given) becomes
// a merge block line.
std::string format_save_actual_header(const std::optional<std::string>& merge,
                                      const std::string& comment, const std::string& time_text);
// One entry line: fields separated by blanks, then tab, type, tab, value,
// tab, ";" and a newline.
std::string format_entry_line(const std::string& facility, const std::string& device,
                              const std::string& location, const std::string& property, int type,
                              const std::string& value);

}  // namespace vantosr
