// Restoring the values of a save & restore file (-f).
#pragma once

#include <optional>
#include <string>

#include "session.h"

namespace vantoput {

struct RestoreRequest {
  std::string filename;                      // -f
  bool copy_flag = false;                    // -C: write into merged addresses
  std::optional<std::string> merge_address;  // -c, used only with -C
  bool delay_flag = false;                   // -D
  unsigned long delay = 0;                   // -D, milliseconds
};

// Writes every entry of the file; returns the exit status.
int restore_from_file(WriterSession& s, const RestoreRequest& r);

}  // namespace vantoput
