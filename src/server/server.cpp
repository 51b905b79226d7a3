#include "server.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "numeric_value.h"
#include "request_loop.h"
#include "service.h"
#include "socket_limits.h"
#include "stream_hub.h"
#include "subscription_hub.h"

namespace vantoserver {

namespace {

// Longest a thread waits before it looks at the stop flag again.
constexpr std::chrono::milliseconds kStopCheck{100};

int port_of_endpoint(const std::string& endpoint) {
  return std::atoi(endpoint.c_str() + endpoint.rfind(':') + 1);
}

}  // namespace

std::string served_host_name(const std::string& bind_host) {
  const bool local = bind_host == "0.0.0.0" || bind_host == "*" || bind_host == "localhost" ||
                     bind_host.rfind("127.", 0) == 0 || bind_host == "::" || bind_host == "::1";
  if (!local) return bind_host;
  char name[HOST_NAME_MAX + 1] = "";
  if (::gethostname(name, sizeof name) != 0) return bind_host;
  name[HOST_NAME_MAX] = '\0';
  return name;
}

Server::Server(Config config, const ServerOptions& options, std::ostream& log)
    : config_(std::move(config)),
      log_(log),
      bind_host_(options.bind),
      context_(1),
      router_(context_, zmq::socket_type::router),
      allow_faults_(options.allow_faults) {
  router_.set(zmq::sockopt::linger, 0);
  router_.set(zmq::sockopt::maxmsgsize, kMaxRequestBytes);
  // Watched from before the bind, so that no connection goes unseen.
  connections_ = std::make_unique<ConnectionWatch>(context_, router_, "requests");
  router_.bind("tcp://" + bind_host_ + ":" +
               (options.port == 0 ? std::string("*") : std::to_string(options.port)));
  port_ = port_of_endpoint(router_.get(zmq::sockopt::last_endpoint));
  streams_ = std::make_unique<StreamHub>(context_, bind_host_);
  subscriptions_ = std::make_unique<SubscriptionHub>(context_, bind_host_, *config_.registry);
  service_ = std::make_unique<Service>(*config_.registry, events_, *streams_,
                                       served_host_name(bind_host_), subscriptions_->port());
  for (const auto& channel : config_.registry->channels()) {
    if (channel->history() != nullptr) histories_.push_back(channel.get());
    if (!channel->stream.start) continue;
    std::string why;
    if (streams_->start(*channel, why) == 0) throw std::runtime_error(why);
  }
}

Server::~Server() { stop(); }

void Server::start() {
  requests_thread_ = std::thread(&Server::serve_requests, this);
  clock_thread_ = std::thread(&Server::run_clock, this);
}

void Server::stop() {
  stop_ = true;
  if (requests_thread_.joinable()) requests_thread_.join();
  if (clock_thread_.joinable()) clock_thread_.join();
}

void Server::serve_requests() {
  RequestLoop loop(router_, *service_, log_, allow_faults_, connections_.get());
  while (!stop_) {
    try {
      loop.serve_once(kStopCheck);
    } catch (const std::exception& e) {
      // No client may end the server; a failing socket is logged and retried.
      log_ << "vantoserver: request loop: " << e.what() << std::endl;
      std::this_thread::sleep_for(kStopCheck);
    }
  }
}

void Server::run_clock() {
  using clock = std::chrono::steady_clock;
  const auto period = std::chrono::duration_cast<clock::duration>(
      std::chrono::duration<double>(1.0 / config_.settings.event_rate_hz));
  auto next_tick = clock::now() + period;
  zmq::socket_t& subscribers = subscriptions_->socket();
  while (!stop_) {
    try {
      // A subscribed flood channel wakes the clock when its next update is
      // due; as fast as it can means not waiting at all.
      const auto wake = std::min(next_tick, subscriptions_->flood(events_.now()));
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(wake - clock::now());
      zmq::pollitem_t items[] = {{subscribers.handle(), 0, ZMQ_POLLIN, 0},
                                 {subscriptions_->connection_events().handle(), 0, ZMQ_POLLIN, 0}};
      if (zmq::poll(items, 2, std::clamp(left, std::chrono::milliseconds{0}, kStopCheck)) > 0)
        subscriptions_->take_subscriptions(events_.now());
      if (clock::now() < next_tick) continue;
      events_.tick();
      const Moment now = events_.now();
      sample_histories(now);
      streams_->publish(now);
      subscriptions_->publish(now);
      next_tick += period;
      // After a stall (a suspended process) the clock goes on from now
      // instead of firing the missed ticks in a burst.
      if (next_tick < clock::now()) next_tick = clock::now() + period;
    } catch (const std::exception& e) {
      log_ << "vantoserver: event clock: " << e.what() << std::endl;
      std::this_thread::sleep_for(kStopCheck);
      next_tick = clock::now() + period;
    }
  }
}

void Server::sample_histories(const Moment& now) {
  for (Channel* channel : histories_) {
    History* history = channel->history();
    if (now.sec - history->newest_sec() < history->period_s()) continue;
    const Dynamic source = channel->dynamic == Dynamic::none ? Dynamic::sine : channel->dynamic;
    const double value =
        channel->waveform.at(source, static_cast<double>(now.sec), now.ticks, now.event_id);
    history->push(HistoryPoint{now.sec, static_cast<int32_t>(now.usec / 1000), 0, value});
  }
}

}  // namespace vantoserver
