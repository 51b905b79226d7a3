#include "load_session.h"

#include <cstdio>
#include <optional>
#include <vector>

#include <zmq.hpp>
#include <zmq_addon.hpp>

#include "rpc_protocol.h"
#include "vanto/codec.h"
#include "vanto/eqdata.h"

namespace vantoload {

namespace {

using vanto::rpc::Op;
using Clock = std::chrono::steady_clock;

// Only the first few faults are described; the figures count them all.
constexpr int kFaultsShown = 5;
// After the last reply, stray replies (a duplicate sent late) are waited for
// this long before the session ends.
constexpr std::chrono::milliseconds kStrayReplyWait{200};

enum class Kind { integer, real, text };

struct Channel {
  Kind kind;
  std::string address;
};

std::vector<Channel> channels_of(int client) {
  const std::string base = "TEST.LOAD/CLIENT/C" + std::to_string(client) + "/";
  return {
      {Kind::integer, base + "INT"}, {Kind::real, base + "DOUBLE"}, {Kind::text, base + "STRING"}};
}

// The value a set with sequence number seq writes into a channel of kind.
vanto::EqData value_of(Kind kind, int client, long seq) {
  vanto::EqData value;
  switch (kind) {
    case Kind::integer: value.set_int(static_cast<int>(seq)); break;
    case Kind::real:
      value.set_double(static_cast<double>(seq) + 0.25);  // exact in binary
      break;
    case Kind::text:
      value.set_string("client " + std::to_string(client) + " value " + std::to_string(seq));
      break;
  }
  return value;
}

bool same_value(Kind kind, const vanto::EqData& got, const vanto::EqData& want) {
  switch (kind) {
    case Kind::integer: return got.type() == vanto::DATA_INT && got.get_int() == want.get_int();
    case Kind::real:
      return got.type() == vanto::DATA_DOUBLE && got.get_double() == want.get_double();
    case Kind::text:
      return got.type() == vanto::DATA_STRING && got.get_string() == want.get_string();
  }
  return false;
}

// One request of the session, indexed by its id - 1.
struct Request {
  Op op = Op::get;
  int channel = 0;
  // A set: the sequence number it writes. A get: the sequence number of the
  // set it must read (the last set sent before it on the same connection:
  // the server answers one connection's requests in order).
  long seq = 0;
  bool answered = false;
};

// A small deterministic generator, so that a run can be repeated exactly.
class Mix {
 public:
  explicit Mix(int client) : state_(0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(client)) {}
  bool next_is_set() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return (state_ & 1) != 0;
  }

 private:
  uint64_t state_;
};

class Session {
 public:
  Session(const LoadOptions& options, std::ostream& err)
      : options_(options),
        err_(err),
        channels_(channels_of(options.client)),
        last_set_(channels_.size(), -1),
        last_acknowledged_(channels_.size(), -1),
        socket_(context_, zmq::socket_type::dealer) {
    socket_.set(zmq::sockopt::linger, 0);
    // A server that is gone must not block a send for ever.
    socket_.set(zmq::sockopt::sndtimeo, static_cast<int>(options.silence.count()));
    socket_.connect("tcp://" + options.server);
  }

  LoadFigures run() {
    const auto start = Clock::now();
    Mix mix(options_.client);
    const int count = static_cast<int>(channels_.size());
    for (long i = 0; i < options_.requests; ++i) {
      // Every channel is written first, so that every read has a value to expect.
      const bool set = i < count || mix.next_is_set();
      plan(set ? Op::set : Op::get, static_cast<int>(i % count));
    }
    bool flowing = exchange();
    // Read back every channel once all replies are in: each must hold the
    // last value whose set was acknowledged.
    if (flowing) {
      for (int c = 0; c < count; ++c) plan_read_back(c);
      flowing = exchange();
    }
    if (flowing) collect_stray_replies();
    figures_.missing = figures_.sent - figures_.replies;
    figures_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return figures_;
  }

 private:
  void plan(Op op, int channel) {
    Request request;
    request.op = op;
    request.channel = channel;
    if (op == Op::set) {
      request.seq = static_cast<long>(requests_.size());
      last_set_[channel] = request.seq;
    } else {
      request.seq = last_set_[channel];
    }
    requests_.push_back(request);
  }

  void plan_read_back(int channel) {
    plan(Op::get, channel);
    requests_.back().seq = last_acknowledged_[channel];
  }

  // Sends the planned requests with at most window of them in flight and
  // takes their replies; false when the server fell silent.
  bool exchange() {
    while (next_ < requests_.size() || in_flight_ > 0) {
      while (in_flight_ < options_.window && next_ < requests_.size()) {
        if (!send(next_)) {
          fault("request " + std::to_string(next_ + 1) + " could not be sent");
          return false;
        }
        ++next_;
        ++in_flight_;
      }
      if (!take_replies(options_.silence)) {
        fault("no reply within " + std::to_string(options_.silence.count()) + " ms, " +
              std::to_string(in_flight_) + " requests in flight");
        return false;
      }
    }
    return true;
  }

  void collect_stray_replies() {
    while (take_replies(kStrayReplyWait)) {
    }
  }

