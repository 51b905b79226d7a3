#include "ascii_export.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <limits>

#include "output_file.h"
#include "printf_text.h"
#include "value_text.h"

namespace vantoget {

namespace {

struct TdsPoint {
  int64_t tm = 0;
  float value = 0;
  uint8_t status = 0;
};

TdsPoint tds_of(const HistoryPoint& p) {
  TdsPoint point;
  p.chunk->get_tds(&point.tm, &point.value, &point.status, p.index);
  return point;
}

// Lines of the step export up to the cap; 0 when no point lies in the interval.
long step_line_count(const std::vector<HistoryPoint>& points, const ExportInterval& iv) {
  const auto first = std::find_if(points.begin(), points.end(),
                                  [&](const HistoryPoint& p) { return p.seconds >= iv.tmin; });
  if (first == points.end() || first->seconds > iv.tmax) return 0;
  // Times are the server's: their distance may not fit 64 bits.
  int64_t span = 0;
  if (__builtin_sub_overflow(iv.tmax, first->seconds, &span)) return kMaxExportLines;
  return static_cast<long>(std::min<int64_t>(span / iv.step + 1, kMaxExportLines));
}

void write_every_point(std::ostream& out, const std::vector<HistoryPoint>& points,
                       const ExportInterval& iv) {
  long lines = 0;
  for (const HistoryPoint& p : points) {
    if (p.seconds < iv.tmin || p.seconds > iv.tmax) continue;
    if (lines >= kMaxExportLines) return;
    out << vantocli::element_text(*p.chunk, p.index) << '\n';
    ++lines;
  }
}

void write_grid_line(std::ostream& out, int64_t grid, double value, int status) {
  out << export_time_text(grid) << '\t' << static_cast<unsigned>(grid) << '\t'
      << printf_text("%g", value) << '\t' << status << '\n';
}

// One line per grid time: the value of the point before it (averaged with
// the points skipped since the last line), held across grid times without
// points.
void write_grid(std::ostream& out, const std::vector<HistoryPoint>& points,
                const ExportInterval& iv) {
  const auto first = std::find_if(points.begin(), points.end(),
                                  [&](const HistoryPoint& p) { return p.seconds >= iv.tmin; });
  if (first == points.end()) return;
  int64_t grid = first->seconds;
  if (points.size() == 1) {
    // A history of one point has no pair to walk: its one grid time holds
    // its value (the header counts that line).
    const TdsPoint only = tds_of(*first);
    if (grid <= iv.tmax) write_grid_line(out, grid, only.value, static_cast<int>(only.status));
    return;
  }
  double sum = 0;
  long count = 0;
  long lines = 0;
  bool written = false;
  for (std::size_t j = 0; j + 1 < points.size(); ++j) {
    const TdsPoint a = tds_of(points[j]);
    const TdsPoint b = tds_of(points[j + 1]);
    if (a.tm > iv.tmax || b.tm > iv.tmax) return;
    if (b.tm < grid) {
      sum += a.value;
      ++count;
      continue;
    }
    const double value = count > 0 && written ? (sum + a.value) / (count + 1) : a.value;
    for (; grid <= b.tm; grid += iv.step) {
      if (lines >= kMaxExportLines) return;
      write_grid_line(out, grid, value, static_cast<int>(a.status));
      ++lines;
      written = true;
      // A grid time past the largest time there is ends the grid.
      if (grid > std::numeric_limits<int64_t>::max() - iv.step) return;
    }
    sum = 0;
    count = 0;
  }
}

}  // namespace

ExportFile::ExportFile(const std::string& dir, const std::string& name)
    : path_(dir + "/" + name), with_header_(name.find(".dat") == std::string::npos) {}

ExportFile::~ExportFile() = default;

bool ExportFile::ready() {
  if (tried_) return problem_.empty();
  tried_ = true;
  if (path_.size() > kMaxExportPath) {
    problem_ = "path longer than " + std::to_string(kMaxExportPath) + " characters";
    return false;
  }
  file_ = std::make_unique<vantosr::OutputFile>(path_);
  if (!file_->is_open()) {
    problem_ = "can't open file: " + file_->error();
    return false;
  }
  return true;
}

bool ExportFile::write_block() {
  const std::string text = block_.str();
  block_.str({});
  if (!ready()) return false;
  if (!file_->write(text)) problem_ = "can't write file: " + file_->error();
  return problem_.empty();
}

bool ExportFile::finish() {
  if (!tried_) return true;
  if (!problem_.empty()) return false;
  if (!file_->commit()) problem_ = "can't write file: " + file_->error();
  return problem_.empty();
}

int64_t step_seconds(long step, char unit) {
  if (step <= 0) return 0;
  int64_t factor = 1;  // s, and any letter the command line let through
  switch (unit) {
    case 'm': factor = 60; break;
    case 'h': factor = 3600; break;
    case 'd': factor = 86400; break;
    case 'w': factor = 604800; break;
    // Months and years are fixed steps of 30 and 365 days: the export grid
    // is a row of equal steps.
    case 'M': factor = 30 * 86400; break;
    case 'y': factor = 365 * 86400; break;
    default: break;
  }
  // The request carries the step as a 32-bit number (and the product of a
  // step near the long limit would not fit 64 bits either).
  if (step > INT_MAX / factor) return INT_MAX;
  return step * factor;
}

std::string export_time_text(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&t, &local);
  char text[100];
  if (std::strftime(text, sizeof text, "\"%H:%M.%S %e. %b. %Y 0 ms\"", &local) == 0) return "\"\"";
  return text;
}

int export_history(ExportFile& file, const std::vector<HistoryPoint>& points, ExportInterval iv,
                   const std::string& chan_name) {
  if (!file.ready()) return 1;
  // The interval ends at the newest point read.
  if (!points.empty()) iv.tmax = std::min(iv.tmax, points.back().seconds);

  std::ostream& out = file.stream();
  if (file.with_header()) {
    long count = 0;
    if (iv.step > 0) {
      count = step_line_count(points, iv);
    } else {
      for (const HistoryPoint& p : points) count += p.seconds >= iv.tmin && p.seconds <= iv.tmax;
      count = std::min(count, kMaxExportLines);
    }
    out << "# Address : " << chan_name << '\n'
        << "# Data Type : A_TDS\n"
        << "# TDS array length = " << count << '\n';
  }
  if (iv.step > 0) {
    write_grid(out, points, iv);
  } else {
    write_every_point(out, points, iv);
  }
  return file.write_block() ? 0 : 1;
}

int export_spectrum(ExportFile& file, const vanto::EqData& spectrum, const std::string& chan_name) {
  if (spectrum.error() != 0) return 1;
  const std::optional<vanto::SpectrumView> s = spectrum.spectrum();
  if (!s) return 1;
  if (!file.ready()) return 1;
  std::ostream& out = file.stream();
  if (file.with_header()) {
    out << "# Address : " << chan_name << '\n'
        << "# Data Type : SPECTRUM \n"
        << printf_text("%s %u %g %g %d\n", export_time_text(s->time).c_str(),
                       static_cast<unsigned>(s->time), static_cast<double>(s->start),
                       static_cast<double>(s->increment), static_cast<int>(s->status));
  }
  for (int i = 0; i < spectrum.length(); ++i) {
    out << printf_text(" %g\n", static_cast<double>(spectrum.get_float(i)));
  }
  return file.write_block() ? 0 : 1;
}

}  // namespace vantoget
