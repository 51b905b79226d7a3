#include "picture_file.h"

#include <ostream>

#include "output_file.h"

namespace vantoget {

std::string write_picture_file(const std::string& path, std::string_view bytes, std::ostream& out) {
  if (path == "-") {
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return out ? "" : "cannot write to standard output";
  }
  vantosr::OutputFile file(path);
  if (file.is_open() && file.write(std::string(bytes)) && file.commit()) return "";
  return "cannot write " + path + ": " + file.error();
}

}  // namespace vantoget
