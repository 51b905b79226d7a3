// Frames of the request/reply protocol between libvanto and vantoserver
// (described in docs/rpc.md). Shared by the library, the server and the test
// harness; not part of the public interface.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace vanto::rpc {

inline constexpr uint32_t kMagic = 0x31505256;  // "VRP1" on the wire (little-endian)

// Operations of a request.
enum class Op : uint16_t {
  get = 1,        // read a channel; data part: request argument (or empty)
  set = 2,        // write the data part into a channel
  names = 3,      // list devices, locations or properties below the first '*'
  resolve = 4,    // name service: which server serves "F/D"
  hostname = 5,   // the serving host's name (STRING)
  subscribe = 6,  // subscription endpoint and topic of a channel (USTR)
  fault = 7,      // fault injection control (IIII: mode, code, count, delay ms)
};

// Modes of Op::fault.
enum class FaultMode : int32_t {
  clear = 0,
  fail_next = 1,
  fail_always = 2,
  delay = 3,
  fail_after = 4,  // count calls are answered, every later one fails
};

// First frame of a request. Followed by the address frame (text, no NUL) and
// the data frame (data part of type/count, may be empty).
struct RequestHeader {
  uint32_t magic = kMagic;
  uint16_t op = 0;
  uint16_t flags = 0;
  uint64_t id = 0;
  int32_t type = 0;
  uint32_t count = 0;
};
static_assert(sizeof(RequestHeader) == 24);

// First frame of a reply. Followed by the error text frame and the data frame.
struct ReplyHeader {
  uint32_t magic = kMagic;
  uint16_t op = 0;
  uint16_t flags = 0;
  uint64_t id = 0;
  int32_t error = 0;
  int32_t type = 0;
  uint32_t count = 0;
  uint32_t usec = 0;
  int64_t sec = 0;
  int64_t event_id = 0;
};
static_assert(sizeof(ReplyHeader) == 48);

inline constexpr size_t kRequestFrames = 3;
inline constexpr size_t kReplyFrames = 3;
inline constexpr size_t kMaxAddressLength = 1024;
inline constexpr size_t kMaxErrorTextLength = 1024;

// Reads a header of type T from a frame; empty when the size or magic is wrong.
template <typename T>
std::optional<T> read_header(const void* bytes, size_t size) {
  if (size != sizeof(T)) return std::nullopt;
  T header;
  std::memcpy(&header, bytes, sizeof(T));
  if (header.magic != kMagic) return std::nullopt;
  return header;
}

// Topic of a channel on the subscription publisher: the address and a NUL,
// so that one address is never a prefix of another.
inline std::string subscription_topic(std::string_view address) {
  std::string topic(address);
  topic.push_back('\0');
  return topic;
}

}  // namespace vanto::rpc
