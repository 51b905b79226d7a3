// The state one vantoget process works with: options, client objects, the
// tables of the current iteration and the output streams. Every stage of the
// run loop gets this record.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <vanto/eqadr.h>
#include <vanto/eqcall.h>
#include <vanto/eqdata.h>

#include "channel_table.h"
#include "history_memory.h"
#include "options.h"
#include "table_columns.h"

namespace vantoget {

// What a stage tells the run loop: std::nullopt goes on, a value is the exit
// status the process ends with.
using StageResult = std::optional<int>;

struct ReaderContext {
  ReaderContext(const ReaderOptions& opts, std::ostream& out_stream, std::ostream& err_stream)
      : options(opts), out(out_stream), err(err_stream) {}

  const ReaderOptions& options;
  std::ostream& out;
  std::ostream& err;

  // Client objects kept for the whole process.
  vanto::EqAdr address;
  vanto::EqData data;  // input of every read; empty unless a crop is asked for
  vanto::EqData src;   // always empty; the input of the retry option call
  vanto::EqData dst;   // result of reads and name lists
  vanto::EqCall call;

  // Device names of a single name's device wildcard, filled before the loop.
  std::vector<std::string> devs;

  // Tables of the current iteration.
  ChannelTable spect;     // spectra, arrays, histories
  ChannelTable nonspect;  // everything printed in one cell

  // Columns of -E and whether a table file failed (table_stage).
  TableState table;

  // The -i interval and the export file name, kept across passes.
  HistoryMemory history;
  // The replies of the histories the --svg plot of this pass drew, by entry:
  // the array pass prints these same points instead of reading the history
  // again, so plot and printed lines never differ by a point that arrived in
  // between.
  std::map<const ChannelEntry*, std::vector<std::unique_ptr<vanto::EqData>>> plotted_histories;

  // The first iteration prints the header line, the -t lines and the -a hint.
  bool first_iteration = false;

  // The reads of the names the current wildcard name stands for: when every
  // one of them failed, the name is reported and the run fails.
  struct WildcardReads {
    std::size_t tried = 0;
    std::size_t failed = 0;
    int last_code = 0;  // error code of the last failed read
  } wildcard_reads;

  // Something of a pass failed that does not end the process at once (a
  // names call, a wildcard none of whose names could be read, a history
  // page, an export): the run goes on and ends with status 1.
  bool failed = false;
};

// Ends the process when a table has no room left.
StageResult table_full(ReaderContext& ctx);

}  // namespace vantoget
