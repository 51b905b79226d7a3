// A new file that replaces its target only when it was written completely.
#pragma once

#include <string>

namespace vantosr {

// Creates a temporary file beside target (same directory, so the final
// rename is atomic). commit() renames it onto target; a file that is never
// committed is removed, so a failed or partial write never replaces a good
// file. Where the directory forbids new files but the target may be
// rewritten, the target is written in place instead (never through a
// symbolic link): a failure there leaves it cut. A regular target the
// caller may not write (mode 0444) is refused, as a plain create would be.
class ReplacingFile {
 public:
  explicit ReplacingFile(const std::string& target);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  bool is_open() const { return fd_ >= 0; }
  // Open for reading and writing, so a shared lock can be taken on it.
  int fd() const { return fd_; }
  // Writes all of text; false (and error()) on a failure.
  bool write(const std::string& text);
  // Flushes, closes and renames onto the target; false (and error()) on a
  // failure, the target then being untouched.
  bool commit();
  const std::string& error() const { return error_; }
  // True when the target is being rewritten in place.
  bool in_place() const { return in_place_; }

 private:
  void discard();

  std::string target_;
  std::string temp_path_;
  int fd_ = -1;
  bool failed_ = false;
  bool in_place_ = false;
  std::string error_;
};

}  // namespace vantosr
