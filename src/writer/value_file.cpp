#include "value_file.h"

#include <cstdio>

#include "input_file.h"

namespace vantoput {

ValueFile read_value_file(const std::string& path, std::size_t max_bytes) {
  ValueFile result;
  // Only a regular file: a FIFO would block the open, a device never end.
  const vantocli::FilePtr file = vantocli::open_regular_file(path).fp;
  if (!file) {
    result.status = ValueFileStatus::cannot_open;
    return result;
  }
  char chunk[65536];
  while (true) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
    if (got > 0) {
      // Stop reading as soon as the limit is passed: a huge file is refused
      // without being held in memory.
      if (result.text.size() + got > max_bytes) {
        result.status = ValueFileStatus::too_large;
        result.text.clear();
        return result;
      }
      result.text.append(chunk, got);
    }
    if (got < sizeof chunk) break;
  }
  if (std::ferror(file.get())) {
    result.status = ValueFileStatus::cannot_open;
    result.text.clear();
    return result;
  }
  if (result.text.find('\0') != std::string::npos) {
    result.status = ValueFileStatus::holds_nul;
    result.text.clear();
  }
  return result;
}

}  // namespace vantoput
