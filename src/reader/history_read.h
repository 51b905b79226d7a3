// Reading a history channel again with interval requests, page by page.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <vanto/eqdata.h>

#include "reader_context.h"

namespace vantoget {

// True for the history types the array pass reads out: A_TDS and the
// time-stamped BOOL, INT, FLOAT, DOUBLE, STRING, XML and IIII histories.
bool is_history_type(int type);

// What the readout of one history asks the server for.
struct HistoryRequest {
  int64_t t1 = 0;              // interval start (also the export interval)
  int64_t t2 = 0;              // interval end
  bool interval_mode = false;  // -i or -j: the request names [t1, t2]
  bool paging = false;         // -i: full replies lead to a further request
};

// The interval of an entry: from -i (checked when the options were read),
// else from -j (back from now), else the span of the history already read.
HistoryRequest choose_history_request(ReaderContext& ctx, const vanto::EqData& already_read);

// One point of a history in time order: the reply it came in and its index
// there.
struct HistoryPoint {
  const vanto::EqData* chunk;
  int index;
  int64_t seconds;
};

// The replies of one readout, newest first (the order of reading).
struct HistoryCollection {
  std::vector<std::unique_ptr<vanto::EqData>> chunks;

  // Every point once, oldest first. The server repeats the first point of a
  // reply as the last one of the next (older) reply; the repeat is left out.
  std::vector<HistoryPoint> points_in_time_order() const;
};

// Reads the history of entry page by page into a collection. A read that
// fails (after the retries) is reported on ctx.err, marks the run failed and
// ends the readout with what was collected so far.
HistoryCollection read_history(ReaderContext& ctx, ChannelEntry& entry, HistoryRequest request);

}  // namespace vantoget
