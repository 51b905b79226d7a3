// Value texts read whole from files (-x, -a, -s).
#pragma once

#include <cstddef>
#include <string>

namespace vantoput {

enum class ValueFileStatus {
  ok,
  cannot_open,  // missing, unreadable, or not a regular file (a directory, a FIFO)
  too_large,    // holds more than max_bytes
  holds_nul,    // a NUL byte would cut the text short
};

struct ValueFile {
  ValueFileStatus status = ValueFileStatus::ok;
  std::string text;  // the whole file when status is ok
};

// Reads the whole file at path if it holds at most max_bytes bytes. Memory
// grows with the file, not with max_bytes.
ValueFile read_value_file(const std::string& path, std::size_t max_bytes);

}  // namespace vantoput
