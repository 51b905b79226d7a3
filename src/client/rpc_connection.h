// One request/reply connection from libvanto to a server.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <zmq.hpp>

#include "rpc_protocol.h"
#include "vanto/eqdata.h"

namespace vanto::rpc {

// The process's ZeroMQ context, shared by every socket of the library.
zmq::context_t& context();

// A server as host and port.
struct Endpoint {
  std::string host;
  int port = 0;
  std::string tcp() const { return "tcp://" + host + ":" + std::to_string(port); }
  std::string text() const { return host + ":" + std::to_string(port); }
};

// Parses "host:port" (port 1..65535); an empty host is kept empty.
bool parse_endpoint(std::string_view text, Endpoint& out);

// The servers given up during a batch of calls: a server that let a wait for
// its reply run out the whole time-out is taken as dead or hung until the
// batch ends or it answers again, so that the calls behind never wait for it
// once more (a list of 8000 reads of a dead server fails after one time-out,
// not after 8000). Outside a batch nothing is remembered.
class Silence {
 public:
  void begin_batch() { ++batches_; }
  void end_batch() {
    if (batches_ > 0 && --batches_ == 0) servers_.clear();
  }
  bool given_up(const std::string& server) const { return servers_.contains(server); }
  void timed_out(const std::string& server) {
    if (batches_ > 0) servers_.insert(server);
  }
  void answered(const std::string& server) { servers_.erase(server); }

 private:
  int batches_ = 0;
  std::set<std::string> servers_;
};

// A DEALER socket connected to one server. Used by one thread at a time.
class Connection {
 public:
  // stop, when given, ends every wait for a reply as soon as it is set (the
  // call then fails like one that got no answer). silence, when given, is
  // told of time-outs and answers, and a server it has given up is not
  // waited for: only replies already there are taken.
  explicit Connection(const Endpoint& server, const std::atomic<bool>* stop = nullptr,
                      Silence* silence = nullptr);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Sends one request and waits up to timeout for its reply. out receives the
  // value, or the server's error code and text, or unavail_serv when no reply
  // came in time. Returns out.error().
  int call(Op op, std::string_view address, const EqData* in, EqData& out,
           std::chrono::milliseconds timeout);

  // The two halves of call, for a request sent ahead while another call on
  // this connection runs: send returns the request id (0: not sent), and the
  // reply is kept until await takes it or abandon forgets it.
  uint64_t send(Op op, std::string_view address, const EqData* in);
  int await(uint64_t id, EqData& out, std::chrono::milliseconds timeout);
  void abandon(uint64_t id);

  // Many requests of one operation and request argument, kept in flight
  // together (at most `window` at a time) instead of one round trip each:
  // out[i] receives the reply to addresses[i]. The time-out counts from the
  // last reply that came: when the server stays silent that long, every
  // request still waiting fails with unavail_serv. Returns the number of
  // requests that failed.
  size_t call_many(Op op, std::span<const std::string> addresses, const EqData* in,
                   std::span<EqData* const> out, size_t window, std::chrono::milliseconds timeout);

  // One request of call_each.
  struct Request {
    Op op;
    std::string address;
    const EqData* in;  // request argument or value to write; may be null
    EqData* out;
  };
  // Like call_many, for requests that differ in operation and argument:
  // each request's reply lands in its own out. Returns the number of
  // requests that failed.
  size_t call_each(std::span<const Request> requests, size_t window,
                   std::chrono::milliseconds timeout);

 private:
  using Frames = std::vector<zmq::message_t>;

  bool send_request(Op op, uint64_t id, std::string_view address, const EqData* in);
  bool send_encoded(const RequestHeader& header, std::string_view address,
                    std::span<const uint8_t> data);
  // Waits up to timeout for the next well-formed reply and leaves it in
  // frames_; empty when none came in time. queued_first: look for a reply
  // already queued before waiting (while many replies stream in); a single
  // call waits first, its reply cannot be there yet.
  std::optional<ReplyHeader> next_reply(std::chrono::milliseconds timeout, bool queued_first);
  void fail_unavailable(EqData& out, std::chrono::milliseconds timeout) const;
  // How long a wait for this server may last: the time-out, or nothing when
  // the server has been given up.
  std::chrono::milliseconds wait_for(std::chrono::milliseconds timeout) const;
  bool given_up() const;
  void note_time_out();
  // Keeps the reply of a request sent ahead; false when nobody waits for it.
  bool keep_for_later(uint64_t id, Frames& frames);
  static int take_reply(const Frames& frames, EqData& out);
  // The loop of call_many and call_each: keeps up to window of total
  // requests in flight; send(i, id) sends request i under id (false: not
  // sent), out(i) receives its reply or error.
  size_t pipeline(size_t total, size_t window, std::chrono::milliseconds timeout,
                  const std::function<bool(size_t, uint64_t)>& send,
                  const std::function<EqData&(size_t)>& out);

  Endpoint server_;
  std::string server_text_;
  const std::atomic<bool>* stop_;
  Silence* silence_;
  zmq::socket_t socket_;
  std::string connect_error_;  // why the socket could not connect; empty when it did
  Frames frames_;              // receive buffer, reused by every call
  // Requests sent ahead and not yet awaited, with their reply once it came.
  std::map<uint64_t, Frames> ahead_;
};

// The connections of one EqCall, one per server, made on first use, and the
// servers given up in the current batch of calls.
class ConnectionPool {
 public:
  ConnectionPool() = default;
  // Connections whose waits end when stop is set (see Connection).
  explicit ConnectionPool(const std::atomic<bool>* stop) : stop_(stop) {}
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;
  Connection& to(const Endpoint& server);
  // Drops the connection (and the requests still queued on it).
  void drop(const Endpoint& server);
  // Drops every connection; the servers given up stay given up.
  void drop_all();
  Silence& silence() { return silence_; }

 private:
  const std::atomic<bool>* stop_ = nullptr;
  Silence silence_;
  std::map<std::string, std::unique_ptr<Connection>> connections_;
};

}  // namespace vanto::rpc
