// The columns of the -E table of one iteration: one per channel name, present
// only for names with '*', each a list of value texts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantoget {

class TableColumns {
 public:
  // A column holds 8000 cells of at most 79 characters.
  static constexpr std::size_t kMaxCells = 8000;
  static constexpr std::size_t kMaxCellText = 79;

  // Starts an iteration: one absent column per channel name.
  void reset(std::size_t names);
  // Makes the column of a name present (and empty) unless it is already.
  void open(std::size_t index);
  // Appends a value text, cut to 79 characters, to the column of index
  // (opening it). False, and nothing added, when the column is full.
  [[nodiscard]] bool add(std::size_t index, const std::string& text);
  // Drops every column.
  void clear() { columns_.clear(); }

  std::size_t count() const { return columns_.size(); }
  // The cell text at row of column index; empty when absent or not filled.
  const std::string& cell(std::size_t index, std::size_t row) const;
  // Rows that at least one column reaches.
  std::size_t longest() const;

 private:
  std::vector<std::optional<std::vector<std::string>>> columns_;
};

// What the table stage keeps over an iteration and the whole run.
struct TableState {
  TableColumns columns;
  // A table file could not be written in some iteration: the run ends with a
  // failure status.
  bool file_failed = false;
};

}  // namespace vantoget
