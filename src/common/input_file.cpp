#include "input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantocli {

namespace {

std::string kind_of(mode_t mode) {
  if (S_ISDIR(mode)) return "is a directory";
  if (S_ISFIFO(mode)) return "is a FIFO, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
  return "is not a regular file";
}

}  // namespace

InputFile open_input_file(const std::string& path) {
  InputFile input;
  // Non-blocking, so that the open of a FIFO returns at once.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    input.error = std::strerror(errno);
    return input;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    input.error = std::strerror(errno);
    ::close(fd);
    return input;
  }
  if (!S_ISREG(st.st_mode)) {
    input.error = kind_of(st.st_mode);
    input.not_regular = true;
    ::close(fd);
    return input;
  }
  // Reads of a regular file never block, the flag is cleared for tidiness.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  input.file.reset(::fdopen(fd, "rb"));
  if (!input.file) {
    input.error = std::strerror(errno);
    ::close(fd);
  }
  return input;
}

}  // namespace vantocli
