// The device pattern of a wildcard address: which device names a device field
// such as "P*", "*NG" or "AB*XY" stands for.
#pragma once

#include <string>

namespace vantocli {

// The two programs read a device pattern slightly differently:
//  - reader: prefix (before the first '*') and suffix (after it) are checked
//    one after the other, so "*X*" keeps names ending in the two characters
//    "X*" (a later '*' is an ordinary character);
//  - writer: a pattern that begins and ends with '*' (and is longer than
//    one character), such as "*X*", selects no device, and a pattern that
//    ends with '*' checks only its prefix ("A*B*" keeps every name beginning
//    with A).
// In both, "*" alone keeps every name, and prefix and suffix are tested on
// the whole name, so they may overlap ("AB*BC" keeps "ABC").
enum class DevicePatternRules { reader, writer };

class DevicePattern {
 public:
  DevicePattern(const std::string& pattern, DevicePatternRules rules);

  bool matches(const std::string& name) const;

  // The text before the first '*' and the text after it (empty when the '*'
  // is the first or the last character). A pattern without '*' matches only
  // itself and is its own prefix.
  const std::string& prefix() const { return prefix_; }
  const std::string& suffix() const { return suffix_; }

 private:
  enum class Kind { every, exact, prefix_only, suffix_only, prefix_and_suffix, none };
  Kind kind_ = Kind::none;
  std::string prefix_;
  std::string suffix_;
};

}  // namespace vantocli
