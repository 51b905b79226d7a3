// Framing of requests and replies on the server's ROUTER socket.
#pragma once

#include <chrono>
#include <deque>
#include <vector>

#include <zmq.hpp>

#include "fault_table.h"
#include "reply.h"

namespace vantoserver {

class Service;

// Reads requests from the ROUTER socket, answers them through the service,
// holds back the answers of slow (fault-injected) channels.
class RequestLoop {
 public:
  RequestLoop(zmq::socket_t& router, Service& service, std::ostream& log);

  // Serves what arrives within at most max_wait; returns when idle.
  void serve_once(std::chrono::milliseconds max_wait);

 private:
  struct Held {
    std::chrono::steady_clock::time_point due;
    std::vector<zmq::message_t> frames;
  };

  void handle(std::vector<zmq::message_t>& frames);
  Reply answer(uint16_t op, std::string_view address, const zmq::message_t& data, int type,
               uint32_t count);
  std::vector<zmq::message_t> frame_reply(const zmq::message_t& identity, uint16_t op,
                                          uint64_t id, const Reply& reply) const;
  void send(std::vector<zmq::message_t>& frames);
  void send_due();
  void note_bad_frame(const char* why);

  zmq::socket_t& router_;
  Service& service_;
  std::ostream& log_;
  FaultTable faults_;
  std::deque<Held> held_;  // sorted by due time
  long bad_frames_ = 0;
};

}  // namespace vantoserver
