#include "table_columns.h"

#include <algorithm>

namespace vantoget {

namespace {
const std::string kNoText;
}

void TableColumns::reset(std::size_t names) {
  columns_.clear();
  columns_.resize(names);
}

void TableColumns::open(std::size_t index) {
  if (index >= columns_.size()) columns_.resize(index + 1);
  if (!columns_[index]) columns_[index].emplace();
}

bool TableColumns::add(std::size_t index, const std::string& text) {
  open(index);
  std::vector<std::string>& column = *columns_[index];
  if (column.size() >= kMaxCells) return false;
  column.push_back(text.substr(0, kMaxCellText));
  return true;
}

const std::string& TableColumns::cell(std::size_t index, std::size_t row) const {
  if (index >= columns_.size() || !columns_[index]) return kNoText;
  const std::vector<std::string>& column = *columns_[index];
  return row < column.size() ? column[row] : kNoText;
}

std::size_t TableColumns::longest() const {
  std::size_t rows = 0;
  for (const auto& column : columns_) {
    if (column) rows = std::max(rows, column->size());
  }
  return rows;
}

}  // namespace vantoget
