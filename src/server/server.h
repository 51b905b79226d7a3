// The reference equipment server: a request thread (ROUTER socket) and an
// event clock thread (streams, subscriptions, histories).
#pragma once

#include <atomic>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <zmq.hpp>

#include "config.h"
#include "connection_watch.h"
#include "event_state.h"

namespace vantoserver {

class Service;
class StreamHub;
class SubscriptionHub;

struct ServerOptions {
  std::string bind = "127.0.0.1";
  int port = 5600;            // 0: a free port
  bool allow_faults = false;  // accept fault injection commands (op 7)
};

class Server {
 public:
  // log receives lines from the server's two threads (std::cerr may be
  // shared so). Binds every socket and starts the streams marked to start; throws
  // zmq::error_t (or std::runtime_error) when a socket cannot be bound.
  Server(Config config, const ServerOptions& options, std::ostream& log);
  ~Server();  // stops and joins
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  int port() const { return port_; }
  const std::string& bind_host() const { return bind_host_; }
  // Starts the threads.
  void start();
  // Ends every thread (each notices within 100 ms) and joins them.
  void stop();

 private:
  void serve_requests();
  void run_clock();
  void sample_histories(const Moment& now);

  Config config_;
  std::ostream& log_;
  std::string bind_host_;
  zmq::context_t context_;
  zmq::socket_t router_;
  bool allow_faults_;
  std::unique_ptr<ConnectionWatch> connections_;  // of router_, read by the request thread
  int port_ = 0;
  EventState events_;
  std::unique_ptr<StreamHub> streams_;
  std::unique_ptr<SubscriptionHub> subscriptions_;
  std::unique_ptr<Service> service_;
  std::vector<Channel*> histories_;  // channels with a history ring
  std::atomic<bool> stop_{false};
  std::thread requests_thread_;
  std::thread clock_thread_;
};

// The host name a client should use to reach a server bound to bind_host:
// this host's name for loopback and wildcard addresses, else the address.
std::string served_host_name(const std::string& bind_host);

}  // namespace vantoserver
