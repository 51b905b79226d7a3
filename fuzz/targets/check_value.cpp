// The writer's zero check: any NUL-terminated text of either kind.
#include "check_value.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantofuzz::FuzzInput input(data, size);
  const int kind = input.take<uint8_t>() % 2 ? vantoput::kCheckFloat : vantoput::kCheckInteger;
  const std::string text = input.rest_text();  // NULs inside end the text early, as in C
  (void)vantoput::check_value(text.c_str(), kind);
  return 0;
}
