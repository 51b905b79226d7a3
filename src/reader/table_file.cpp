#include "table_file.h"

#include <pwd.h>
#include <unistd.h>

#include "output_file.h"

namespace vantoget {

namespace {

constexpr std::size_t kCellWidth = 82;
const std::string kAbsent = "-";

std::string padded(const std::string& text) {
  return text.size() >= kCellWidth ? text : text + std::string(kCellWidth - text.size(), ' ');
}

bool row_is_empty(const TableColumns& columns, std::size_t row) {
  for (std::size_t c = 0; c < columns.count(); ++c) {
    if (!columns.cell(c, row).empty()) return false;
  }
  return true;
}

}  // namespace

std::string login_name() {
  const uid_t uid = getuid();
  const passwd* entry = getpwuid(uid);
  if (entry != nullptr && entry->pw_name != nullptr && entry->pw_name[0] != '\0') {
    return entry->pw_name;
  }
  return std::to_string(uid);
}

std::string table_path(const std::string& dir, const std::string& file, const std::string& login) {
  std::string path;
  if (!dir.empty()) path = dir.back() == '/' ? dir : dir + "//";
  path += file.empty() ? login + "-table.txt" : file;
  return path;
}

std::string table_rows(const TableColumns& columns) {
  std::string rows;
  const std::size_t count = columns.count();
  for (std::size_t r = 0; r < columns.longest() && !row_is_empty(columns, r); ++r) {
    for (std::size_t c = 0; c < count; ++c) {
      const std::string& text = columns.cell(c, r);
      const bool last = c + 1 == count;
      if (text.empty()) {
        rows += padded(kAbsent);
      } else {
        rows += last ? text : padded(text);
      }
    }
    rows += " \n";
  }
  return rows;
}

WriteResult write_text_file(const std::string& path, const std::string& text) {
  vantosr::OutputFile file(path);
  if (!file.is_open()) return {WriteOutcome::cannot_open, file.error()};
  if (!file.write(text) || !file.commit()) return {WriteOutcome::cannot_write, file.error()};
  return {};
}

}  // namespace vantoget
