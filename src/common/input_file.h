// Opening a file that a program reads as input (save & restore files).
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace vantocli {

struct FileCloser {
  void operator()(std::FILE* fp) const { std::fclose(fp); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct InputFile {
  FilePtr fp;         // open for reading; null on failure
  std::string error;  // why it could not be opened, when fp is null
};

// Opens path for reading when it is a readable regular file. A directory, a
// FIFO, a device or a socket is refused at once: such a file may block the
// open, never end (/dev/zero) or hold no text at all.
InputFile open_regular_file(const std::string& path);

}  // namespace vantocli
