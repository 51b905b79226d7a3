// The two tables of one iteration: plain values and arrays.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <vanto/eqdata.h>

namespace vantoget {

// One read channel: its name (as given or as composed from a wildcard) and
// its own result of this iteration.
struct ChannelEntry {
  std::string name;
  std::unique_ptr<vanto::EqData> result;
};

// A table of at most kCapacity entries, filled from the front and emptied at
// the start of each iteration.
class ChannelTable {
 public:
  static constexpr std::size_t kCapacity = 8000;

  // Adds an entry; false (and nothing added) when the table is full.
  [[nodiscard]] bool add(std::string name, std::unique_ptr<vanto::EqData> result);
  // Moves every entry of other to the end of this table; false (and nothing
  // moved) when they would not fit.
  [[nodiscard]] bool append_all(ChannelTable& other);
  void clear() { entries_.clear(); }

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  std::vector<ChannelEntry>& entries() { return entries_; }
  const std::vector<ChannelEntry>& entries() const { return entries_; }

 private:
  std::vector<ChannelEntry> entries_;
};

}  // namespace vantoget
