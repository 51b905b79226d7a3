// vantoget's save & restore mode: one pass over a save & restore file.
#pragma once
#include <iosfwd>
#include <optional>
#include <string>
namespace vantosr {
struct SrModeOptions {
  std::string filename;    // -f (at most 199 characters)
  bool line_flag = false;  // -n
  long line_number = 0;
  bool list_flag = false;       // -L
  bool reference_flag = false;  // -r
  bool atoref_flag = false;     // -b
  std::string filename1;        // -b new_file (at most 199 characters)
  bool delay_flag = false;      // -D
  long delay = 0;               // milliseconds
  bool header_flag = false;     // -H
  bool date_flag = false;       // -d
  int form = 1;
  long width = 80;        // -w (already validated >= 1 by the reader)
  bool tab_flag = false;  // -T
};
// One pass of the reader's save & restore mode. first_pass: the run loop's
// first iteration (header line only then). Returns std::nullopt when the run
// loop goes on, or the exit status the process must end with.
std::optional<int> sr_mode_pass(const SrModeOptions& options, bool first_pass, std::ostream& out,
                                std::ostream& err);
}  // namespace vantosr
