// The ZeroMQ publishers of the streamed channels (one PUB socket per channel,
// bound to tcp://<bind>:<port> and ipc:///tmp/<port>).
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <zmq.hpp>

#include "channel.h"

namespace vantoserver {

class StreamHub {
 public:
  StreamHub(zmq::context_t& context, std::string bind_host);
  ~StreamHub();

  // Port of the channel's running stream, or 0 when it does not run.
  int port_of(const Channel& channel) const;
  // Starts the channel's stream (no-op when it runs); returns its port, or 0
  // with why set when the socket cannot be bound.
  int start(Channel& channel, std::string& why);
  // Publishes the current value of every running stream, all with the same
  // moment (one event of the clock).
  void publish(const Moment& now);

 private:
  struct Stream {
    Channel* channel;
    zmq::socket_t socket;
    int port;
    std::string ipc_path;
  };

  zmq::context_t& context_;
  std::string bind_host_;
  mutable std::mutex mutex_;  // guards streams_ and the sockets' hand-over
  std::map<const Channel*, std::unique_ptr<Stream>> streams_;
};

}  // namespace vantoserver
