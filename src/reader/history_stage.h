// History channels in the array pass: interval reads, printing, export.
#pragma once

#include "ascii_export.h"
#include "reader_context.h"

namespace vantoget {

// Reads out and prints the history of entry; with -g 2 an A_TDS history is
// also written into export (null without -g 2). Returns false when the export
// failed.
bool history_readout(ReaderContext& ctx, ChannelEntry& entry, ExportFile* export_file);

}  // namespace vantoget
