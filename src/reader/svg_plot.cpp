#include "svg_plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <iomanip>
#include <sstream>

#include "printf_text.h"

namespace vantoget {

namespace {

// The drawing: a fixed page, the plot area inside its margins.
constexpr double kWidth = 800;
constexpr double kPlotHeight = 420;
constexpr double kLeft = 80;
constexpr double kRight = 30;
constexpr double kTop = 40;
constexpr double kBottom = 70;
constexpr double kLegendLine = 18;
constexpr int kWantedTicks = 6;

constexpr std::array<const char*, 8> kColours = {"#1f5fbf", "#d9480f", "#2b8a3e", "#862e9c",
                                                 "#c92a2a", "#0b7285", "#5c940d", "#495057"};

struct Range {
  double low;
  double high;
};

// Most ticks an axis gets, whatever its range.
constexpr int kMaxTicks = 100;

// The range of the finite values; a single value is widened by half_width
// to either side, so that it lies in the middle. So are values that differ
// by no more than the rounding of a double (1e18 and 1e18 + 128): no tick
// step could tell them apart.
Range range_of(const std::vector<double>& values, double half_width) {
  Range r{0, 0};
  bool any = false;
  for (double v : values) {
    if (!std::isfinite(v)) continue;
    if (!any) r = {v, v};
    r.low = std::min(r.low, v);
    r.high = std::max(r.high, v);
    any = true;
  }
  if (r.high - r.low <= std::max(std::abs(r.low), std::abs(r.high)) * 1e-12) {
    const double half = std::max(half_width, std::abs(r.low) * 0.05);
    r = {r.low - half, r.high + half};
  }
  return r;
}

// 1, 2 or 5 times a power of ten, such that about kWantedTicks ticks fit.
double number_step(const Range& r) {
  const double raw = (r.high - r.low) / kWantedTicks;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0}) {
    if (factor * magnitude >= raw) return factor * magnitude;
  }
  return 10 * magnitude;
}

// Steps a clock reader counts in, from a second to a year.
double time_step(const Range& r) {
  static constexpr std::array<double, 25> kSteps = {
      1,      2,      5,      10,      15,      30,      60,      120,   300,
      600,    900,    1800,   3600,    7200,    10800,   21600,   43200, 86400,
      172800, 345600, 604800, 1209600, 2592000, 7776000, 31536000};
  const double raw = (r.high - r.low) / kWantedTicks;
  for (double step : kSteps) {
    if (step >= raw) return step;
  }
  return std::ceil(raw / kSteps.back()) * kSteps.back();
}

std::tm local_time(double seconds) {
  const std::time_t t = static_cast<std::time_t>(std::floor(seconds));
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

std::string time_text(double seconds, const char* format) {
  const std::tm tm = local_time(seconds);
  std::ostringstream text;
  text << std::put_time(&tm, format);
  return text.str();
}

std::string number_text(double value, double step) {
  // Ticks are multiples of the step: a value within rounding of 0 is 0.
  if (std::abs(value) < step * 1e-9) value = 0;
  return printf_text("%g", value);
}

class Canvas {
 public:
  Canvas(Range x, Range y, double height) : x_(x), y_(y), bottom_(kTop + height), height_(height) {}
  double x(double v) const {
    return kLeft + (v - x_.low) / (x_.high - x_.low) * (kWidth - kLeft - kRight);
  }
  double y(double v) const { return bottom_ - (v - y_.low) / (y_.high - y_.low) * height_; }
  double bottom() const { return bottom_; }

 private:
  Range x_, y_;
  double bottom_, height_;
};

void draw_x_ticks(std::string& svg, const Canvas& c, const Range& r, PlotAxis axis) {
  double step = 0, first = 0;
  const char* format = "";
  if (axis == PlotAxis::local_time) {
    step = time_step(r);
    // Ticks on round local times: the zone's offset moves the grid.
    const double offset = static_cast<double>(local_time(r.low).tm_gmtoff);
    first = std::ceil((r.low + offset) / step) * step - offset;
    format = step >= 86400 ? "%Y-%m-%d" : step >= 60 ? "%H:%M" : "%H:%M:%S";
  } else {
    step = number_step(r);
    first = std::ceil(r.low / step) * step;
  }
  if (!std::isfinite(step) || !(step > 0)) return;  // a range beyond double's reach
  // Each tick from its index: adding a step too small for the magnitude of
  // the values would never get past the end of the axis.
  for (int i = 0; i < kMaxTicks; ++i) {
    const double v = first + i * step;
    if (v > r.high + step * 1e-9) break;
    const double x = c.x(v);
    const std::string label =
        axis == PlotAxis::local_time ? time_text(v, format) : number_text(v, step);
    svg += printf_text("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" class=\"tick\"/>\n",
                       x, c.bottom(), x, c.bottom() + 5);
    svg += printf_text("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">%s</text>\n", x,
                       c.bottom() + 20, xml_escaped(label).c_str());
  }
}

void draw_y_ticks(std::string& svg, const Canvas& c, const Range& r) {
  const double step = number_step(r);
  if (!std::isfinite(step) || !(step > 0)) return;
  const double first = std::ceil(r.low / step) * step;
  for (int i = 0; i < kMaxTicks; ++i) {
    const double v = first + i * step;
    if (v > r.high + step * 1e-9) break;
    const double y = c.y(v);
    svg += printf_text("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" class=\"grid\"/>\n",
                       kLeft, y, kWidth - kRight, y);
    svg += printf_text("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"end\">%s</text>\n", kLeft - 6,
                       y + 4, number_text(v, step).c_str());
  }
}

// One polyline per run of finite points.
void draw_series(std::string& svg, const Canvas& c, const PlotSeries& s, const char* colour) {
  std::string points;
  const auto flush = [&] {
    if (points.empty()) return;
    svg +=
        printf_text("<polyline fill=\"none\" stroke=\"%s\" points=\"", colour) + points + "\"/>\n";
    points.clear();
  };
  for (const PlotPoint& p : s.points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
      flush();
      continue;
    }
    if (!points.empty()) points += ' ';
    points += printf_text("%.2f,%.2f", c.x(p.x), c.y(p.y));
  }
  flush();
}

