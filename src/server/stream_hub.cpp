#include "stream_hub.h"

#include <unistd.h>

#include <iostream>

#include "ipc_path.h"
#include "socket_limits.h"
#include "vanto/codec.h"

namespace vantoserver {

namespace {

int port_of_endpoint(const std::string& endpoint) {
  const auto colon = endpoint.rfind(':');
  return colon == std::string::npos ? 0 : std::atoi(endpoint.c_str() + colon + 1);
}

}  // namespace

StreamHub::StreamHub(zmq::context_t& context, std::string bind_host)
    : context_(context), bind_host_(std::move(bind_host)) {}

StreamHub::~StreamHub() {
  std::lock_guard lock(mutex_);
  for (auto& [channel, stream] : streams_)
    if (!stream->ipc_path.empty()) ::unlink(stream->ipc_path.c_str());
}

int StreamHub::port_of(const Channel& channel) const {
  std::lock_guard lock(mutex_);
  const auto it = streams_.find(&channel);
  return it == streams_.end() ? 0 : it->second->port;
}

int StreamHub::start(Channel& channel, std::string& why) {
  std::lock_guard lock(mutex_);
  if (const auto it = streams_.find(&channel); it != streams_.end()) return it->second->port;
  try {
    zmq::socket_t socket(context_, zmq::socket_type::pub);
    socket.set(zmq::sockopt::linger, 0);
    socket.set(zmq::sockopt::maxmsgsize, kMaxSubscriptionBytes);
    socket.bind("tcp://" + bind_host_ + ":*");
    const int port = port_of_endpoint(socket.get(zmq::sockopt::last_endpoint));
    // Local readers connect to the IPC endpoint named after the port; the TCP
    // port is unique on this host, so the path is too.
    std::string ipc_path = "/tmp/" + std::to_string(port);
    std::string ipc_why;
    try {
      if (claim_ipc_path(ipc_path, ipc_why))
        socket.bind("ipc://" + ipc_path);
      else
        ipc_path.clear();
    } catch (const zmq::error_t& e) {
      ipc_why = e.what();
      ipc_path.clear();
    }
    if (ipc_path.empty())
      std::cerr << "vantoserver: stream " << channel.address() << ": no IPC endpoint /tmp/" << port
                << ": " << ipc_why << std::endl;
    std::cerr << "vantoserver: stream " << channel.address() << " on port " << port
              << ", data version " << channel.stream.version << std::endl;
    streams_.emplace(&channel,
                     std::make_unique<Stream>(Stream{&channel, std::move(socket), port, ipc_path}));
    return port;
  } catch (const zmq::error_t& e) {
    why = "cannot start stream of " + channel.address() + ": " + e.what();
    return 0;
  }
}

void StreamHub::publish(const Moment& now) {
  std::lock_guard lock(mutex_);
  vanto::EqData value;
  for (auto& [channel_ptr, stream] : streams_) {
    Channel& channel = *stream->channel;
    channel.read(value, now);
    vanto::StreamInfo info;
    info.name = channel.property().substr(0, 63);
    info.ident = now.event_id;
    info.sec = now.sec;
    info.usec = now.usec;
    const auto message =
        vanto::Codec::encode_message(value, info, channel.stream.version == 1 ? 1 : 2);
    stream->socket.send(zmq::buffer(message), zmq::send_flags::dontwait);
  }
}

}  // namespace vantoserver
