#include "request_loop.h"

#include <algorithm>
#include <iterator>
#include <ostream>

#include <zmq_addon.hpp>

#include "rpc_protocol.h"
#include "service.h"
#include "vanto/codec.h"
#include "vanto/errors.h"

namespace vantoserver {

using namespace vanto;
using vanto::rpc::FaultMode;
using vanto::rpc::Op;

namespace {

// Requests read in one go before the held answers are looked at again.
constexpr int kBatch = 256;

bool known_op(uint16_t op) {
  return op >= static_cast<uint16_t>(Op::get) && op <= static_cast<uint16_t>(Op::fault);
}

bool faultable(Op op) { return op == Op::get || op == Op::set || op == Op::names; }

// Data parts from this size on are not copied into their frame: the frame
// holds a share of the encoded value until ZeroMQ has sent it.
constexpr size_t kShareFrom = 64 * 1024;

void release_share(void*, void* hint) { delete static_cast<std::shared_ptr<const Encoded>*>(hint); }

zmq::message_t data_frame(const std::shared_ptr<const Encoded>& data) {
  const std::vector<uint8_t>& bytes = data->bytes;
  if (bytes.size() < kShareFrom) return zmq::message_t(bytes.data(), bytes.size());
  auto share = std::make_unique<std::shared_ptr<const Encoded>>(data);
  zmq::message_t frame(const_cast<uint8_t*>(bytes.data()), bytes.size(), release_share,
                       share.get());
  share.release();  // now owned by the frame
  return frame;
}

}  // namespace

RequestLoop::RequestLoop(zmq::socket_t& router, Service& service, std::ostream& log,
                         bool allow_faults, ConnectionWatch* connections)
    : router_(router),
      service_(service),
      log_(log),
      allow_faults_(allow_faults),
      connections_(connections) {}

void RequestLoop::serve_once(std::chrono::milliseconds max_wait) {
  take_connection_events();
  auto wait = max_wait;
  if (!held_.empty()) {
    const auto until_due = std::chrono::duration_cast<std::chrono::milliseconds>(
        held_.front().due - std::chrono::steady_clock::now());
    wait = std::clamp(until_due + std::chrono::milliseconds(1), std::chrono::milliseconds(0),
                      max_wait);
  }
  // The connection events wake the loop too: connections waiting for a free
  // descriptor are turned away at once (see ConnectionWatch).
  zmq::pollitem_t items[] = {
      {router_.handle(), 0, ZMQ_POLLIN, 0},
      {connections_ ? connections_->events().handle() : nullptr, 0, ZMQ_POLLIN, 0}};
  if (zmq::poll(items, connections_ ? 2 : 1, wait) > 0 && (items[0].revents & ZMQ_POLLIN)) {
    std::vector<zmq::message_t> frames;
    for (int k = 0; k < kBatch; ++k) {
      frames.clear();
      if (!zmq::recv_multipart(router_, std::back_inserter(frames), zmq::recv_flags::dontwait))
        break;
      handle(frames);
    }
  }
  send_due();
}

void RequestLoop::note_bad_frame(const char* why) {
  // A misbehaving client must not flood the log: the first few, then every 1000th.
  if (++bad_frames_ <= 10 || bad_frames_ % 1000 == 0)
    log_ << "vantoserver: dropped a request: " << why << " (" << bad_frames_ << " so far)"
         << std::endl;
}

void RequestLoop::handle(std::vector<zmq::message_t>& frames) {
  // Identity, header, address, data.
  if (frames.size() < 2) return note_bad_frame("no header frame");
  const auto header = rpc::read_header<rpc::RequestHeader>(frames[1].data(), frames[1].size());
  if (!header) return note_bad_frame("malformed header frame");
  auto reply_with = [&](const Reply& reply) {
    auto out = frame_reply(frames[0], header->op, header->id, reply);
    send(out);
  };
  if (frames.size() != 1 + rpc::kRequestFrames) {
    note_bad_frame("wrong number of frames");
    return reply_with(Reply::failure(bad_frame, "a request has header, address and data frames"));
  }
  if (!known_op(header->op))
    return reply_with(Reply::failure(not_implemented, "unknown operation"));
  if (frames[2].size() > rpc::kMaxAddressLength)
    return reply_with(Reply::failure(bad_address, "address too long"));
  const std::string_view address = frames[2].to_string_view();
  const Op op = static_cast<Op>(header->op);

  FaultDecision fault;
  if (faultable(op)) fault = faults_.check(address);
  Reply reply = fault.code != 0
                    ? Reply::failure(fault.code, "injected fault on " + std::string(address))
                    : answer(header->op, address, frames[3], header->type, header->count);
  auto out = frame_reply(frames[0], header->op, header->id, reply);
  if (fault.delay_ms > 0) return hold(out, frames[1], fault.delay_ms);
  send(out);
}

void RequestLoop::hold(std::vector<zmq::message_t>& reply, zmq::message_t& request, int delay_ms) {
  size_t bytes = 0;
  for (const auto& frame : reply) bytes += frame.size();
  if (held_.size() >= kMaxHeld || held_bytes_ + bytes > kMaxHeldBytes) {
    if (++unheld_ == 1 || unheld_ % 1000 == 0)
      log_ << "vantoserver: too many answers held back, sent at once (" << unheld_ << " so far)"
           << std::endl;
    return send(reply);
  }
  // The monitor is read first, so that a new connection on a reused
  // descriptor is known as new.
  take_connection_events();
  const ConnectionId from = connections_ ? connections_->connection_of(request) : ConnectionId{};
  if (from.fd >= 0 && from.serial == 0) return;  // its client has left already
  Held held{std::chrono::steady_clock::now() + std::chrono::milliseconds(delay_ms),
            std::move(reply), from, bytes};
  const auto at = std::upper_bound(held_.begin(), held_.end(), held.due,
                                   [](auto due, const Held& h) { return due < h.due; });
  held_.insert(at, std::move(held));
  held_bytes_ += bytes;
}

void RequestLoop::take_connection_events() {
  if (connections_ == nullptr) return;
  for (const ConnectionId& gone : connections_->take_closed()) {
    std::erase_if(held_, [&](const Held& h) {
      if (!(h.from == gone)) return false;
      held_bytes_ -= h.bytes;
      return true;
    });
  }
  if (const long refused = connections_->refused(); refused > refused_logged_) {
    // The first, then at most one line per 1000 more.
    if (refused_logged_ == 0 || refused / 1000 > refused_logged_ / 1000)
      log_ << "vantoserver: no file descriptor free: connection refused (" << refused << " so far)"
           << std::endl;
    refused_logged_ = refused;
  }
}

Reply RequestLoop::answer(uint16_t op_code, std::string_view address, const zmq::message_t& data,
                          int type, uint32_t count) {
  EqData in;
  if (type != DATA_NULL &&
      Codec::decode_data(in, type, count, static_cast<const uint8_t*>(data.data()), data.size()) !=
          0)
    return Reply::failure(bad_frame, "malformed data part: " + in.error_text());
  const Op op = static_cast<Op>(op_code);
  if (op == Op::fault) {
    if (!allow_faults_)
      return Reply::failure(not_implemented,
                            "fault injection is off (the server runs without --allow-faults)");
    if (in.type() != DATA_IIII) return Reply::failure(ill_parameter, "a fault command is IIII");
    const IIII c = in.data_block()->data_u.d_iiii;
    std::string why;
    if (!faults_.apply(static_cast<FaultMode>(c.i[0]), std::string(address), c.i[1], c.i[2], c.i[3],
                       why))
      return Reply::failure(ill_parameter, why);
    log_ << "vantoserver: fault " << c.i[0] << " on " << address << " (code " << c.i[1]
         << ", count " << c.i[2] << ", delay " << c.i[3] << " ms)" << std::endl;
    EqData ok;
    ok.set_int(0);
    return value_reply(ok);
  }
  try {
    return service_.handle(op, address, in);
  } catch (const std::exception& e) {
    // A request must never end the server.
    log_ << "vantoserver: request on " << address << " failed: " << e.what() << std::endl;
    return Reply::failure(ill_serv, std::string("server failure: ") + e.what());
  }
}

std::vector<zmq::message_t> RequestLoop::frame_reply(const zmq::message_t& identity, uint16_t op,
                                                     uint64_t id, const Reply& reply) const {
  rpc::ReplyHeader header;
  header.op = op;
  header.id = id;
  header.error = reply.error;
  header.sec = reply.sec;
  header.usec = reply.usec;
  header.event_id = reply.event_id;
  std::vector<zmq::message_t> frames;
  frames.emplace_back(identity.data(), identity.size());
  if (reply.error == 0 && reply.data) {
    header.type = reply.data->type;
    header.count = reply.data->count;
  }
  frames.emplace_back(&header, sizeof header);
  const std::string_view text = std::string_view(reply.text).substr(0, rpc::kMaxErrorTextLength);
  frames.emplace_back(text.data(), text.size());
  if (reply.error == 0 && reply.data)
    frames.push_back(data_frame(reply.data));
  else
    frames.emplace_back();
  return frames;
}

void RequestLoop::send(std::vector<zmq::message_t>& frames) {
  // A client that went away is no error: ROUTER drops what it cannot route.
  zmq::send_multipart(router_, frames, zmq::send_flags::dontwait);
}

void RequestLoop::send_due() {
  const auto now = std::chrono::steady_clock::now();
  while (!held_.empty() && held_.front().due <= now) {
    send(held_.front().frames);
    held_bytes_ -= held_.front().bytes;
    held_.pop_front();
  }
}

}  // namespace vantoserver
