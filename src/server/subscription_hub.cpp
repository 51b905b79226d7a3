#include "subscription_hub.h"

#include <cstdlib>

#include "socket_limits.h"
#include "vanto/codec.h"

namespace vantoserver {

SubscriptionHub::SubscriptionHub(zmq::context_t& context, const std::string& bind_host,
                                 const Registry& registry)
    : registry_(registry), socket_(context, zmq::socket_type::xpub) {
  socket_.set(zmq::sockopt::linger, 0);
  socket_.set(zmq::sockopt::maxmsgsize, kMaxSubscriptionBytes);
  // Every subscription is passed up, also a second one to the same topic, so
  // that each new subscriber gets the current value.
  socket_.set(zmq::sockopt::xpub_verbose, 1);
  socket_.bind("tcp://" + bind_host + ":*");
  const std::string endpoint = socket_.get(zmq::sockopt::last_endpoint);
  port_ = std::atoi(endpoint.c_str() + endpoint.rfind(':') + 1);
}

void SubscriptionHub::take_subscriptions(const Moment& now) {
  for (;;) {
    zmq::message_t message;
    if (!socket_.recv(message, zmq::recv_flags::dontwait)) return;
    const auto bytes = message.to_string_view();
    // First byte 1 subscribes, 0 unsubscribes; the topic ends with a NUL.
    // Anything else a client sends is dropped.
    if (bytes.size() < 2 || bytes.back() != '\0' || (bytes[0] != 0 && bytes[0] != 1)) continue;
    Channel* channel = registry_.find(bytes.substr(1, bytes.size() - 2));
    if (channel == nullptr || channel->history() != nullptr) continue;
    Watch& watch = watched_[channel];
    if (bytes[0] == 1) {
      ++watch.subscribers;
      watch.revision = channel->revision();
      send(*channel, now);
    } else if (--watch.subscribers <= 0) {
      watched_.erase(channel);
    }
  }
}

void SubscriptionHub::publish(const Moment& now) {
  for (auto& [channel, watch] : watched_) {
    const uint64_t revision = channel->revision();
    if (channel->dynamic == Dynamic::none && revision == watch.revision) continue;
    watch.revision = revision;
    send(*channel, now);
  }
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
