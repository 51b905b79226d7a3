#include "stream_hub.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "socket_limits.h"
#include "vanto/codec.h"

namespace vantoserver {

namespace {

int port_of_endpoint(const std::string& endpoint) {
  const auto colon = endpoint.rfind(':');
  return colon == std::string::npos ? 0 : std::atoi(endpoint.c_str() + colon + 1);
}

// Whether path can take this stream's IPC socket: free, or left behind by a
// server that ended without cleaning up (a socket of this user that nobody
// listens on, which is removed here). Anything else -- another user's file, a
// link, a regular file, a socket in use -- is left alone (why says what).
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

}  // namespace

StreamHub::StreamHub(zmq::context_t& context, std::string bind_host)
    : context_(context), bind_host_(std::move(bind_host)) {}

StreamHub::~StreamHub() {
  std::lock_guard lock(mutex_);
  for (auto& [channel, stream] : streams_)
    if (!stream->ipc_path.empty()) ::unlink(stream->ipc_path.c_str());
}

int StreamHub::port_of(const Channel& channel) const {
  std::lock_guard lock(mutex_);
  const auto it = streams_.find(&channel);
  return it == streams_.end() ? 0 : it->second->port;
}

int StreamHub::start(Channel& channel, std::string& why) {
  std::lock_guard lock(mutex_);
  if (const auto it = streams_.find(&channel); it != streams_.end()) return it->second->port;
  try {
    zmq::socket_t socket(context_, zmq::socket_type::pub);
    socket.set(zmq::sockopt::linger, 0);
    socket.set(zmq::sockopt::maxmsgsize, kMaxSubscriptionBytes);
    socket.bind("tcp://" + bind_host_ + ":*");
    const int port = port_of_endpoint(socket.get(zmq::sockopt::last_endpoint));
    // Local readers connect to the IPC endpoint named after the port; the TCP
    // port is unique on this host, so the path is too.
    std::string ipc_path = "/tmp/" + std::to_string(port);
    std::string ipc_why;
    try {
      if (claim_ipc_path(ipc_path, ipc_why))
        socket.bind("ipc://" + ipc_path);
      else
        ipc_path.clear();
    } catch (const zmq::error_t& e) {
      ipc_why = e.what();
      ipc_path.clear();
    }
    if (ipc_path.empty())
      std::cerr << "vantoserver: stream " << channel.address() << ": no IPC endpoint /tmp/"
                << port << ": " << ipc_why << std::endl;
    std::cerr << "vantoserver: stream " << channel.address() << " on port " << port
              << ", data version " << channel.stream.version << std::endl;
    streams_.emplace(&channel,
                     std::make_unique<Stream>(Stream{&channel, std::move(socket), port, ipc_path}));
    return port;
  } catch (const zmq::error_t& e) {
    why = "cannot start stream of " + channel.address() + ": " + e.what();
    return 0;
  }
}

void StreamHub::publish(const Moment& now) {
  std::lock_guard lock(mutex_);
  vanto::EqData value;
  for (auto& [channel_ptr, stream] : streams_) {
    Channel& channel = *stream->channel;
    channel.read(value, now);
    vanto::StreamInfo info;
    info.name = channel.property().substr(0, 63);
    info.ident = now.event_id;
    info.sec = now.sec;
    info.usec = now.usec;
    const auto message =
        vanto::Codec::encode_message(value, info, channel.stream.version == 1 ? 1 : 2);
    stream->socket.send(zmq::buffer(message), zmq::send_flags::dontwait);
  }
}

}  // namespace vantoserver
