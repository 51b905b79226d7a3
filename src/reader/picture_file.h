// Writing a picture file (--png, --svg) the way every file of the program is
// written: into a temporary file beside the target, then renamed onto it.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace vantoget {

// Writes bytes to path, or to out when path is "-". The target is replaced
// only by a complete file, and a link at the target is replaced, never
// followed. Returns "" or the reason the file could not be written (nothing
// is left behind then).
std::string write_picture_file(const std::string& path, std::string_view bytes, std::ostream& out);

}  // namespace vantoget
