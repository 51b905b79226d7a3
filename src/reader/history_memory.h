// What the history readout keeps for the whole process.
#pragma once

#include <string>

namespace vantoget {

struct HistoryMemory {
  std::string default_file_name;  // the export file name chosen at the first pass
};

}  // namespace vantoget
