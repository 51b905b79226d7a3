// streamcat's message decoder: the parts of a received message are joined by
// store_msg and decoded in place by store_data; whatever decodes is printed
// at every level, as the output thread would.
#include <sys/time.h>

#include <cstring>
#include <memory>
#include <ostream>

#include "console.h"
#include "fuzz_input.h"
#include "output.h"
#include "stream_message.h"
#include "zmq_binding.h"

namespace {

// Output is formatted in full and then dropped.
std::ostream& discard() {
  static std::ostream sink(nullptr);
  return sink;
}

streamcat::MessagePart make_part(const std::vector<uint8_t>& bytes) {
  streamcat::MessagePart part(new zmq_msg_t);
  streamcat::lib_zmq_msg_init_size(part.get(), bytes.size());
  if (!bytes.empty())
    std::memcpy(streamcat::lib_zmq_msg_data(part.get()), bytes.data(), bytes.size());
  return part;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  streamcat::set_console(discard(), discard());
  return streamcat::dmsg_open() == 0 ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (streamcat::dmsg_func.empty()) return 0;
  vantofuzz::FuzzInput input(data, size);
  // Up to three parts: the first two lengths come first, the last part takes the rest.
  const int count = input.take<uint8_t>() % 3 + 1;
  streamcat::MessageParts parts;
  for (int i = 1; i < count; ++i)
    parts.push_back(make_part(input.take_bytes(input.take<uint16_t>())));
  parts.push_back(make_part(input.rest()));

  streamcat::chan channel;
  vanto::EqDataBlock block{};
  auto container = std::make_unique<vanto::EqData>(&block, true);
  streamcat::dmsg_info info;
  if (streamcat::store_msg(&channel, parts, container.get(), &info) < 0) return 0;
  const timeval arrival{1, 2};
  for (int level = 0; level <= 5; ++level)
    streamcat::print_data(channel.name, container.get(), &info, &arrival, level);
  return 0;
}
