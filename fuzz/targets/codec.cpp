// The value codec: a data part or a whole stream message decodes or is
// refused; what decodes can be shown as text, and encodes to bytes that
// decode to the same value again.
#include <cstdlib>

#include <vanto/codec.h>
#include <vanto/eqdata.h>

#include "fuzz_input.h"
#include "type_ids.h"

namespace {

void show(const vanto::EqData& value) {
  char buf[80];
  value.get_string(buf, sizeof buf);
  value.get_string_arg(buf, sizeof buf);
  const int shown = value.length() < 8 ? value.length() : 8;
  for (int i = 0; i < shown; ++i) value.get_string(i, buf, sizeof buf);
  (void)value.get_string();
}

void check_round_trip(const vanto::EqData& value) {
  uint32_t count = 0;
  const auto bytes = vanto::Codec::encode_data(value, &count);
  vanto::EqData again;
  if (vanto::Codec::decode_data(again, value.type(), count, bytes.data(), bytes.size()) != 0)
    std::abort();
  uint32_t count_again = 0;
  if (vanto::Codec::encode_data(again, &count_again) != bytes || count_again != count) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantofuzz::FuzzInput input(data, size);
  const auto mode = input.take<uint8_t>();
  vanto::EqData out;
  if (mode % 2 == 0) {
    // Taken one after the other: the order in which arguments are evaluated is
    // the compiler's (g++ takes the last first), and the seeds put the selector first.
    const auto selector = input.take<uint8_t>();
    const int type = vantofuzz::pick_type(selector, input.take<int32_t>());
    const auto count = input.take<uint32_t>();
    const auto part = input.rest();
    if (vanto::Codec::decode_data(out, type, count, part.data(), part.size()) != 0) return 0;
  } else {
    const auto message = input.rest();
    vanto::StreamInfo info;
    if (vanto::Codec::decode_message(message.data(), message.size(), out, info) != 0) return 0;
  }
  show(out);
  if (out.error() == 0) check_round_trip(out);
  return 0;
}
