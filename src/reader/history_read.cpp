#include "history_read.h"

#include <ctime>
#include <ostream>

#include "retried_call.h"
#include "value_text.h"

namespace vantoget {

namespace {

// A reply of this many points may have more points before it.
constexpr int kFullReply = 2000;

int64_t point_seconds(const vanto::EqData& history, int index) {
  int64_t seconds = 0;
  int msec = 0;
  if (!history.get_tsd(&seconds, &msec, index)) return 0;
  return seconds;
}

}  // namespace

bool is_history_type(int type) {
  switch (type) {
    case vanto::DATA_A_TDS:
    case vanto::DATA_A_TS_BOOL:
    case vanto::DATA_A_TS_INT:
    case vanto::DATA_A_TS_FLOAT:
    case vanto::DATA_A_TS_DOUBLE:
    case vanto::DATA_A_TS_STRING:
    case vanto::DATA_A_TS_XML:
    case vanto::DATA_A_TS_IIII: return true;
    default: return false;
  }
}

HistoryRequest choose_history_request(ReaderContext& ctx, const vanto::EqData& already_read) {
  HistoryRequest request;
  const ReaderOptions& o = ctx.options;
  if (o.interval_flag) {
    // Checked when the options were read: two usable times, t1 before t2.
    request.t1 = o.interval_t1;
    request.t2 = o.interval_t2;
    request.interval_mode = true;
    request.paging = true;
  } else if (ctx.options.s_intvl_flag) {
    const int64_t now = std::time(nullptr);
    request.t2 = now;
    request.t1 = now - ctx.options.s_intvl;
    request.interval_mode = true;
  } else {
    const int n = already_read.length();
    if (n > 0) {
      request.t1 = point_seconds(already_read, 0);
      request.t2 = point_seconds(already_read, n - 1);
    }
  }
  return request;
}

HistoryCollection read_history(ReaderContext& ctx, ChannelEntry& entry, HistoryRequest request) {
  HistoryCollection collection;
  vanto::EqData& result = *entry.result;
  const int type = result.type();
  // The server takes 0 for A_TDS and 256 for the time-stamped histories.
  const int kind = type == vanto::DATA_A_TDS ? 0 : 256;
  ctx.address.adr(entry.name);
  vanto::EqData ask;
  int64_t t1 = request.t1;
  int64_t t2 = request.t2;
  while (true) {
    if (request.interval_mode && t2 <= t1) break;
    ask.init();
    ask.set_type(vanto::DATA_TTII);
    if (request.interval_mode) {
      ask.set_ttii(t1, t2, kind, 0);
    } else {
      ask.set_ttii(10, std::time(nullptr), kind, 0);
    }
    const int code =
        vantocli::retried_get(ctx.call, ctx.address, ask, result, ctx.src, ctx.options.retry);
    if (code != 0) {
      ctx.err << entry.name << ": " << vantocli::value_text(result) << " , error == " << code
              << '\n';
      ctx.failed = true;  // the points read so far are printed, the run fails
      break;
    }
    const int length = result.length();
    if (length == 0) break;
    const int64_t first_seconds = point_seconds(result, 0);
    const bool first_reply = collection.chunks.empty();
    // A later reply that starts in the second the previous one started in
    // brings nothing new; going on would ask the same again for ever.
    if (!first_reply && first_seconds == t2) break;
    auto copy = std::make_unique<vanto::EqData>();
    copy->copy_from(result);
    collection.chunks.push_back(std::move(copy));
    const bool no_progress = first_seconds == t2;
    t2 = first_seconds;
    if (!request.paging || length < kFullReply || no_progress) break;
  }
  return collection;
}

std::vector<HistoryPoint> HistoryCollection::points_in_time_order() const {
  std::vector<HistoryPoint> points;
  for (auto chunk = chunks.rbegin(); chunk != chunks.rend(); ++chunk) {
    const vanto::EqData& data = **chunk;
    const int length = data.length();
    const bool later_chunk = !points.empty();
    const int64_t boundary = later_chunk ? points.back().seconds : 0;
    int j = 0;
    // The points of the second the older reply ended with are already there.
    while (later_chunk && j < length && point_seconds(data, j) <= boundary) ++j;
    for (; j < length; ++j) points.push_back({&data, j, point_seconds(data, j)});
  }
  return points;
}

}  // namespace vantoget
