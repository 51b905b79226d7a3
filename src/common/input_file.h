// Opening a file the user names as input (a value file, a save & restore
// file) without hanging on it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace vantocli {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct InputFile {
  FilePtr file;            // open for reading when the file is usable
  bool not_regular = false;  // the path names a directory, FIFO, device or socket
  std::string error;       // why the file is not open ("is a directory")
};

// Opens path for reading when it is a regular file. Everything else is
// refused with a reason, without blocking: opening a FIFO that no process
// writes would wait for ever, and a device such as /dev/zero never ends.
InputFile open_input_file(const std::string& path);

}  // namespace vantocli
