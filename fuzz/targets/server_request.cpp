// vantoserver's request decoding: the frames of one request go through the
// server's own request loop (header, operation, address, data part, fault
// control, service) over an in-process socket; every answer must be a
// well-formed reply whose data part decodes.
#include <cstdlib>
#include <memory>
#include <sstream>

#include <zmq.hpp>
#include <zmq_addon.hpp>

#include "config.h"
#include "event_state.h"
#include "fuzz_input.h"
#include "request_loop.h"
#include "rpc_protocol.h"
#include "service.h"
#include "stream_hub.h"
#include "type_ids.h"
#include "vanto/codec.h"

namespace {

struct Server {
  zmq::context_t context{1};
  vantoserver::Config config = vantoserver::load_config(VANTO_EXAMPLES_DIR "/demo.toml");
  vantoserver::EventState events;
  vantoserver::StreamHub streams{context, "127.0.0.1"};
  vantoserver::Service service{*config.registry, events, streams, "localhost", 0};
  zmq::socket_t router{context, zmq::socket_type::router};
  zmq::socket_t client{context, zmq::socket_type::dealer};
  std::ostringstream log;

  Server() {
    router.set(zmq::sockopt::linger, 0);
    client.set(zmq::sockopt::linger, 0);
    router.bind("inproc://fuzz");
    client.connect("inproc://fuzz");
  }
};

Server& server() {
  static Server instance;
  return instance;
}

// The request's frames. A flag bit lets the fuzzer keep a valid header
// (magic, a known type) while it varies everything else.
std::vector<zmq::message_t> request_frames(vantofuzz::FuzzInput& input) {
  const auto shape = input.take<uint8_t>();
  const int frames = shape % 4 + 1;
  std::vector<std::vector<uint8_t>> bytes;
  for (int i = 1; i < frames; ++i) bytes.push_back(input.take_bytes(input.take<uint16_t>()));
  bytes.push_back(input.rest());
  if ((shape & 0x10) && bytes[0].size() == sizeof(vanto::rpc::RequestHeader)) {
    vanto::rpc::RequestHeader header;
    std::memcpy(&header, bytes[0].data(), sizeof header);
    header.magic = vanto::rpc::kMagic;
    header.type = vantofuzz::pick_type(static_cast<uint8_t>(header.type), header.type);
    std::memcpy(bytes[0].data(), &header, sizeof header);
  }
  std::vector<zmq::message_t> messages;
  for (const auto& b : bytes) messages.emplace_back(b.data(), b.size());
  return messages;
}

void check_reply(const std::vector<zmq::message_t>& frames) {
  if (frames.size() != vanto::rpc::kReplyFrames) std::abort();
  const auto header =
      vanto::rpc::read_header<vanto::rpc::ReplyHeader>(frames[0].data(), frames[0].size());
  if (!header) std::abort();
  if (header->error != 0 || header->type == 0) return;
  vanto::EqData value;
  if (vanto::Codec::decode_data(value, header->type, header->count,
                                static_cast<const uint8_t*>(frames[2].data()),
                                frames[2].size()) != 0)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Server& s = server();
  vantofuzz::FuzzInput input(data, size);
  auto frames = request_frames(input);
  // A request with a well-formed header is always answered, exactly once.
  const bool answerable = frames.size() >= 1 && vanto::rpc::read_header<vanto::rpc::RequestHeader>(
                                                    frames[0].data(), frames[0].size());
  if (!zmq::send_multipart(s.client, frames, zmq::send_flags::dontwait)) return 0;
  // A loop of its own per input: fault settings of one input never reach the next.
  vantoserver::RequestLoop loop(s.router, s.service, s.log, /*allow_faults=*/true);
  loop.serve_once(std::chrono::milliseconds(100));
  std::vector<zmq::message_t> reply;
  int replies = 0;
  while (zmq::recv_multipart(s.client, std::back_inserter(reply), zmq::recv_flags::dontwait)) {
    check_reply(reply);
    reply.clear();
    ++replies;
  }
  if (replies != (answerable ? 1 : 0)) std::abort();
  s.log.str("");
  return 0;
}
