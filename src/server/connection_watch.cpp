#include "connection_watch.h"

#include <cstring>

namespace vantoserver {

ConnectionWatch::ConnectionWatch(zmq::context_t& context, zmq::socket_t& socket,
                                 const std::string& name)
    : monitor_(context, zmq::socket_type::pair) {
  const std::string endpoint = "inproc://connection-watch-" + name;
  if (zmq_socket_monitor(socket.handle(), endpoint.c_str(),
                         ZMQ_EVENT_ACCEPTED | ZMQ_EVENT_DISCONNECTED) != 0)
    throw zmq::error_t();
  monitor_.set(zmq::sockopt::linger, 0);
  // No queue limit: ZeroMQ's I/O thread would wait on a full queue, stalling
  // every connection; the request thread reads the events at least every 100 ms.
  monitor_.set(zmq::sockopt::rcvhwm, 0);
  monitor_.connect(endpoint);
}

std::vector<ConnectionId> ConnectionWatch::take_closed() {
  std::vector<ConnectionId> closed;
  for (;;) {
    // An event is two frames: event number (16 bits) and value (32 bits, the
    // descriptor here), then the endpoint.
    zmq::message_t event, endpoint;
    if (!monitor_.recv(event, zmq::recv_flags::dontwait)) return closed;
    if (event.more()) (void)monitor_.recv(endpoint);
    if (event.size() < 6) continue;
    uint16_t number;
    uint32_t value;
    std::memcpy(&number, event.data(), sizeof number);
    std::memcpy(&value, static_cast<const char*>(event.data()) + 2, sizeof value);
    const int fd = static_cast<int>(value);
    if (number == ZMQ_EVENT_ACCEPTED) {
      serial_of_fd_[fd] = next_serial_++;
    } else if (number == ZMQ_EVENT_DISCONNECTED) {
      const auto it = serial_of_fd_.find(fd);
      if (it == serial_of_fd_.end()) continue;
      closed.push_back(ConnectionId{fd, it->second});
      serial_of_fd_.erase(it);
    }
  }
}

ConnectionId ConnectionWatch::connection_of(zmq::message_t& message) const {
  const int fd = zmq_msg_get(message.handle(), ZMQ_SRCFD);
  if (fd < 0) return {};
  const auto it = serial_of_fd_.find(fd);
  return ConnectionId{fd, it == serial_of_fd_.end() ? 0 : it->second};
}

}  // namespace vantoserver
