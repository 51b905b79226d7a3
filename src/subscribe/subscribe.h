// vantozmq_subscribe: prints every update of one address until interrupted.
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>
#include <string_view>

#include <vanto/eqadr.h>
#include <vanto/eqdata.h>

#include "parsed.h"

namespace vantosub {

enum ReturnCode {
  success = 0,           // never returned: the program runs until it is killed
  unspecific_error = 1,  // any failure other than the two below
  usage_error = 2,       // wrong number of arguments
  invalid_address = 3,   // an empty address field, or no name-service entry (119)
};

// Checks the command line: exactly one argument, an address whose four
// fields are all non-empty. On failure writes the usage text or the
// "Invalid VANTO address" line to err and ends with usage_error or
// invalid_address.
vantocli::Parsed<vanto::EqAdr> parse_options(int argc, const char* const* argv, std::ostream& err);

// Appends the output line of an update received at local time `local_time`:
// "<local_time> DATA_<type name> <value text>\n".
void append_update_line(std::string& out, std::string_view local_time, const vanto::EqData& data);

// Subscribes to address and prints each update as one whole line on out,
// until stop becomes true (the program never sets it; Ctrl-C ends the
// process) or a line cannot be written to out. The lines are written and
// flushed as soon as they come; updates that come faster than one write
// apiece share a write. Returns the exit status of a failure
// (unspecific_error when out failed), or success after a stop.
ReturnCode run_subscription(const vanto::EqAdr& address, std::ostream& out, std::ostream& err,
                            const std::atomic<bool>& stop);

}  // namespace vantosub
