// Delivery thread of one EqCall::subscribe.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "rpc_connection.h"
#include "vanto/eqadr.h"
#include "vanto/eqdata.h"

namespace vanto::rpc {

// Receives the updates of one topic from a server's subscription publisher
// and runs the callback for each, on its own thread, until destroyed.
//
// The subscription outlives its server: when the connection to the
// publisher is lost (the server stopped or restarted), the thread asks the
// channel's server again where the channel is published - through the name
// service, or straight to the host and port of a "vanto://host:port/..."
// address, as the first subscribe did - and connects there. It keeps asking,
// with growing pauses, until a server answers or the subscription ends; a
// restarted server then sends the current value and every update after it to
// the same callback.
class Subscription {
 public:
  // address: the channel, as EqCall::subscribe located it; publisher and
  // topic: the first answer of its server; timeout: of each later request.
  Subscription(EqAdr address, const Endpoint& publisher, std::string topic,
               std::chrono::milliseconds timeout, std::function<void(const EqData&)> callback);
  ~Subscription();
  Subscription(const Subscription&) = delete;
  Subscription& operator=(const Subscription&) = delete;

 private:
  struct Link;  // the SUB socket and the monitor of its connection

  void run(std::unique_ptr<Link> link);
  // Receives until the connection is lost (true) or a stop request (false).
  bool deliver(Link& link);
  // Asks the server again until it answers; empty on a stop request.
  std::unique_ptr<Link> renew();
  // Waits for pause or a stop request; false when stopped.
  bool pause(std::chrono::milliseconds pause);

  EqAdr address_;
  std::string topic_;
  std::chrono::milliseconds timeout_;
  std::function<void(const EqData&)> callback_;
  std::atomic<bool> stop_{false};
  std::mutex stop_mutex_;  // with stop_changed_: ends a retry pause at once
  std::condition_variable stop_changed_;
  std::thread thread_;
};

}  // namespace vanto::rpc
