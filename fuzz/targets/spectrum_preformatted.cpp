// The writer's pre-formatted spectrum file (-s).
#include <cstdlib>
#include <sstream>

#include "spectrum_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::ostringstream err;
  const auto parsed = vantoput::parse_preformatted_spectrum(
      std::string_view(reinterpret_cast<const char*>(data), size), err);
  if (parsed.status == 0 && static_cast<long>(parsed.value.values.size()) != parsed.value.length)
    std::abort();
  return 0;
}
