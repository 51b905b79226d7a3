// The text forms: any text is read as a value of any type or refused; the
// buffer forms stay inside their 80 bytes; a value read from text gives a
// one-line form (when it has one) that reads back to the same value.
#include <cstdlib>

#include <vanto/codec.h>
#include <vanto/eqdata.h>

#include "fuzz_input.h"
#include "type_ids.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantofuzz::FuzzInput input(data, size);
  // Taken one after the other: the order in which arguments are evaluated is
  // the compiler's (g++ takes the last first), and the seeds put the selector first.
  const auto selector = input.take<uint8_t>();
  const int type = vantofuzz::pick_type(selector, input.take<int32_t>());
  const std::string text = input.rest_text();
  vanto::EqData value;
  value.set_type(type);
  const int rc = value.set_from_string(text);
  char buf[80];
  value.get_string(buf, sizeof buf);
  value.get_string_arg(buf, sizeof buf);
  for (int i = 0; i < 4; ++i) value.get_string(i, buf, sizeof buf);
  const std::optional<std::string> line = value.get_string_line();
  if (rc != 0 || !line) return 0;
  if (line->find_first_of("\n\r") != std::string::npos) std::abort();
  vanto::EqData again;
  again.set_type(type);
  if (again.set_from_string(*line) != 0) std::abort();
  uint32_t count = 0, count_again = 0;
  if (vanto::Codec::encode_data(value, &count) != vanto::Codec::encode_data(again, &count_again) ||
      count != count_again)
    std::abort();
  return 0;
}
