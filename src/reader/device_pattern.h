// The device pattern of a single name with '*' in its device part, as the
// device-name pass before the run loop applies it to the facility's devices.
#pragma once

#include <string>

namespace vantoget {

// Device names and the parts of a pattern hold at most this many characters.
inline constexpr std::size_t kMaxDeviceName = 63;

// A device field holding a '*', cut at its first '*'. Only that first '*' is a
// wildcard: any later '*' is an ordinary character of the suffix.
class DevicePattern {
 public:
  explicit DevicePattern(const std::string& device_field);

  // True when name begins with the prefix and ends with the suffix. "*" alone
  // keeps every name. Prefix and suffix may overlap in the name, so AB*BC
  // keeps "ABC".
  bool matches(const std::string& name) const;

  const std::string& prefix() const { return prefix_; }
  const std::string& suffix() const { return suffix_; }

 private:
  std::string prefix_;  // text before the first '*' (may be empty)
  std::string suffix_;  // text after the first '*' (may be empty)
};

}  // namespace vantoget