  bool send(size_t index) {
    const Request& request = requests_[index];
    const Channel& channel = channels_[static_cast<size_t>(request.channel)];
    vanto::rpc::RequestHeader header;
    header.op = static_cast<uint16_t>(request.op);
    header.id = index + 1;
    std::vector<uint8_t> data;
    if (request.op == Op::set) {
      const vanto::EqData value = value_of(channel.kind, options_.client, request.seq);
      header.type = value.type();
      data = vanto::Codec::encode_data(value, &header.count);
    }
    if (!socket_.send(zmq::buffer(&header, sizeof header), zmq::send_flags::sndmore)) return false;
    socket_.send(zmq::buffer(channel.address), zmq::send_flags::sndmore);
    socket_.send(zmq::buffer(data), zmq::send_flags::none);
    ++figures_.sent;
    return true;
  }

  // Waits up to wait for replies and takes every one that is there; false
  // when none came.
  bool take_replies(std::chrono::milliseconds wait) {
    zmq::pollitem_t item{socket_.handle(), 0, ZMQ_POLLIN, 0};
    if (zmq::poll(&item, 1, wait) == 0) return false;
    std::vector<zmq::message_t> frames;
    for (;;) {
      frames.clear();
      if (!zmq::recv_multipart(socket_, std::back_inserter(frames), zmq::recv_flags::dontwait))
        return true;
      take_reply(frames);
    }
  }

  void take_reply(const std::vector<zmq::message_t>& frames) {
    const auto header =
        frames.size() == vanto::rpc::kReplyFrames
            ? vanto::rpc::read_header<vanto::rpc::ReplyHeader>(frames[0].data(), frames[0].size())
            : std::nullopt;
    if (!header || header->id == 0 || header->id > next_) {
      ++figures_.unexpected;
      fault("a reply that answers no request sent");
      return;
    }
    Request& request = requests_[header->id - 1];
    if (request.answered) {
      ++figures_.duplicated;
      fault("a second reply to request " + std::to_string(header->id));
      return;
    }
    request.answered = true;
    ++figures_.replies;
    --in_flight_;
    if (header->op != static_cast<uint16_t>(request.op)) {
      ++figures_.unexpected;
      fault("the reply to request " + std::to_string(header->id) + " names another operation");
      return;
    }
    const Channel& channel = channels_[static_cast<size_t>(request.channel)];
    if (header->error != 0) {
      ++figures_.errors;
      fault(channel.address + ": error " + std::to_string(header->error) + " " +
            frames[1].to_string());
      return;
    }
    if (request.op == Op::set) {
      ++figures_.sets;
      long& acknowledged = last_acknowledged_[static_cast<size_t>(request.channel)];
      if (request.seq > acknowledged) acknowledged = request.seq;
      return;
    }
    check_read(request, channel, *header, frames[2]);
  }

  void check_read(const Request& request, const Channel& channel,
                  const vanto::rpc::ReplyHeader& header, const zmq::message_t& data) {
    ++figures_.reads;
    vanto::EqData got;
    const bool decoded =
        header.type != vanto::DATA_NULL &&
        vanto::Codec::decode_data(got, header.type, header.count,
                                  static_cast<const uint8_t*>(data.data()), data.size()) == 0;
    const vanto::EqData want = value_of(channel.kind, options_.client, request.seq);
    if (!decoded || request.seq < 0 || !same_value(channel.kind, got, want)) {
      ++figures_.mismatched;
      fault(channel.address + ": read \"" + got.get_string() + "\", last written \"" +
            want.get_string() + "\"");
    }
  }

  void fault(const std::string& what) {
    if (++faults_shown_ <= kFaultsShown)
      err_ << "load client " << options_.client << ": " << what << "\n";
  }

  const LoadOptions& options_;
  std::ostream& err_;
  zmq::context_t context_{1};  // before the socket, which it must outlive
  std::vector<Channel> channels_;
  std::vector<long> last_set_;           // per channel, seq of the last set planned
  std::vector<long> last_acknowledged_;  // per channel, seq of the last set acknowledged
  std::vector<Request> requests_;
  size_t next_ = 0;  // index of the next request to send
  int in_flight_ = 0;
  int faults_shown_ = 0;
  LoadFigures figures_;
  zmq::socket_t socket_;
};

}  // namespace

LoadFigures run_load(const LoadOptions& options, std::ostream& err) {
  Session session(options, err);
  return session.run();
}

std::string figures_line(int client, const LoadFigures& f) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", f.seconds);
  return "client " + std::to_string(client) + ": sent " + std::to_string(f.sent) + ", replies " +
         std::to_string(f.replies) + ", missing " + std::to_string(f.missing) + ", duplicated " +
         std::to_string(f.duplicated) + ", unexpected " + std::to_string(f.unexpected) +
         ", errors " + std::to_string(f.errors) + ", mismatched " + std::to_string(f.mismatched) +
         ", sets " + std::to_string(f.sets) + ", reads " + std::to_string(f.reads) + ", seconds " +
         seconds;
}

}  // namespace vantoload
