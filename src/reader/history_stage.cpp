#include "history_stage.h"

#include <climits>

#include "history_print.h"
#include "history_read.h"

namespace vantoget {

namespace {

HistoryPrintOptions print_options(const ReaderOptions& o) {
  HistoryPrintOptions p;
  if (o.int_format_flag) p.int_form = vantocli::int_form_from_code(o.int_format);
  p.plot = o.plottype != 0;
  return p;
}

}  // namespace

bool history_readout(ReaderContext& ctx, ChannelEntry& entry, ExportFile* export_file) {
  const int type = entry.result->type();
  const HistoryRequest request = choose_history_request(ctx, *entry.result);
  // Each channel has a collection of its own: no channel prints or exports
  // the points of another.
  HistoryCollection collection;
  if (auto plotted = ctx.plotted_histories.find(&entry); plotted != ctx.plotted_histories.end()) {
    collection.chunks = std::move(plotted->second);
    ctx.plotted_histories.erase(plotted);
  } else {
    collection = read_history(ctx, entry, request);
  }
  const std::vector<HistoryPoint> points = collection.points_in_time_order();
  print_history(ctx.out, type, points, print_options(ctx.options));

  if (export_file == nullptr || type != vanto::DATA_A_TDS) return true;
  ExportInterval interval;
  interval.tmin = request.t1;
  interval.tmax = request.t2;
  interval.step = step_seconds(ctx.options.step, ctx.options.units);
  return export_history(*export_file, points, interval, entry.name) == 0;
}

}  // namespace vantoget
