// Follows the TCP connections of a socket through its ZeroMQ monitor: work
// kept for a client (held answers) can be dropped when the client leaves, and
// connections that wait while no file descriptor is free are turned away.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>
#include <zmq.hpp>

namespace vantoserver {

// A connection: its file descriptor and a serial number that tells apart the
// connections that reuse one descriptor number, one after the other.
struct ConnectionId {
  int fd = -1;
  uint64_t serial = 0;
  bool operator==(const ConnectionId&) const = default;
};

class ConnectionWatch {
 public:
  // Starts monitoring socket (before it binds, so that every connection and
  // its listening descriptor are seen); name makes the monitor's endpoint
  // unique. Used from one thread only (the one that reads socket).
  ConnectionWatch(zmq::context_t& context, zmq::socket_t& socket, const std::string& name);
  ~ConnectionWatch();
  ConnectionWatch(const ConnectionWatch&) = delete;
  ConnectionWatch& operator=(const ConnectionWatch&) = delete;

  // The monitor socket, to wait on: it becomes readable with every event.
  zmq::socket_t& events() { return monitor_; }
  // Reads the monitor's events so far; returns the connections that closed.
  // When a connection could not be accepted for want of a descriptor, the
  // connections waiting are closed at once (see refused()).
  std::vector<ConnectionId> take_closed();
  // The connection a message came from (read from the message's source
  // descriptor); fd -1 for a message not from a TCP or IPC connection, serial
  // 0 for a connection that closed already. Call take_closed() first, so that
  // a reused descriptor is known as new.
  ConnectionId connection_of(zmq::message_t& message) const;
  // Connections closed unserved because no descriptor was free.
  long refused() const { return refused_; }

 private:
  void refuse_waiting_connections();

  zmq::socket_t monitor_;
  uint64_t next_serial_ = 1;
  std::unordered_map<int, uint64_t> serial_of_fd_;  // open connections
  int listening_fd_ = -1;
  // Descriptors kept open to have room to accept with. Several, because
  // ZeroMQ's I/O thread retries its accept at the same time and may take a
  // freed descriptor first (that connection is then served, and the reserve
  // one smaller until a connection closes).
  static constexpr size_t kReserve = 8;
  std::vector<int> reserve_fds_;
  void fill_reserve();
  void release_reserve();
  long refused_ = 0;
};

}  // namespace vantoserver
