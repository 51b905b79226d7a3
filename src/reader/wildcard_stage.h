// Names with '*': the device-name pass before the run loop and the expansion
// of a name in each iteration.
#pragma once

#include <string>

#include "reader_context.h"

namespace vantoget {

// Before the run loop, for a single name with a '*' that passed the address
// checks: fetches the device names of a device pattern into ctx.devs.
StageResult device_name_prepass(ReaderContext& ctx, const std::string& name);

// In each iteration: expands the name at index of the channel list, reads
// every name it stands for and sorts the results into the tables.
StageResult expand_wildcard_name(ReaderContext& ctx, std::size_t index);

}  // namespace vantoget
