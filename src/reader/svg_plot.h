// Line plots of histories and spectra as SVG documents, drawn by hand: axes
// with ticks, one line per channel, a legend when there are several.
#pragma once

#include <string>
#include <vector>

namespace vantoget {

struct PlotPoint {
  double x;  // seconds since the epoch on a time axis, else the spectrum's axis
  double y;
};

struct PlotSeries {
  std::string name;               // the channel name: title and legend
  std::vector<PlotPoint> points;  // in x order; a value that is no number breaks the line
};

enum class PlotAxis { local_time, spectrum };

struct Plot {
  PlotAxis x_axis = PlotAxis::local_time;
  std::vector<PlotSeries> series;
};

// The whole SVG document. Every finite point of a series is one coordinate
// pair of a polyline of that series; the names are escaped for XML.
std::string svg_plot(const Plot& plot);

// Text as XML character data or attribute value.
std::string xml_escaped(const std::string& text);

}  // namespace vantoget
