// vantoput's command line.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "parsed.h"

namespace vantoput {

// Value texts that options put in place of a -d value so that the check for a
// present value passes.
inline constexpr const char* kCopyPlaceholder = "read property";
inline constexpr const char* kArrayPlaceholder = "array_file";
inline constexpr const char* kXmlPlaceholder = "xml_file";

struct WriterOptions {
  std::optional<std::string> channel;       // -c
  std::optional<std::string> setvalue;      // -d, or a placeholder
  std::optional<std::string> xmlfile;       // -x
  std::optional<std::string> spectfile;     // -a, -s
  std::optional<std::string> filename;      // -f
  std::optional<std::string> chan_to_read;  // -A
  int datatype = -1;                        // -t; -1 detects the type
  bool set_spec_wo_header = false;          // -s
  bool verbose_flag = false;                // -V, -T
  bool test_flag = false;                   // -T
  bool copy_flag = false;                   // -C
  bool copy_adr = false;                    // -c
  bool delay_flag = false;                  // -D
  unsigned long delay = 0;                  // -D, milliseconds
};

// Parses args (args[0] is the program name) with getopt. -v writes the version
// lines to out at once; usage and option errors go to err. Ends at once with
// the usage text and status 255 after -h, -H, -b, an unknown option or a
// missing argument.
vantocli::Parsed<WriterOptions> parse_options(const std::vector<std::string>& args,
                                              std::ostream& out, std::ostream& err);

}  // namespace vantoput
