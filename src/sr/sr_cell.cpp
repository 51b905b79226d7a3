#include "sr_cell.h"

#include "cell.h"

namespace vantosr {

namespace {

std::string fill(const std::string& text, long width, bool no_fill) {
  if (no_fill || static_cast<long>(text.size()) >= width) return text;
  return text + std::string(static_cast<size_t>(width) - text.size(), ' ');
}

// The last width-1 characters of text (width >= 1).
std::string tail(const std::string& text, long width) {
  return text.substr(text.size() - static_cast<size_t>(width - 1));
}

}  // namespace

std::string name_cell(const std::string& name, long width, bool no_fill) {
  if (width < 1) width = 1;
  if (static_cast<long>(name.size()) > width) return "<" + tail(name, width);
  return fill(name, width, no_fill);
}

std::string value_cell(const std::string& value, long width, bool no_fill) {
  if (width < 1) width = 1;
  // A tab inside a value would split its column: it shows as a blank, as in
  // the value line of channels.
  const std::string text = vantocli::tabs_to_blanks(value);
  if (static_cast<long>(text.size()) > width) return tail(text, width) + ">";
  return fill(text, width, no_fill);
}

}  // namespace vantosr
