#include "text_diff.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace vantotest {

namespace {

// Tabs shown as "\t" so that a tab and blanks can be told apart.
std::string visible(const std::string& line) {
  std::string shown;
  for (char c : line) shown += c == '\t' ? std::string("\\t") : std::string(1, c);
  return "\"" + shown + "\"";
}

}  // namespace

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  if (!text.empty() && text.back() != '\n') lines.back() += "<no newline>";
  return lines;
}

std::string text_diff(const std::string& expected, const std::string& actual) {
  if (expected == actual) return "";
  const auto e = lines_of(expected);
  const auto a = lines_of(actual);
  std::ostringstream diff;
  int shown = 0;
  for (std::size_t i = 0; i < std::max(e.size(), a.size()) && shown < 8; ++i) {
    const std::string el = i < e.size() ? visible(e[i]) : "<missing>";
    const std::string al = i < a.size() ? visible(a[i]) : "<missing>";
    if (el == al) continue;
    diff << "line " << i + 1 << ":\n  - " << el << "\n  + " << al << '\n';
    ++shown;
  }
  if (shown == 0) diff << "texts differ in their final newline\n";
  return diff.str();
}

std::string pad(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vantotest
