// Names with '*': the device-name pass before the run loop and the expansion
// of a name in each iteration.
#pragma once

#include <string>

#include "reader_context.h"

namespace vantoget {

// Before the run loop, for a single name with a '*' that passed the address
// checks: fetches the device names of a device pattern into ctx.devs, keeping
// those that begin with the text before the first '*' and end with the text
// after it. A failed names call is reported, leaves ctx.devs empty and marks
// the run failed; an empty answer ends the process with status 1. A name of facility and device
// pattern only is a device listing: with -N the kept names are printed, one
// per line padded to the column width, and the process ends with status 0.
StageResult device_name_prepass(ReaderContext& ctx, const std::string& name);

// In each iteration: expands the name at index of the channel list, reads
// every name it stands for and sorts the results into the tables (and, with
// -E, the value texts into the name's table column). A device pattern takes
// the devices of ctx.devs; a location or property pattern takes every entry
// of the names answer (the text around its '*' is no filter). A failed names
// call is reported and the next device follows; names that cannot be read are
// skipped, but when not one of them could be read the name is reported. Both
// mark the run failed.
StageResult expand_wildcard_name(ReaderContext& ctx, std::size_t index);

}  // namespace vantoget
