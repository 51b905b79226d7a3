// The save & restore file reader: the token grammar read straight from the
// bytes, and the engine SR loading the same bytes as a file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sr_format.h"
#include "vantoutil.h"

namespace {

void read_tokens(const uint8_t* data, size_t size) {
  if (size == 0) return;
  std::FILE* fp = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (!fp) return;
  std::string marker;
  if (vantosr::read_token(fp, vantosr::kMaxMarkerToken, marker) == vantosr::TokenStatus::ok &&
      vantosr::is_marker(marker)) {
    vantosr::SrHeader header;
    if (vantosr::read_header(fp, header).kind == vantosr::ReadResult::ok) {
      vantosr::SrEntryFields entry;
      size_t entries = 0;
      while (vantosr::read_entry(fp, entry).kind == vantosr::ReadResult::ok) {
        if (entry.value.size() > vantosr::kMaxValue || entry.facility.size() > vantosr::kMaxField)
          std::abort();
        ++entries;
      }
    }
  }
  std::fclose(fp);
}

// The engine reads by file name: an anonymous in-memory file named through /proc.
void load_with_engine(const uint8_t* data, size_t size) {
  const int fd = memfd_create("sr_fuzz", 0);
  if (fd < 0) return;
  size_t written = 0;
  while (written < size) {
    const ssize_t n = write(fd, data + written, size - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  {
    SR sr(path.c_str(), 0);
    sr.fill_list();
    if (sr.get_list().size() > SR::kMaxEntries) std::abort();
    for (const sr_data* entry : sr.get_list())
      if (!entry->name_ || !entry->value_) std::abort();
  }
  close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  read_tokens(data, size);
  load_with_engine(data, size);
  return 0;
}
