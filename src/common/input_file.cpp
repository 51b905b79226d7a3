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
  if (S_ISSOCK(mode)) return "is a socket, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
  return "is not a regular file";
}

}  // namespace

InputFile open_regular_file(const std::string& path) {
  InputFile file;
  // Non-blocking, so that opening a FIFO without a writer returns at once.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    file.error = std::strerror(errno);
    return file;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    file.error = ::fstat(fd, &st) != 0 ? std::strerror(errno) : kind_of(st.st_mode);
    ::close(fd);
    return file;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  file.fp.reset(::fdopen(fd, "r"));
  if (!file.fp) {
    file.error = std::strerror(errno);
    ::close(fd);
  }
  return file;
}

}  // namespace vantocli
