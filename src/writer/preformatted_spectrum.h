// The write of a pre-formatted spectrum file (-s).
#pragma once

#include <optional>
#include <string>

#include "session.h"

namespace vantoput {

// Parses value as a pre-formatted spectrum text and writes it into chan, then
// prints the value read back. typ -1 detects the channel's type. Returns 0 on
// success, 1 on a failure with a message, -1 when chan is no spectrum channel
// or the text is empty (the program then ends with status 255).
int write_spec_to_dev(WriterSession& s, const std::string& chan, int typ, const std::string& value,
                      const std::optional<std::string>& mrg);

}  // namespace vantoput
