// The reader's -i time texts, against a fixed "now" so a finding replays.
#include "history_time.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantofuzz::FuzzInput input(data, size);
  const bool start = input.take<uint8_t>() % 2;
  const std::string text = input.rest_text();
  const std::time_t now = 1'765'000'000;  // December 2025
  (void)vantoget::make_time(text, start, now);
  (void)vantoget::check_time(text, now);
  return 0;
}
