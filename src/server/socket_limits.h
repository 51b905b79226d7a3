// Largest messages the server's sockets take; a larger one makes ZeroMQ drop
// the connection before the message is stored.
#pragma once

#include <cstdint>

#include "rpc_protocol.h"

namespace vantoserver {

// The largest request a program sends is a write of a 16 MiB XML text or of a
// spectrum read from an 8 MiB file (at most 4 Mi float values, 16 MiB); the
// rest is headroom for the frames' headers.
inline constexpr int64_t kMaxRequestBytes = 20 << 20;

// Publishers take nothing but (un)subscriptions: one byte, a topic (an
// address, or empty for a whole stream) and the topic's NUL.
inline constexpr int64_t kMaxSubscriptionBytes = vanto::rpc::kMaxAddressLength + 2;

}  // namespace vantoserver
