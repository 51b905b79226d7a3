#include "rpc_connection.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <functional>
#include <vector>

#include <zmq_addon.hpp>

#include "vanto/codec.h"
#include "vanto/errors.h"

namespace vanto::rpc {

zmq::context_t& context() {
  // Never destroyed on purpose: programs may end without deleting their
  // EqCall objects, and destroying a context waits until every socket of it
  // is closed, which would hang the exit.
  static zmq::context_t* const shared = new zmq::context_t(1);
  return *shared;
}

bool parse_endpoint(std::string_view text, Endpoint& out) {
  const auto colon = text.rfind(':');
  if (colon == std::string_view::npos) return false;
  const std::string_view port_text = text.substr(colon + 1);
  int port = 0;
  const auto [end, ec] =
      std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
  if (ec != std::errc() || end != port_text.data() + port_text.size() || port < 1 || port > 65535)
    return false;
  out.host = std::string(text.substr(0, colon));
  out.port = port;
  return true;
}

namespace {

// How often a wait with a stop flag looks at it.
constexpr std::chrono::milliseconds kStopCheck{100};

uint64_t next_request_id() {
  static std::atomic<uint64_t> counter{1};
  return counter.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

Connection::Connection(const Endpoint& server, const std::atomic<bool>* stop, Silence* silence)
    : server_(server),
      server_text_(server.text()),
      stop_(stop),
      silence_(silence),
      socket_(context(), zmq::socket_type::dealer) {
  socket_.set(zmq::sockopt::linger, 0);
  // A host ZeroMQ refuses (a name service may answer anything) fails this
  // connection's calls with the reason; it must not throw out of a call.
  try {
    socket_.connect(server.tcp());
  } catch (const zmq::error_t& e) {
    connect_error_ = e.what();
  }
}

bool Connection::send_request(Op op, uint64_t id, std::string_view address, const EqData* in) {
  RequestHeader header;
  header.op = static_cast<uint16_t>(op);
  header.id = id;
  std::vector<uint8_t> data;
  if (in != nullptr && in->type() != DATA_NULL) {
    header.type = in->type();
    data = Codec::encode_data(*in, &header.count);
  }
  return send_encoded(header, address, data);
}

bool Connection::send_encoded(const RequestHeader& header, std::string_view address,
                              std::span<const uint8_t> data) {
  if (!connect_error_.empty()) return false;
  const auto more = zmq::send_flags::sndmore | zmq::send_flags::dontwait;
  if (!socket_.send(zmq::buffer(&header, sizeof header), more)) return false;
  socket_.send(zmq::buffer(address.data(), address.size()), more);
  socket_.send(zmq::buffer(data.data(), data.size()), zmq::send_flags::dontwait);
  return true;
}

void Connection::fail_unavailable(EqData& out, std::chrono::milliseconds timeout) const {
  out.init();
  if (!connect_error_.empty()) {
    out.error(unavail_serv, "cannot connect to " + server_.text() + ": " + connect_error_);
    return;
  }
  out.error(unavail_serv, "no answer from " + server_.text() + " within " +
                              std::to_string(timeout.count()) + " ms");
}

bool Connection::given_up() const {
  return silence_ != nullptr && silence_->given_up(server_text_);
}

std::chrono::milliseconds Connection::wait_for(std::chrono::milliseconds timeout) const {
  return given_up() ? std::chrono::milliseconds(0) : timeout;
}

void Connection::note_time_out() {
  if (silence_ != nullptr) silence_->timed_out(server_text_);
}

int Connection::call(Op op, std::string_view address, const EqData* in, EqData& out,
                     std::chrono::milliseconds timeout) {
  const uint64_t id = next_request_id();
  if (!send_request(op, id, address, in)) {
    fail_unavailable(out, timeout);
    return out.error();
  }
  return await(id, out, timeout);
}

uint64_t Connection::send(Op op, std::string_view address, const EqData* in) {
  const uint64_t id = next_request_id();
  if (!send_request(op, id, address, in)) return 0;
  ahead_.emplace(id, Frames());
  return id;
}

void Connection::abandon(uint64_t id) { ahead_.erase(id); }

bool Connection::keep_for_later(uint64_t id, Frames& frames) {
  const auto it = ahead_.find(id);
  if (it == ahead_.end()) return false;
  it->second = std::move(frames);
  frames = Frames();
  return true;
}

int Connection::await(uint64_t id, EqData& out, std::chrono::milliseconds timeout) {
  if (const auto kept = ahead_.find(id); kept != ahead_.end()) {
    const Frames frames = std::move(kept->second);
    ahead_.erase(kept);
    if (!frames.empty()) return take_reply(frames, out);
  }
  // A server given up is not waited for; a reply already there still counts.
  const bool waits = !given_up();
  const auto deadline = std::chrono::steady_clock::now() + wait_for(timeout);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const std::optional<ReplyHeader> header = next_reply(left, !waits);
    if (!header) {
      if (waits) note_time_out();
      fail_unavailable(out, timeout);
      return out.error();
    }
    if (header->id == id) return take_reply(frames_, out);
    // A reply to a request sent ahead is kept; a late reply to an earlier
    // call that timed out is not ours.
    keep_for_later(header->id, frames_);
  }
}

std::optional<ReplyHeader> Connection::next_reply(std::chrono::milliseconds timeout,
                                                  bool queued_first) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool try_receive = queued_first;
  for (;;) {
    if (try_receive) {
      frames_.clear();
      if (zmq::recv_multipart(socket_, std::back_inserter(frames_), zmq::recv_flags::dontwait)) {
        if (frames_.size() != kReplyFrames) continue;
        if (auto header = read_header<ReplyHeader>(frames_[0].data(), frames_[0].size())) {
          // Any reply, even a late one, shows the server answers again.
          if (silence_ != nullptr) silence_->answered(server_text_);
          return header;
        }
        continue;
      }
    }
    if (stop_ != nullptr && stop_->load()) return std::nullopt;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    // With a stop flag the wait goes in slices, so that a stop is seen soon.
    if (stop_ != nullptr) left = std::min(left, kStopCheck);
    zmq::pollitem_t item{socket_.handle(), 0, ZMQ_POLLIN, 0};
    try_receive = zmq::poll(&item, 1, left) > 0;
  }
}

size_t Connection::pipeline(size_t total, size_t window, std::chrono::milliseconds timeout,
                            const std::function<bool(size_t, uint64_t)>& send,
                            const std::function<EqData&(size_t)>& out) {
  // Request id -> index, of the requests in flight. Ids only grow, and the
  // server answers in order, so the oldest entry is nearly always the match.
  std::map<uint64_t, size_t> waiting;
  size_t next = 0;
  size_t failed = 0;
  window = std::max<size_t>(window, 1);
  while (next < total || !waiting.empty()) {
    while (next < total && waiting.size() < window) {
      const uint64_t id = next_request_id();
      if (send(next, id)) {
        waiting.emplace(id, next);
      } else {
        fail_unavailable(out(next), timeout);
        ++failed;
      }
      ++next;
    }
    if (waiting.empty()) continue;
    const bool waits = !given_up();
    const std::optional<ReplyHeader> reply = next_reply(wait_for(timeout), true);
    if (!reply) {
      // A silent server: what waits and what was not sent yet fails alike.
      if (waits) note_time_out();
      for (const auto& [id, index] : waiting) fail_unavailable(out(index), timeout);
      for (size_t index = next; index < total; ++index) fail_unavailable(out(index), timeout);
      return failed + waiting.size() + (total - next);
    }
    const auto it = waiting.find(reply->id);
    if (it == waiting.end()) {
      keep_for_later(reply->id, frames_);
      continue;
    }
    if (take_reply(frames_, out(it->second)) != 0) ++failed;
    waiting.erase(it);
  }
  return failed;
}

size_t Connection::call_many(Op op, std::span<const std::string> addresses, const EqData* in,
                             std::span<EqData* const> out, size_t window,
                             std::chrono::milliseconds timeout) {
  // The header and argument are encoded once for the whole list.
  RequestHeader header;
  header.op = static_cast<uint16_t>(op);
  std::vector<uint8_t> data;
  if (in != nullptr && in->type() != DATA_NULL) {
    header.type = in->type();
    data = Codec::encode_data(*in, &header.count);
  }
  return pipeline(
      std::min(addresses.size(), out.size()), window, timeout,
      [&](size_t i, uint64_t id) {
        header.id = id;
        return send_encoded(header, addresses[i], data);
      },
      [&](size_t i) -> EqData& { return *out[i]; });
}

size_t Connection::call_each(std::span<const Request> requests, size_t window,
                             std::chrono::milliseconds timeout) {
  return pipeline(
      requests.size(), window, timeout,
      [&](size_t i, uint64_t id) {
        return send_request(requests[i].op, id, requests[i].address, requests[i].in);
      },
      [&](size_t i) -> EqData& { return *requests[i].out; });
}

int Connection::take_reply(const Frames& frames, EqData& out) {
  const auto header = read_header<ReplyHeader>(frames[0].data(), frames[0].size());
  out.init();
  if (header->error != 0) {
    const auto text = frames[1].to_string_view().substr(0, kMaxErrorTextLength);
    out.error(header->error, std::string(text));
    return out.error();
  }
  if (header->type != DATA_NULL) {
    if (Codec::decode_data(out, header->type, header->count,
                           static_cast<const uint8_t*>(frames[2].data()), frames[2].size()) != 0)
      return out.error();
  }
  out.set_time(header->sec, header->usec);
  out.set_event_id(header->event_id);
  return 0;
}

Connection& ConnectionPool::to(const Endpoint& server) {
  auto& slot = connections_[server.text()];
  if (!slot) slot = std::make_unique<Connection>(server, stop_, &silence_);
  return *slot;
}

void ConnectionPool::drop(const Endpoint& server) { connections_.erase(server.text()); }

void ConnectionPool::drop_all() { connections_.clear(); }

}  // namespace vanto::rpc
