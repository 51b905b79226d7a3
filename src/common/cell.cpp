#include "cell.h"

#include <algorithm>

namespace vantocli {

namespace {
std::string padded(std::string text, std::size_t width, bool no_padding) {
  if (!no_padding && text.size() < width) text.append(width - text.size(), ' ');
  return text;
}
}  // namespace

std::string name_cell(const std::string& name, std::size_t width, bool no_padding) {
  if (width == 0) return "";
  if (name.size() > width) return "<" + name.substr(name.size() - (width - 1));
  return padded(name, width, no_padding);
}

std::string value_cell(const std::string& text, std::size_t width, bool no_padding) {
  if (width == 0) return "";
  if (text.size() > width) return text.substr(0, width - 1) + ">";
  return padded(text, width, no_padding);
}

std::string string_arg_cell(const std::string& text, std::size_t width, bool no_padding) {
  if (text.size() > width) return text + ">";
  return padded(text, width, no_padding);
}

std::string value_tail_cell(const std::string& text, std::size_t width, bool no_padding) {
  if (width == 0) return "";
  if (text.size() > width) return text.substr(text.size() - (width - 1)) + ">";
  return padded(text, width, no_padding);
}

std::string tabs_to_blanks(std::string text) {
  std::replace(text.begin(), text.end(), '\t', ' ');
  return text;
}

}  // namespace vantocli
