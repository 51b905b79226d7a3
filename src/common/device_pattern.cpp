#include "device_pattern.h"

namespace vantocli {
namespace {

bool begins_with(const std::string& name, const std::string& prefix) {
  return name.compare(0, prefix.size(), prefix) == 0;
}

bool ends_with(const std::string& name, const std::string& suffix) {
  return name.size() >= suffix.size() &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

DevicePattern::DevicePattern(const std::string& pattern, DevicePatternRules rules) {
  const std::size_t star = pattern.find('*');
  if (star == std::string::npos) {
    // No wildcard at all: the pattern is one device name.
    prefix_ = pattern;
    kind_ = Kind::exact;
    return;
  }
  prefix_ = pattern.substr(0, star);
  suffix_ = pattern.substr(star + 1);
  if (pattern.size() == 1) {
    kind_ = Kind::every;
  } else if (rules == DevicePatternRules::writer && pattern.back() == '*') {
    // "*X*" and "**" select nothing; "P*" and "A*B*" check the prefix only.
    kind_ = prefix_.empty() ? Kind::none : Kind::prefix_only;
  } else if (prefix_.empty()) {
    kind_ = Kind::suffix_only;
  } else if (suffix_.empty()) {
    kind_ = Kind::prefix_only;
  } else {
    kind_ = Kind::prefix_and_suffix;
  }
}

bool DevicePattern::matches(const std::string& name) const {
  switch (kind_) {
    case Kind::every: return true;
    case Kind::exact: return name == prefix_;
    case Kind::prefix_only: return begins_with(name, prefix_);
    case Kind::suffix_only: return ends_with(name, suffix_);
    case Kind::prefix_and_suffix: return begins_with(name, prefix_) && ends_with(name, suffix_);
    case Kind::none: return false;
  }
  return false;
}

}  // namespace vantocli
