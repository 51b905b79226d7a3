// The publisher of EqCall::subscribe: one XPUB socket; a topic per channel
// (its address and a NUL); frames: topic, then a stream message (layout 2).
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <zmq.hpp>

#include "connection_watch.h"
#include "registry.h"

namespace vantoserver {

class SubscriptionHub {
 public:
  SubscriptionHub(zmq::context_t& context, const std::string& bind_host, const Registry& registry);

  int port() const { return port_; }
  zmq::socket_t& socket() { return socket_; }
  // Becomes readable when a subscriber's connection comes or goes.
  zmq::socket_t& connection_events() { return connections_.events(); }
  // Takes the (un)subscriptions waiting on the socket and the connections
  // that closed; a new subscriber gets the current value at once.
  void take_subscriptions(const Moment& now);
  // Publishes every subscribed channel that was written or moves by itself
  // on the event clock (floods publish on their own schedule).
  void publish(const Moment& now);
  // Publishes the updates of subscribed flood channels that are due by now,
  // at most a batch per channel, and returns when the next one is due
  // (time_point::max() when no flood is subscribed).
  std::chrono::steady_clock::time_point flood(const Moment& now);

 private:
  struct Watch {
    // The connections subscribed, as the publisher keeps them: one entry per
    // connection however often it subscribed, gone with its unsubscription
    // or its end. Counting messages instead went wrong: the publisher passes
    // on every subscription but only the last unsubscription of a topic, and
    // a client may unsubscribe from what it never subscribed to.
    std::vector<ConnectionId> subscribers;
    uint64_t revision = 0;
    std::chrono::steady_clock::time_point flood_due{};  // of the next flood update
  };
  void send(Channel& channel, const Moment& now);
  // Reads the connection events; the connections that closed leave every watch.
  void forget_closed_connections();

  const Registry& registry_;
  zmq::socket_t socket_;
  ConnectionWatch connections_;  // of socket_
  int port_ = 0;
  std::map<Channel*, Watch> watched_;
};

}  // namespace vantoserver
