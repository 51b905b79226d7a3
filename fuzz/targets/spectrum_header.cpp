// The writer's spectrum file with a header line (-a).
#include <cstdlib>
#include <sstream>

#include "spectrum_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::ostringstream err;
  const auto parsed = vantoput::parse_header_spectrum(
      std::string_view(reinterpret_cast<const char*>(data), size), err);
  // A spectrum declared complete is sent as it is: its count must be its length.
  if (parsed.status == 0 && static_cast<long>(parsed.value.values.size()) != parsed.value.length)
    std::abort();
  return 0;
}
