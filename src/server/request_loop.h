// Framing of requests and replies on the server's ROUTER socket.
#pragma once

#include <chrono>
#include <deque>
#include <vector>

#include <zmq.hpp>

#include "connection_watch.h"
#include "fault_table.h"
#include "reply.h"

namespace vantoserver {

class Service;

// Reads requests from the ROUTER socket, answers them through the service,
// holds back the answers of slow (fault-injected) channels.
class RequestLoop {
 public:
  // Most answers held back at once, and their most bytes: beyond either, an
  // answer is sent at once instead of late.
  static constexpr size_t kMaxHeld = 10'000;
  static constexpr size_t kMaxHeldBytes = 64 << 20;

  // allow_faults: whether fault commands are obeyed (else refused with
  // not_implemented). connections, when given, watches the router's
  // connections, so that held answers of a client that left are dropped.
  RequestLoop(zmq::socket_t& router, Service& service, std::ostream& log, bool allow_faults,
              ConnectionWatch* connections = nullptr);

  // Serves what arrives within at most max_wait; returns when idle.
  void serve_once(std::chrono::milliseconds max_wait);

 private:
  struct Held {
    std::chrono::steady_clock::time_point due;
    std::vector<zmq::message_t> frames;
    ConnectionId from;
    size_t bytes = 0;
  };

  void handle(std::vector<zmq::message_t>& frames);
  Reply answer(uint16_t op, std::string_view address, const zmq::message_t& data, int type,
               uint32_t count);
  std::vector<zmq::message_t> frame_reply(const zmq::message_t& identity, uint16_t op, uint64_t id,
                                          const Reply& reply) const;
  void send(std::vector<zmq::message_t>& frames);
  void send_due();
  void hold(std::vector<zmq::message_t>& reply, zmq::message_t& request, int delay_ms);
  // Reads the connection events: drops the held answers of clients that
  // left, logs connections refused for want of descriptors.
  void take_connection_events();
  void note_bad_frame(const char* why);

  zmq::socket_t& router_;
  Service& service_;
  std::ostream& log_;
  const bool allow_faults_;
  ConnectionWatch* connections_;
  FaultTable faults_;
  std::deque<Held> held_;  // sorted by due time
  size_t held_bytes_ = 0;
  long bad_frames_ = 0;
  long unheld_ = 0;          // answers sent at once because the held ones were at their bound
  long refused_logged_ = 0;  // connections refused for want of descriptors, as logged
};

}  // namespace vantoserver
