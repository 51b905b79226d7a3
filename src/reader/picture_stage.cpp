#include "picture_stage.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <ostream>

#include "history_read.h"
#include "picture_file.h"
#include "png_export.h"
#include "svg_plot.h"

namespace vantoget {

namespace {

StageResult refuse(ReaderContext& ctx, const std::string& message) {
  ctx.out.flush();
  ctx.err << "vantoget: " << message << '\n';
  return 1;
}

bool has_numbers(int type) {
  switch (type) {
    case vanto::DATA_A_TDS:
    case vanto::DATA_A_TS_BOOL:
    case vanto::DATA_A_TS_INT:
    case vanto::DATA_A_TS_FLOAT:
    case vanto::DATA_A_TS_DOUBLE: return true;
    default: return false;
  }
}

PlotPoint point_of(const vanto::EqData& chunk, int index) {
  int64_t seconds = 0;
  int msec = 0;
  uint32_t status = 0;
  switch (chunk.type()) {
    case vanto::DATA_A_TDS: {
      float v = 0;
      uint8_t tds_status = 0;
      chunk.get_tds(&seconds, &v, &tds_status, index);
      return {static_cast<double>(seconds), v};
    }
    case vanto::DATA_A_TS_BOOL: {
      bool v = false;
      chunk.get_ts_bool(&seconds, &msec, &status, &v, index);
      return {static_cast<double>(seconds) + msec / 1000.0, v ? 1.0 : 0.0};
    }
    case vanto::DATA_A_TS_INT: {
      int v = 0;
      chunk.get_ts_int(&seconds, &msec, &status, &v, index);
      return {static_cast<double>(seconds) + msec / 1000.0, static_cast<double>(v)};
    }
    case vanto::DATA_A_TS_FLOAT: {
      float v = 0;
      chunk.get_ts_float(&seconds, &msec, &status, &v, index);
      return {static_cast<double>(seconds) + msec / 1000.0, v};
    }
    default: {
      double v = 0;
      chunk.get_ts_double(&seconds, &msec, &status, &v, index);
      return {static_cast<double>(seconds) + msec / 1000.0, v};
    }
  }
}

// The history of entry over the interval the array pass would read, from a
// copy of the entry: the entry itself keeps the value of this pass.
std::optional<PlotSeries> history_series(ReaderContext& ctx, const ChannelEntry& entry) {
  ChannelEntry copy{entry.name, std::make_unique<vanto::EqData>()};
  copy.result->copy_from(*entry.result);
  // read_history reports a failed read and marks the run failed; here it also
  // means no plot at all, so this read's own failure is told apart.
  const bool failed_before = ctx.failed;
  ctx.failed = false;
  HistoryCollection collection =
      read_history(ctx, copy, choose_history_request(ctx, *entry.result));
  const bool read_failed = ctx.failed;
  ctx.failed = failed_before || read_failed;
  if (read_failed) return std::nullopt;
  PlotSeries series{entry.name, {}};
  for (const HistoryPoint& p : collection.points_in_time_order()) {
    series.points.push_back(point_of(*p.chunk, p.index));
  }
  ctx.plotted_histories[&entry] = std::move(collection.chunks);
  return series;
}

// The values of a spectrum over its axis; the axis grows by the increment in
// single precision, as in the printed spectrum.
PlotSeries spectrum_series(const ChannelEntry& entry) {
  PlotSeries series{entry.name, {}};
  const std::optional<vanto::SpectrumView> spectrum = entry.result->spectrum();
  if (!spectrum) return series;
  float axis = spectrum->start;
  for (int i = 0; i < spectrum->count; ++i, axis += spectrum->increment)
    series.points.push_back({axis, spectrum->value(i)});
  return series;
}

// What kind of plot entry belongs in, or the reason it belongs in none.
std::string plot_problem(const ChannelEntry& entry, PlotAxis& axis) {
  const int type = entry.result->type();
  const std::string named = entry.name + " is " + vanto::EqData::type_string(type);
  if (type == vanto::DATA_SPECTRUM) {
    axis = PlotAxis::spectrum;
    return "";
  }
  if (!is_history_type(type)) return "--svg draws histories and spectra; " + named;
  if (!has_numbers(type)) return "--svg draws histories of numbers; " + named;
  axis = PlotAxis::local_time;
  return "";
}

}  // namespace

StageResult png_of_read(ReaderContext& ctx, const std::string& name, const vanto::EqData& result) {
  if (!ctx.options.png_file) return std::nullopt;
  if (result.type() != vanto::DATA_IMAGE) {
    return refuse(
        ctx, std::string("--png needs an image channel; ") + name + " is " + result.type_string());
  }
  vanto::IMH header{};
  uint8_t* pixels = nullptr;
  int byte_count = 0;
  if (!result.get_image(&pixels, &byte_count, &header)) byte_count = 0;
  const PngEncoding png = encode_png(header, pixels, byte_count);
  if (!png.problem.empty()) return refuse(ctx, "no PNG of " + name + ": " + png.problem);
  const std::string& path = *ctx.options.png_file;
  const std::string problem = write_picture_file(
      path, {reinterpret_cast<const char*>(png.bytes.data()), png.bytes.size()}, ctx.out);
  if (!problem.empty()) return refuse(ctx, problem);
  if (path == "-") return 0;
  return std::nullopt;
}

StageResult svg_of_pass(ReaderContext& ctx) {
  ctx.plotted_histories.clear();
  if (!ctx.options.svg_file) return std::nullopt;
  Plot plot;
  bool first = true;
  for (const ChannelTable* table : {&ctx.spect, &ctx.nonspect}) {
    for (const ChannelEntry& entry : table->entries()) {
      PlotAxis axis = PlotAxis::local_time;
      if (const std::string problem = plot_problem(entry, axis); !problem.empty()) {
        return refuse(ctx, problem);
      }
      if (!first && axis != plot.x_axis) {
        return refuse(ctx, "--svg draws histories or spectra, not both in one plot");
      }
      plot.x_axis = axis;
      first = false;
    }
  }
  std::size_t points = 0;
  for (const ChannelTable* table : {&ctx.spect, &ctx.nonspect}) {
    for (const ChannelEntry& entry : table->entries()) {
      std::optional<PlotSeries> series =
          plot.x_axis == PlotAxis::spectrum ? spectrum_series(entry) : history_series(ctx, entry);
      if (!series)
        return refuse(ctx, "no plot written: the history of " + entry.name + " could not be read");
      // A value that is no number (NaN, inf) is left out of the drawing.
      points += static_cast<std::size_t>(std::count_if(
          series->points.begin(), series->points.end(),
          [](const PlotPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y); }));
      plot.series.push_back(std::move(*series));
    }
  }
  if (points == 0) return refuse(ctx, "no plot written: the channels hold no point to draw");
  const std::string problem = write_picture_file(*ctx.options.svg_file, svg_plot(plot), ctx.out);
  if (!problem.empty()) return refuse(ctx, problem);
  return std::nullopt;
}

}  // namespace vantoget
