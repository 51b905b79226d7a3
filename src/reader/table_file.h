// The -E table file: its path, its rows and writing it.
#pragma once

#include <string>

#include "table_columns.h"

namespace vantoget {

// The path of the table file holds at most 255 characters.
inline constexpr std::size_t kMaxTablePath = 255;

// The login name of the user running the program; the user id as a decimal
// number when the system knows no name for it.
std::string login_name();

// The path of the table file: the directory (followed by "//" unless it
// ends with "/"), then the file name, or "<login>-table.txt" without one.
std::string table_path(const std::string& dir, const std::string& file, const std::string& login);

// The rows of the table, up to the first row that no column fills. Each
// cell is the column's text or "-"; every cell but the last is padded with
// blanks to 82 characters, the last only when it is "-"; each row ends with
// a blank and a newline.
std::string table_rows(const TableColumns& columns);

enum class WriteOutcome { written, cannot_open, cannot_write };

struct WriteResult {
  WriteOutcome outcome = WriteOutcome::written;
  std::string reason;  // why it failed ("No space left on device")
};

// Replaces the file at path by text (see OutputFile): a failed write keeps
// the old file.
WriteResult write_text_file(const std::string& path, const std::string& text);

}  // namespace vantoget
