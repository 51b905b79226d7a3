// The writer's own reader of save & restore files.
#include <cstdlib>

#include "restore_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto file = vantoput::parse_restore_text(text);
  // The fixed sizes hold for whatever is accepted.
  if (file.entries.size() > vantoput::kRestoreEntriesMax) std::abort();
  for (const auto& entry : file.entries)
    if (entry.chn.empty() || entry.value.empty()) std::abort();
  return 0;
}
