#include "subscription.h"

#include <vector>

#include <zmq_addon.hpp>

#include "name_service.h"
#include "vanto/codec.h"

namespace vanto::rpc {

namespace {
// How often the delivery thread looks at its stop flag while no update comes.
constexpr std::chrono::milliseconds kStopCheck{100};
// Most updates delivered from one poll before the stop flag and the
// connection are looked at again.
constexpr int kUpdatesPerPoll = 1024;
// Pauses between two attempts to find the publisher again: from the first
// to the longest, doubling.
constexpr std::chrono::milliseconds kFirstRetryPause{100};
constexpr std::chrono::milliseconds kLongestRetryPause{2000};
// A publisher whose host vanished sends no end of its connection: without
// an answer to the heartbeats for this long the connection counts as lost.
constexpr std::chrono::milliseconds kHeartbeat{2000};
constexpr std::chrono::milliseconds kHeartbeatTimeout{6000};

// Asks adr's server where adr's updates are published; false on any failure
// and as soon as stop is set.
bool find_publisher(const EqAdr& adr, std::chrono::milliseconds timeout,
                    const std::atomic<bool>& stop, Endpoint& publisher, std::string& topic) {
  // A pool of its own: this thread never shares the EqCall's connections.
  // Its waits for replies end on a stop request.
  ConnectionPool pool(&stop);
  EqData reply;
  Endpoint server;
  if (!route(pool, adr, server, reply, timeout)) return false;
  if (pool.to(server).call(Op::subscribe, adr.channel(), nullptr, reply, timeout) != 0)
    return false;
  int port = 0;
  float f1 = 0, f2 = 0;
  int64_t tm = 0;
  char* text = nullptr;
  if (reply.type() != DATA_USTR || !reply.get_ustr(&port, &f1, &f2, &tm, &text, 0) || port < 1 ||
      port > 65535 || text == nullptr)
    return false;
  publisher = Endpoint{server.host, port};
  topic = std::string(text) + '\0';
  return true;
}

std::string next_monitor_name() {
  static std::atomic<uint64_t> counter{0};
  return "inproc://vanto-subscription-monitor-" + std::to_string(counter.fetch_add(1));
}

}  // namespace

// The SUB socket and a PAIR socket that receives its connection events.
struct Subscription::Link {
  zmq::socket_t sub;
  zmq::socket_t monitor;

  Link(const Endpoint& publisher, const std::string& topic)
      : sub(context(), zmq::socket_type::sub), monitor(context(), zmq::socket_type::pair) {
    sub.set(zmq::sockopt::linger, 0);
    sub.set(zmq::sockopt::heartbeat_ivl, static_cast<int>(kHeartbeat.count()));
    sub.set(zmq::sockopt::heartbeat_timeout, static_cast<int>(kHeartbeatTimeout.count()));
    sub.set(zmq::sockopt::subscribe, topic);
    monitor.set(zmq::sockopt::linger, 0);
    // Watched before it connects, so that no loss goes unseen.
    const std::string name = next_monitor_name();
    if (zmq_socket_monitor(sub.handle(), name.c_str(), ZMQ_EVENT_DISCONNECTED) != 0)
      throw zmq::error_t();
    monitor.connect(name);
    sub.connect(publisher.tcp());
  }
  ~Link() { zmq_socket_monitor(sub.handle(), nullptr, 0); }
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;
};

Subscription::Subscription(EqAdr address, const Endpoint& publisher, std::string topic,
                           std::chrono::milliseconds timeout,
                           std::function<void(const EqData&)> callback)
    : address_(std::move(address)),
      topic_(std::move(topic)),
      timeout_(timeout),
      callback_(std::move(callback)) {
  // The sockets are made here so that connect errors reach the caller; they
  // then move to the thread, which alone uses them.
  auto link = std::make_unique<Link>(publisher, topic_);
  thread_ = std::thread(&Subscription::run, this, std::move(link));
}

Subscription::~Subscription() {
  {
    std::lock_guard lock(stop_mutex_);
    stop_ = true;
  }
  stop_changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Subscription::run(std::unique_ptr<Link> link) {
  while (link && deliver(*link)) {
    link.reset();  // the old publisher is gone: stop reconnecting to it
    link = renew();
  }
}

bool Subscription::deliver(Link& link) {
  std::vector<zmq::message_t> frames;
  EqData value;
  while (!stop_) {
    zmq::pollitem_t items[2] = {{link.sub.handle(), 0, ZMQ_POLLIN, 0},
                                {link.monitor.handle(), 0, ZMQ_POLLIN, 0}};
    if (zmq::poll(items, 2, kStopCheck) == 0) continue;
    if ((items[1].revents & ZMQ_POLLIN) != 0) {
      // The only event watched is the loss of the connection.
      frames.clear();
      if (zmq::recv_multipart(link.monitor, std::back_inserter(frames), zmq::recv_flags::dontwait))
        return true;
    }
    if ((items[0].revents & ZMQ_POLLIN) == 0) continue;
    // Updates that came together are taken together: one poll for many of
    // them, until none is waiting or it is time to look at the stop flag and
    // the connection again.
    for (int taken = 0; taken < kUpdatesPerPoll && !stop_; ++taken) {
      frames.clear();
      if (!zmq::recv_multipart(link.sub, std::back_inserter(frames), zmq::recv_flags::dontwait))
        break;
      // Frame 0: topic; frame 1: a stream message (header and data part).
      if (frames.size() != 2 || frames[0].to_string_view() != topic_) continue;
      StreamInfo info;
      if (Codec::decode_message(static_cast<const uint8_t*>(frames[1].data()), frames[1].size(),
                                value, info) != 0)
        continue;
      value.set_time(info.sec, info.usec);
      value.set_event_id(info.ident);
      callback_(value);
    }
  }
  return false;
}

std::unique_ptr<Subscription::Link> Subscription::renew() {
  auto wait = kFirstRetryPause;
  bool asked_before = false;
  while (pause(wait)) {
    // After a failed attempt the route may be stale (the server moved):
    // the name service is asked again.
    if (asked_before) forget_route(address_);
    asked_before = true;
    Endpoint publisher;
    std::string topic;
    // The topic is the channel's name, so a server that answers with
    // another one serves something else: it is asked again later.
    if (find_publisher(address_, timeout_, stop_, publisher, topic) && topic == topic_) {
      try {
        return std::make_unique<Link>(publisher, topic_);
      } catch (const zmq::error_t&) {
        // Tried again after the pause, as when no server answered.
      }
    }
    wait = std::min(wait * 2, kLongestRetryPause);
  }
  return nullptr;
}

bool Subscription::pause(std::chrono::milliseconds pause) {
  std::unique_lock lock(stop_mutex_);
  return !stop_changed_.wait_for(lock, pause, [this] { return stop_.load(); });
}

}  // namespace vanto::rpc
