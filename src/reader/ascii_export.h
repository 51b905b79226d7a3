// The text export of -g 2: histories and spectra written into one file per
// array pass.
#pragma once

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <vanto/eqdata.h>

#include "history_read.h"

namespace vantosr {
class OutputFile;
}  // namespace vantosr

namespace vantoget {

// Longest path of an export file ("dir/name").
inline constexpr std::size_t kMaxExportPath = 255;
// Most data lines one history export writes.
inline constexpr long kMaxExportLines = 100000;

// The export file of one array pass: created at the first export of the
// pass and completed by finish() when the pass ends, so every channel
// exported in the pass keeps its block in it, one after the other in table
// order. Until finish() succeeds the file at the path keeps its old content
// (see OutputFile): a failed export never leaves a cut file behind.
class ExportFile {
 public:
  ExportFile(const std::string& dir, const std::string& name);
  ~ExportFile();
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;

  // False (with a reason) when the file cannot be created, the path is too
  // long, or an earlier block failed.
  bool ready();
  // The block being exported: the text goes into the file at write_block().
  std::ostream& stream() { return block_; }
  // Appends the block to the file; false (with a reason) on a failure.
  bool write_block();
  // Completes the file at the end of the pass; true when nothing was
  // exported, false (with a reason) when any part of it failed.
  bool finish();
  const std::string& problem() const { return problem_; }
  // Names holding ".dat" get no header lines.
  bool with_header() const { return with_header_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool with_header_;
  bool tried_ = false;
  std::unique_ptr<vantosr::OutputFile> file_;
  std::ostringstream block_;
  std::string problem_;
};

// The interval a history is exported over and the step of its grid.
struct ExportInterval {
  int64_t tmin = 0;
  int64_t tmax = 0;
  int64_t step = 0;  // seconds; 0 writes every point
};

// The step of -e in seconds for the unit letter of -u: s 1, m 60, h 3600,
// d 86400, w 604800, M 30 days, y 365 days. A step of 0 or less means no step.
int64_t step_seconds(long step, char unit);

// Writes the block of a history: header lines (address, type, number of
// lines), then either every point in [tmin, tmax] or, with a step, one line
// per grid time with the value held (or averaged) there. Returns 0, or 1 when
// the file is not usable.
int export_history(ExportFile& file, const std::vector<HistoryPoint>& points,
                   ExportInterval interval, const std::string& chan_name);

// Writes the block of a spectrum: header lines and one value per line.
// Returns 1 when the spectrum carries an error or the file is not usable.
int export_spectrum(ExportFile& file, const vanto::EqData& spectrum, const std::string& chan_name);

// Local time as the export files show it: "HH:MM.SS d. Mon. YYYY 0 ms" in quotes.
std::string export_time_text(int64_t seconds);

}  // namespace vantoget
