#include "ipc_path.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantoserver {

bool claim_ipc_path(const std::string& path, std::string& why) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return true;
    why = std::strerror(errno);
    return false;
  }
  if (!S_ISSOCK(info.st_mode) || info.st_uid != ::geteuid()) {
    why = "exists and is not a socket of this user; left alone";
    return false;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    why = "path too long";
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) {
    why = std::strerror(errno);
    return false;
  }
  const int rc = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int connect_errno = errno;
  ::close(probe);
  if (rc == 0) {
    why = "in use by another process";
    return false;
  }
  if (connect_errno != ECONNREFUSED) {
    why = std::strerror(connect_errno);
    return false;
  }
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    why = std::string("stale socket cannot be removed: ") + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace vantoserver
