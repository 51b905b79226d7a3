#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantosr {

OutputFile::OutputFile(const std::string& path) {
  struct stat st {};
  const bool exists = ::lstat(path.c_str(), &st) == 0;
  struct stat linked {};
  if (exists && S_ISDIR(st.st_mode)) {
    error_ = std::strerror(EISDIR);
  } else if (exists && S_ISLNK(st.st_mode) && ::stat(path.c_str(), &linked) == 0 &&
             !S_ISREG(linked.st_mode)) {
    // Replacing such a link would take it away (as root, /dev/stdout), and
    // following one planted in a shared directory could write into a disk.
    error_ = "is a symbolic link to a device, FIFO or directory, which is not followed";
  } else if (exists && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
    // Renaming a new file over a device would take the device away.
    open_special(path);
  } else {
    replacing_.emplace(path);
    if (!replacing_->is_open()) error_ = replacing_->error();
  }
}

OutputFile::~OutputFile() {
  if (special_fd_ >= 0) ::close(special_fd_);
}

void OutputFile::open_special(const std::string& path) {
  // Non-blocking, so that a FIFO nobody reads is refused instead of waiting
  // for a reader for ever.
  special_fd_ = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (special_fd_ < 0) {
    error_ = errno == ENXIO ? "no process reads this FIFO" : std::strerror(errno);
    return;
  }
  const int flags = ::fcntl(special_fd_, F_GETFL);
  if (flags < 0 || ::fcntl(special_fd_, F_SETFL, flags & ~O_NONBLOCK) < 0) {
    error_ = std::strerror(errno);
  }
}

bool OutputFile::write(const std::string& text) {
  if (!error_.empty()) return false;
  if (replacing_) {
    if (!replacing_->write(text)) error_ = replacing_->error();
    return error_.empty();
  }
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(special_fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = std::strerror(errno);
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

bool OutputFile::commit() {
  if (!error_.empty()) return false;
  if (replacing_) {
    if (!replacing_->commit()) error_ = replacing_->error();
    return error_.empty();
  }
  const int fd = special_fd_;
  special_fd_ = -1;
  if (::close(fd) != 0) error_ = std::strerror(errno);
  return error_.empty();
}

}  // namespace vantosr
