// The address parser: any text parses or is refused with a reason, and what
// parses renders to a text that parses back to the same fields.
#include <cstdlib>

#include <vanto/eqadr.h>

#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantofuzz::FuzzInput input(data, size);
  const auto split = input.take<uint8_t>();
  const std::string text = input.take_text(split);
  const std::string partial = input.rest_text();

  vanto::EqAdr adr;
  if (adr.adr(text) != 0) {
    if (adr.error_text().empty()) std::abort();
    return 0;
  }
  const std::string shown = adr.show_adr();
  vanto::EqAdr again;
  if (again.adr(shown) == 0 &&
      (again.facility() != adr.facility() || again.device() != adr.device() ||
       again.location() != adr.location() || again.property() != adr.property()))
    std::abort();
  adr.merge(partial);
  (void)adr.show_adr();
  return 0;
}
