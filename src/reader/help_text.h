// The help text of vantoget.
#pragma once

#include <string>

namespace vantoget {

// The whole help text, each line ending in a newline.
const std::string& help_text();

}  // namespace vantoget
