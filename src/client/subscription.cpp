#include "subscription.h"

#include <vector>

#include <zmq_addon.hpp>

#include "vanto/codec.h"

namespace vanto::rpc {

namespace {
// How often the delivery thread looks at its stop flag while no update comes.
constexpr std::chrono::milliseconds kStopCheck{100};
}  // namespace

Subscription::Subscription(const Endpoint& publisher, std::string topic,
                           std::function<void(const EqData&)> callback)
    : topic_(std::move(topic)), callback_(std::move(callback)) {
  // The socket is made here so that connect errors reach the caller; it then
  // moves to the thread, which alone uses it.
  zmq::socket_t socket(context(), zmq::socket_type::sub);
  socket.set(zmq::sockopt::linger, 0);
  socket.set(zmq::sockopt::subscribe, topic_);
  socket.connect(publisher.tcp());
  thread_ = std::thread(&Subscription::run, this, std::move(socket));
}

Subscription::~Subscription() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void Subscription::run(zmq::socket_t socket) {
  std::vector<zmq::message_t> frames;
  while (!stop_) {
    zmq::pollitem_t item{socket.handle(), 0, ZMQ_POLLIN, 0};
    if (zmq::poll(&item, 1, kStopCheck) == 0) continue;
    frames.clear();
    if (!zmq::recv_multipart(socket, std::back_inserter(frames), zmq::recv_flags::dontwait))
      continue;
    // Frame 0: topic; frame 1: a stream message (header and data part).
    if (frames.size() != 2 || frames[0].to_string_view() != topic_) continue;
    EqData value;
    StreamInfo info;
    if (Codec::decode_message(static_cast<const uint8_t*>(frames[1].data()), frames[1].size(),
                              value, info) != 0)
      continue;
    value.set_time(info.sec, info.usec);
    value.set_event_id(info.ident);
    callback_(value);
  }
}

}  // namespace vanto::rpc
