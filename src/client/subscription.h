// Delivery thread of one EqCall::subscribe.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "rpc_connection.h"
#include "vanto/eqdata.h"

namespace vanto::rpc {

// Receives the updates of one topic from a server's subscription publisher
// and runs the callback for each, on its own thread, until destroyed.
class Subscription {
 public:
  Subscription(const Endpoint& publisher, std::string topic,
               std::function<void(const EqData&)> callback);
  ~Subscription();
  Subscription(const Subscription&) = delete;
  Subscription& operator=(const Subscription&) = delete;

 private:
  void run(zmq::socket_t socket);

  std::string topic_;
  std::function<void(const EqData&)> callback_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace vanto::rpc
