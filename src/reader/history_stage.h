// History channels in the array pass: interval reads, printing, export.
#pragma once

#include "reader_context.h"

namespace vantoget {

// Reads out and prints the history of entry (and exports it with -g 2).
StageResult history_readout(ReaderContext& ctx, ChannelEntry& entry, bool last_entry);

}  // namespace vantoget
