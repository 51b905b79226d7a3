#include "subscription_hub.h"

#include <algorithm>
#include <cstdlib>

#include "socket_limits.h"
#include "vanto/codec.h"

namespace vantoserver {

namespace {
// Flood updates sent per channel before the clock thread looks at its other
// work (ticks, new subscribers) again.
constexpr int64_t kFloodBatch = 256;
// A flood that fell further behind its schedule than this (a stall) goes on
// from now instead of sending the missed updates in a burst.
constexpr std::chrono::milliseconds kFloodCatchUp{100};
}  // namespace

SubscriptionHub::SubscriptionHub(zmq::context_t& context, const std::string& bind_host,
                                 const Registry& registry)
    : registry_(registry),
      socket_(context, zmq::socket_type::xpub),
      // Watched from before the bind, so that no connection goes unseen.
      connections_(context, socket_, "subscriptions") {
  socket_.set(zmq::sockopt::linger, 0);
  socket_.set(zmq::sockopt::maxmsgsize, kMaxSubscriptionBytes);
  // Every subscription is passed up, also a second one to the same topic, so
  // that each new subscriber gets the current value.
  socket_.set(zmq::sockopt::xpub_verbose, 1);
  socket_.bind("tcp://" + bind_host + ":*");
  const std::string endpoint = socket_.get(zmq::sockopt::last_endpoint);
  port_ = std::atoi(endpoint.c_str() + endpoint.rfind(':') + 1);
}

void SubscriptionHub::forget_closed_connections() {
  for (const ConnectionId& gone : connections_.take_closed()) {
    for (auto it = watched_.begin(); it != watched_.end();) {
      std::erase(it->second.subscribers, gone);
      it = it->second.subscribers.empty() ? watched_.erase(it) : std::next(it);
    }
  }
}

void SubscriptionHub::take_subscriptions(const Moment& now) {
  // The connections that ended first, so that a reused descriptor is known
  // as a new connection.
  forget_closed_connections();
  for (;;) {
    zmq::message_t message;
    if (!socket_.recv(message, zmq::recv_flags::dontwait)) return;
    const auto bytes = message.to_string_view();
    // First byte 1 subscribes, 0 unsubscribes; the topic ends with a NUL.
    // Anything else a client sends is dropped.
    if (bytes.size() < 2 || bytes.back() != '\0' || (bytes[0] != 0 && bytes[0] != 1)) continue;
    // The publisher's own unsubscriptions for a connection that ended carry
    // no connection: the connection's end was counted above.
    ConnectionId from = connections_.connection_of(message);
    if (from.fd >= 0 && from.serial == 0) {
      // A connection accepted since the events were read is known after
      // reading them again; one that has closed since stays unknown.
      forget_closed_connections();
      from = connections_.connection_of(message);
    }
    if (from.fd < 0 || from.serial == 0) continue;
    Channel* channel = registry_.find(bytes.substr(1, bytes.size() - 2));
    if (channel == nullptr || channel->history() != nullptr) continue;
    if (bytes[0] == 1) {
      Watch& watch = watched_[channel];
      if (std::find(watch.subscribers.begin(), watch.subscribers.end(), from) ==
          watch.subscribers.end()) {
        watch.subscribers.push_back(from);
      }
      watch.revision = channel->revision();
      watch.flood_due = std::chrono::steady_clock::now();
      send(*channel, now);
    } else if (const auto it = watched_.find(channel); it != watched_.end()) {
      std::erase(it->second.subscribers, from);
      if (it->second.subscribers.empty()) watched_.erase(it);
    }
  }
}

void SubscriptionHub::publish(const Moment& now) {
  for (auto& [channel, watch] : watched_) {
    const uint64_t revision = channel->revision();
    if (channel->dynamic == Dynamic::flood) continue;
    if (channel->dynamic == Dynamic::none && revision == watch.revision) continue;
    watch.revision = revision;
    send(*channel, now);
  }
}

std::chrono::steady_clock::time_point SubscriptionHub::flood(const Moment& now) {
  using clock = std::chrono::steady_clock;
  auto next = clock::time_point::max();
  for (auto& [channel, watch] : watched_) {
    if (channel->dynamic != Dynamic::flood) continue;
    const auto at = clock::now();
    int64_t due = kFloodBatch;
    clock::duration period{0};
    if (channel->flood_rate > 0) {
      period = std::chrono::duration_cast<clock::duration>(
          std::chrono::duration<double>(1.0 / channel->flood_rate));
      if (period.count() == 0) period = clock::duration{1};
      if (watch.flood_due + kFloodCatchUp < at) watch.flood_due = at;
      due = watch.flood_due > at ? 0 : std::min(kFloodBatch, (at - watch.flood_due) / period + 1);
    }
    for (int64_t k = 0; k < due; ++k) {
      channel->count_flood_update();
      send(*channel, now);
    }
    watch.flood_due = channel->flood_rate > 0 ? watch.flood_due + due * period : at;
    next = std::min(next, watch.flood_due);
  }
  return next;
}

void SubscriptionHub::send(Channel& channel, const Moment& now) {
  vanto::EqData value;
  channel.read(value, now);
  vanto::StreamInfo info;
  info.name = channel.property().substr(0, 63);
  info.ident = now.event_id;
  info.sec = now.sec;
  info.usec = now.usec;
  const auto message = vanto::Codec::encode_message(value, info, 2);
  const std::string& address = channel.address();
  socket_.send(zmq::buffer(address.c_str(), address.size() + 1),
               zmq::send_flags::sndmore | zmq::send_flags::dontwait);
  socket_.send(zmq::buffer(message), zmq::send_flags::dontwait);
}

}  // namespace vantoserver
