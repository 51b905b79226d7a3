#include "replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vantosr {

namespace {

// The mode a plain create would give: the target's own mode when it exists,
// else 0666 less the umask.
mode_t target_mode(const std::string& target) {
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

ReplacingFile::ReplacingFile(const std::string& target) : target_(target) {
  // A target its owner made read-only is not replaced behind his back, though
  // the directory would allow the rename: a plain create would be refused.
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES) {
    error_ = std::strerror(EACCES);
    return;
  }
  std::string pattern = target + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0 && errno == EACCES) {
    // No right to create files beside the target, but perhaps to rewrite the
    // target itself: then it is written in place, as a plain create would,
    // but never through a symbolic link planted at its name.
    fd_ = ::open(target.c_str(), O_RDWR | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    in_place_ = fd_ >= 0;
    if (fd_ < 0 && errno == ELOOP) {
      error_ = "its directory refuses new files and it is a symbolic link, which is not followed";
      return;
    }
  }
  if (fd_ < 0) {
    error_ = std::strerror(errno);
    return;
  }
  if (in_place_) return;
  temp_path_ = name.data();
  ::fchmod(fd_, target_mode(target));
}

ReplacingFile::~ReplacingFile() { discard(); }

void ReplacingFile::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_path_.empty()) {
    ::unlink(temp_path_.c_str());
    temp_path_.clear();
  }
}

bool ReplacingFile::write(const std::string& text) {
  if (fd_ < 0 || failed_) return false;
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = std::strerror(errno);
      failed_ = true;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

bool ReplacingFile::commit() {
  if (fd_ < 0 || failed_) return false;
  if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
    error_ = std::strerror(errno);
    fd_ = -1;
    discard();
    return false;
  }
  fd_ = -1;
  if (in_place_) return true;
  if (std::rename(temp_path_.c_str(), target_.c_str()) != 0) {
    error_ = std::strerror(errno);
    discard();
    return false;
  }
  temp_path_.clear();
  return true;
}

}  // namespace vantosr
