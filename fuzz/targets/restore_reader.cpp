// The writer's own reader of save & restore files, from the text and, like
// vantoput, through the opening of a file by its name.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "restore_reader.h"

namespace {

void check(const vantoput::RestoreFile& file) {
  // The fixed sizes hold for whatever is accepted.
  if (file.entries.size() > vantoput::kRestoreEntriesMax) std::abort();
  for (const auto& entry : file.entries)
    if (entry.chn.empty() || entry.value.empty() || entry.value.find('\0') != std::string::npos)
      std::abort();
}

// An anonymous in-memory file, named through /proc as a user would name a file.
vantoput::RestoreFile read_as_file(const uint8_t* data, size_t size) {
  const int fd = memfd_create("restore_fuzz", 0);
  if (fd < 0) return {};
  size_t written = 0;
  while (written < size) {
    const ssize_t n = write(fd, data + written, size - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const auto file = vantoput::read_restore_file("/proc/self/fd/" + std::to_string(fd));
  close(fd);
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto from_text = vantoput::parse_restore_text(text);
  check(from_text);
  const auto from_file = read_as_file(data, size);
  check(from_file);
  // Both ways read the same file alike.
  if (from_file.status != from_text.status || from_file.entries.size() != from_text.entries.size())
    std::abort();
  return 0;
}
