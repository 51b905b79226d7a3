#include "channel_table.h"

namespace vantoget {

bool ChannelTable::add(std::string name, std::unique_ptr<vanto::EqData> result) {
  if (entries_.size() >= kCapacity) return false;
  entries_.push_back({std::move(name), std::move(result)});
  return true;
}

bool ChannelTable::append_all(ChannelTable& other) {
  if (entries_.size() + other.entries_.size() > kCapacity) return false;
  for (auto& entry : other.entries_) entries_.push_back(std::move(entry));
  other.entries_.clear();
  return true;
}

}  // namespace vantoget
