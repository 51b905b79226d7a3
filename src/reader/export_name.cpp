#include "export_name.h"

namespace vantoget {

std::string default_export_name(const ReaderOptions& o, std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[100];
// The short style of -o 1 names the year by two digits on purpose.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-y2k"
  const std::size_t size = o.format_flag && o.format == 1
                               ? std::strftime(stamp, sizeof stamp, "%d-%b-%y_%H-%M-%S", &local)
                               : std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H%M%S", &local);
#pragma GCC diagnostic pop
  if (size == 0) stamp[0] = '\0';
  const auto slash = o.program_name.rfind('/');
  const std::string program =
      slash == std::string::npos ? o.program_name : o.program_name.substr(slash + 1);
  return stamp + program;
}

std::string export_file_name(const ReaderOptions& o, const std::string& default_name) {
  std::string name = o.filename.empty() ? default_name : o.filename;
  if (name.find('.') == std::string::npos) {
    if (o.convert == 1) name += ".mat";
    if (o.convert == 2) name += ".txt";
  }
  return name;
}

std::string export_dir(const ReaderOptions& o) { return o.dir.empty() ? "./" : o.dir; }

}  // namespace vantoget
