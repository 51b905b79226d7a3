// A file vantoget writes for its user (the -E table, the -g 2 export, a
// picture, a save & restore snapshot of -b).
#pragma once

#include <optional>
#include <string>

#include "replacing_file.h"

namespace vantosr {

// Writes path so that it never lies: a regular file (or nothing) at path is
// replaced only by a file written completely, and a symbolic link at path
// is replaced, never followed, so a link planted in a shared directory
// cannot redirect the write. A device or FIFO at path (/dev/null, a pipe
// some reader holds open) takes the text directly; a directory, and a link
// to anything but a regular file (/dev/stdout), are refused.
class OutputFile {
 public:
  explicit OutputFile(const std::string& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool is_open() const { return error_.empty(); }
  // Writes all of text; false (and error()) on a failure.
  bool write(const std::string& text);
  // Completes the file; false (and error()) when anything did not reach it,
  // a regular target then keeping its old content.
  bool commit();
  // The reason of the first failure ("No space left on device").
  const std::string& error() const { return error_; }
  // The descriptor written to (-1 when none is open), for a lock.
  int fd() const { return replacing_ ? replacing_->fd() : special_fd_; }
  // True when a regular target is being rewritten in place, its directory
  // refusing new files (see ReplacingFile).
  bool in_place() const { return replacing_ && replacing_->in_place(); }

 private:
  void open_special(const std::string& path);

  std::optional<ReplacingFile> replacing_;
  int special_fd_ = -1;
  std::string error_;
};

}  // namespace vantosr
