// The directory and file name of the -g export.
#pragma once

#include <ctime>
#include <string>

#include "options.h"

namespace vantoget {

// The default name of an export file: the local time of now ("%d-%b-%y_%H-%M-%S"
// with -o 1, else "%Y-%m-%dT%H%M%S") followed by the program's name (the
// command word after its last "/").
std::string default_export_name(const ReaderOptions& options, std::time_t now);

// The file name of the export: -F, or default_name when -F was not given;
// a name without "." gets ".mat" (-g 1) or ".txt" (-g 2).
std::string export_file_name(const ReaderOptions& options, const std::string& default_name);

// The directory of the export: -P, or "./".
std::string export_dir(const ReaderOptions& options);

}  // namespace vantoget
