// Restoring the values of a save & restore file (-f).
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "session.h"

namespace vantoput {

// The pause after each successful write of a restore with -D.
using RestorePause = std::function<void(std::chrono::microseconds)>;

struct RestoreRequest {
  std::string filename;                      // -f
  bool copy_flag = false;                    // -C: write into merged addresses
  std::optional<std::string> merge_address;  // -c, used only with -C
  bool delay_flag = false;                   // -D
  unsigned long delay = 0;                   // -D, milliseconds
  RestorePause pause;                        // empty: sleep the thread
};

// The pause a -D value asks for: 0 gives 1 ms, 1 to 999 that many
// milliseconds, anything larger (a negative argument included) 999,999 us.
std::chrono::microseconds restore_delay(unsigned long delay_ms);

// Reads the whole file, then writes every entry with its stored type, merged
// with the -c text (or else the file's merge address) under -C. Returns 0 when
// every entry was written (or the file holds none), 1 after any failure.
int restore_from_file(WriterSession& s, const RestoreRequest& r);

}  // namespace vantoput