std::string title_of(const Plot& plot) {
  std::string title;
  for (const PlotSeries& s : plot.series) title += (title.empty() ? "" : ", ") + s.name;
  return title;
}

// The heading above the plot: the title while it fits the page, else the
// first name and the count (the legend names them all).
std::string heading_of(const Plot& plot) {
  constexpr std::size_t kFits = 90;
  const std::string title = title_of(plot);
  if (title.size() <= kFits || plot.series.size() < 2) return title;
  return plot.series.front().name + " and " + std::to_string(plot.series.size() - 1) + " more";
}

std::string x_caption(const Plot& plot, const Range& r) {
  if (plot.x_axis == PlotAxis::spectrum) return "axis";
  const char* format = "%Y-%m-%d %H:%M:%S";
  return "local time, " + time_text(r.low, format) + " to " + time_text(r.high, format);
}

}  // namespace

std::string xml_escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        // Control characters other than tab and line ends are not allowed in XML.
        if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t' && ch != '\n' && ch != '\r') {
          out += '?';
        } else {
          out += ch;
        }
    }
  }
  return out;
}

std::string svg_plot(const Plot& plot) {
  std::vector<double> xs, ys;
  for (const PlotSeries& s : plot.series) {
    for (const PlotPoint& p : s.points) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
      xs.push_back(p.x);
      ys.push_back(p.y);
    }
  }
  const Range xr = range_of(xs, plot.x_axis == PlotAxis::local_time ? 30 : 0.5);
  const Range yr = range_of(ys, 1);
  const Canvas canvas(xr, yr, kPlotHeight - kTop);
  const bool legend = plot.series.size() > 1;
  const double height =
      kPlotHeight + kBottom + (legend ? kLegendLine * static_cast<double>(plot.series.size()) : 0);
  const std::string title = xml_escaped(title_of(plot));

  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += printf_text(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
      "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\" font-size=\"12\">\n",
      kWidth, height, kWidth, height);
  svg += "<title>" + title + "</title>\n";
  svg += "<style>.tick{stroke:#000}.grid{stroke:#ddd}.frame{fill:none;stroke:#000}</style>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
  svg += printf_text("<text x=\"%.2f\" y=\"24\" text-anchor=\"middle\" font-size=\"15\">",
                     kWidth / 2) +
         xml_escaped(heading_of(plot)) + "</text>\n";
  draw_y_ticks(svg, canvas, yr);
  draw_x_ticks(svg, canvas, xr, plot.x_axis);
  svg +=
      printf_text("<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" class=\"frame\"/>\n",
                  kLeft, kTop, kWidth - kLeft - kRight, canvas.bottom() - kTop);
  svg += printf_text("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">%s</text>\n",
                     (kLeft + kWidth - kRight) / 2, canvas.bottom() + 42,
                     xml_escaped(x_caption(plot, xr)).c_str());
  svg += printf_text(
      "<text x=\"16\" y=\"%.2f\" text-anchor=\"middle\" transform=\"rotate(-90 16 "
      "%.2f)\">value</text>\n",
      (kTop + canvas.bottom()) / 2, (kTop + canvas.bottom()) / 2);
  for (std::size_t i = 0; i < plot.series.size(); ++i) {
    draw_series(svg, canvas, plot.series[i], kColours[i % kColours.size()]);
  }
  if (legend) {
    for (std::size_t i = 0; i < plot.series.size(); ++i) {
      const double y = kPlotHeight + kBottom - 10 + kLegendLine * static_cast<double>(i);
      svg += printf_text(
          "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" "
          "stroke-width=\"3\"/>\n",
          kLeft, y - 4, kLeft + 24, y - 4, kColours[i % kColours.size()]);
      svg += printf_text("<text x=\"%.2f\" y=\"%.2f\">", kLeft + 30, y) +
             xml_escaped(plot.series[i].name) + "</text>\n";
    }
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace vantoget
