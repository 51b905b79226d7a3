#include "connection_watch.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantoserver {

namespace {

int open_reserve() { return ::open("/dev/null", O_RDONLY | O_CLOEXEC); }

}  // namespace

ConnectionWatch::ConnectionWatch(zmq::context_t& context, zmq::socket_t& socket,
                                 const std::string& name)
    : monitor_(context, zmq::socket_type::pair) {
  fill_reserve();
  const std::string endpoint = "inproc://connection-watch-" + name;
  if (zmq_socket_monitor(socket.handle(), endpoint.c_str(),
                         ZMQ_EVENT_LISTENING | ZMQ_EVENT_ACCEPTED | ZMQ_EVENT_ACCEPT_FAILED |
                             ZMQ_EVENT_DISCONNECTED) != 0)
    throw zmq::error_t();
  monitor_.set(zmq::sockopt::linger, 0);
  // No queue limit: a full queue would hold up ZeroMQ's I/O thread, and with
  // it every connection; the request thread reads the events as they come.
  monitor_.set(zmq::sockopt::rcvhwm, 0);
  monitor_.connect(endpoint);
}

ConnectionWatch::~ConnectionWatch() { release_reserve(); }

void ConnectionWatch::fill_reserve() {
  while (reserve_fds_.size() < kReserve) {
    const int fd = open_reserve();
    if (fd < 0) return;  // none free now; tried again after the next events
    reserve_fds_.push_back(fd);
  }
}

void ConnectionWatch::release_reserve() {
  for (const int fd : reserve_fds_) ::close(fd);
  reserve_fds_.clear();
}

std::vector<ConnectionId> ConnectionWatch::take_closed() {
  std::vector<ConnectionId> closed;
  bool out_of_descriptors = false;
  // At most a round of events per call: while accepts fail, they come as
  // fast as they are read.
  for (int k = 0; k < 10'000; ++k) {
    // An event is two frames: event number (16 bits) and value (32 bits: a
    // descriptor, or an errno for a failed accept), then the endpoint.
    zmq::message_t event, endpoint;
    if (!monitor_.recv(event, zmq::recv_flags::dontwait)) break;
    if (event.more()) (void)monitor_.recv(endpoint);
    if (event.size() < 6) continue;
    uint16_t number;
    uint32_t value;
    std::memcpy(&number, event.data(), sizeof number);
    std::memcpy(&value, static_cast<const char*>(event.data()) + 2, sizeof value);
    const int fd = static_cast<int>(value);
    if (number == ZMQ_EVENT_LISTENING) {
      // Non-blocking, so that an accept here never waits when ZeroMQ took the
      // last waiting connection first (ZeroMQ takes EAGAIN as "none").
      listening_fd_ = fd;
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    } else if (number == ZMQ_EVENT_ACCEPTED) {
      serial_of_fd_[fd] = next_serial_++;
    } else if (number == ZMQ_EVENT_ACCEPT_FAILED) {
      out_of_descriptors |= value == EMFILE || value == ENFILE;
    } else if (number == ZMQ_EVENT_DISCONNECTED) {
      const auto it = serial_of_fd_.find(fd);
      if (it == serial_of_fd_.end()) continue;
      closed.push_back(ConnectionId{fd, it->second});
      serial_of_fd_.erase(it);
    }
  }
  if (out_of_descriptors) refuse_waiting_connections();
  fill_reserve();
  return closed;
}

// ZeroMQ retries a failed accept at once and for as long as a connection
// waits, which keeps its I/O thread busy at full speed while every descriptor
// is taken. The waiting connections are closed instead: the reserve
// descriptors make room to accept each one, which is closed right away (its
// client sees the connection end and may try again later).
void ConnectionWatch::refuse_waiting_connections() {
  if (listening_fd_ < 0) return;
  release_reserve();
  for (;;) {
    const int fd = ::accept4(listening_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) break;  // none waits any more (or the I/O thread took the room)
    ::close(fd);
    ++refused_;
  }
  fill_reserve();
}

ConnectionId ConnectionWatch::connection_of(zmq::message_t& message) const {
  const int fd = zmq_msg_get(message.handle(), ZMQ_SRCFD);
  if (fd < 0) return {};
  const auto it = serial_of_fd_.find(fd);
  return ConnectionId{fd, it == serial_of_fd_.end() ? 0 : it->second};
}

}  // namespace vantoserver
