// A stream publisher for bench/run: sends one pre-encoded stream message
// (header layout 1, a new event id each time) as fast as the socket takes it,
// so that the receiving side, not the server's event clock, bounds what a
// streamcat run measures.
//
//   stream_source image|small
//
// Binds tcp://127.0.0.1:* and ipc:///tmp/<port> (where local readers look),
// prints the port and the message size, starts sending at the first subscription and, on SIGINT or
// SIGTERM, prints "sent <messages> <seconds>" and exits.
#include <unistd.h>
#include <vanto/codec.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <zmq.hpp>

namespace {

std::atomic<bool> stop_requested{false};

void on_signal(int) { stop_requested = true; }

// Runs a ZeroMQ call; a call interrupted by a signal counts as one that did
// nothing (false or 0).
template <typename Call>
auto interruptible(Call call) -> decltype(call()) {
  try {
    return call();
  } catch (const zmq::error_t& e) {
    if (e.num() != EINTR) throw;
    return {};
  }
}

constexpr size_t kIdentOffset = 16;  // event id in header layout 1

std::vector<uint8_t> message_of(const std::string& kind) {
  vanto::EqData value;
  if (kind == "image") {
    constexpr int kSide = 1024;  // 1 MiB of 8-bit pixels
    std::vector<uint8_t> pixels(static_cast<size_t>(kSide) * kSide);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i);
    vanto::IMH header{};
    header.width = header.aoi_width = kSide;
    header.height = header.aoi_height = kSide;
    header.bpp = 1;
    header.ebitpp = 8;
    header.length = static_cast<int32_t>(pixels.size());
    value.set_image(header, 0, 0, 0, "bench image", pixels.data(), static_cast<int>(pixels.size()));
  } else {
    value.set_int(7);
  }
  vanto::StreamInfo info;
  info.sec = 1;
  return vanto::Codec::encode_message(value, info, 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || (std::strcmp(argv[1], "image") != 0 && std::strcmp(argv[1], "small") != 0)) {
    std::fprintf(stderr, "usage: stream_source image|small\n");
    return 2;
  }
  std::vector<uint8_t> message = message_of(argv[1]);
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);

  zmq::context_t context(1);
  zmq::socket_t socket(context, zmq::socket_type::xpub);
  socket.set(zmq::sockopt::linger, 0);
  socket.bind("tcp://127.0.0.1:*");
  const std::string endpoint = socket.get(zmq::sockopt::last_endpoint);
  const std::string port = endpoint.substr(endpoint.rfind(':') + 1);
  const std::string ipc_path = "/tmp/" + port;
  socket.bind("ipc://" + ipc_path);
  std::printf("%s %zu\n", port.c_str(), message.size());
  std::fflush(stdout);

  // Wait (with a way out) for the first subscriber. The stop signal may
  // interrupt a ZeroMQ call (EINTR); the loops then look at the flag again.
  zmq::pollitem_t item{socket.handle(), 0, ZMQ_POLLIN, 0};
  while (!stop_requested &&
         interruptible([&] { return zmq::poll(&item, 1, std::chrono::milliseconds(100)); }) == 0) {
  }
  const auto start = std::chrono::steady_clock::now();
  int64_t sent = 0;
  while (!stop_requested) {
    const int64_t ident = sent + 1;
    std::memcpy(message.data() + kIdentOffset, &ident, sizeof ident);
    // Blocks only when the subscriber's queue is full: a PUB never does.
    if (interruptible([&] {
          return socket.send(zmq::buffer(message), zmq::send_flags::dontwait).has_value();
        }))
      ++sent;
    zmq::message_t subscription;
    while (interruptible(
        [&] { return socket.recv(subscription, zmq::recv_flags::dontwait).has_value(); })) {
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("sent %lld %.6f\n", static_cast<long long>(sent), seconds);
  ::unlink(ipc_path.c_str());
  return 0;
}
