// What the history readout keeps for the whole process.
#pragma once

#include <string>

namespace vantoget {

struct HistoryMemory {
  bool interval_checked = false;  // r_time taken from -i
  std::string r_time;             // the -i text after check_time
  bool interval_dropped = false;  // -i gave a zero time: not used any more
  std::string default_file_name;  // the export file name chosen at the first pass
  bool export_failed = false;     // an export of any pass failed: the run ends with 1
};

}  // namespace vantoget
