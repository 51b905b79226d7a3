#include "device_pattern.h"

namespace vantoget {

DevicePattern::DevicePattern(const std::string& device_field) {
  const std::size_t star = device_field.find('*');
  if (star == std::string::npos) {
    prefix_ = device_field;
    return;
  }
  prefix_ = device_field.substr(0, star);
  suffix_ = device_field.substr(star + 1);
}

bool DevicePattern::matches(const std::string& name) const {
  return name.starts_with(prefix_) && name.ends_with(suffix_);
}

}  // namespace vantoget
