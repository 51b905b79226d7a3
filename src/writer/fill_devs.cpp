#include "fill_devs.h"

#include <device_pattern.h>
#include <retried_call.h>
#include <vanto/eqadr.h>
#include <vanto/eqdata.h>

#include <cstring>

namespace vantoput {
namespace {

// A busy or unreachable server is asked this many times for a name list.
constexpr int kNamesAttempts = 3;
// Error texts of a failed name list are cut to this length.
constexpr std::size_t kNamesErrorTextMax = 7999;

bool has_star(const std::string& field) { return field.find('*') != std::string::npos; }

// A device list entry ends with the device name (its last blank-separated word).
std::string last_word(const std::string& text) {
  const std::size_t end = text.find_last_not_of(" \t");
  if (end == std::string::npos) return {};
  const std::size_t blank = text.find_last_of(" \t", end);
  const std::size_t begin = blank == std::string::npos ? 0 : blank + 1;
  return text.substr(begin, end + 1 - begin);
}

std::string entry_text(const vanto::EqData& list, int index) {
  std::string buffer(8000, '\0');
  list.get_string(index, buffer.data(), static_cast<int>(buffer.size()));
  buffer.resize(buffer.find('\0'));
  return buffer;
}

bool fields_are_usable(WriterSession& s, const vanto::EqAdr& addr) {
  if (addr.facility().empty() || addr.device().empty() || addr.location().empty() ||
      addr.property().empty()) {
    s.out << "ERROR: all address fields (facility/device/location/property) must be non-empty, "
             "wildcards are allowed in device and location !\n";
    return false;
  }
  if (has_star(addr.facility()) || has_star(addr.property())) {
    s.out << "ERROR: wildcard in facility/property address fields is not allowed!\n";
    return false;
  }
  return true;
}

// The devices of the facility that the device pattern selects. An empty list
// when none is selected or the list cannot be read (after a message).
std::vector<std::string> matching_devices(WriterSession& s, const std::string& channel,
                                          vanto::EqAdr& addr, Expansion& expansion) {
  const vantocli::DevicePattern pattern(addr.device(), vantocli::DevicePatternRules::writer);
  if (pattern.prefix().size() > kDeviceNameMax || pattern.suffix().size() > kDeviceNameMax) {
    s.err << "vantoput: the device pattern " << addr.device() << " has a part longer than "
          << kDeviceNameMax << " characters, nothing set\n";
    expansion.refused = true;
    return {};
  }
  vanto::EqData retry_in, list;
  const int code = vantocli::retried_names(s.call, addr, list, retry_in, kNamesAttempts);
  if (code != 0) {
    s.err << channel << " device names call: " << list.error_text().substr(0, kNamesErrorTextMax)
          << ", res.error() = " << code << "\n";
    return {};
  }
  std::vector<std::string> devs;
  for (int k = 0; k < list.length(); ++k) {
    const std::string name = last_word(entry_text(list, k));
    if (!pattern.matches(name)) continue;
    if (name.size() > kDeviceNameMax) {
      s.err << "vantoput: the device name " << name << " is longer than " << kDeviceNameMax
            << " characters, nothing set\n";
      expansion.refused = true;
      return {};
    }
    devs.push_back(name);
  }
  return devs;
}

// Appends one address to the expansion; false after a message when it is
// longer than an address text may be.
bool append_address(WriterSession& s, const vanto::EqAdr& addr, Expansion& expansion) {
  std::string text = addr.show_adr();
  if (text.size() > kAddressTextMax) {
    s.err << "vantoput: the expanded address " << text << " is longer than " << kAddressTextMax
          << " characters, nothing set\n";
    expansion.refused = true;
    return false;
  }
  expansion.locs.push_back(std::move(text));
  return true;
}

// Appends the address of every location of the current device. False when
// the whole expansion has to stop (a refusal); a device whose locations
// cannot be listed, or that has none, is only passed over.
bool append_locations(WriterSession& s, const std::string& channel, vanto::EqAdr& addr,
                      Expansion& expansion) {
  vanto::EqData retry_in, list;
  const int code = vantocli::retried_names(s.call, addr, list, retry_in, kNamesAttempts);
  if (code != 0) {
    s.err << channel << " names call: " << list.error_text().substr(0, kNamesErrorTextMax)
          << ", res.error() = " << code << "\n";
    expansion.device_passed_over = true;
    return true;
  }
  const auto count = static_cast<std::size_t>(list.length());
  if (count > kLocationsMax) {
    s.err << "vantoput: the device " << addr.device() << " has " << count
          << " locations, more than the " << kLocationsMax << " one write may expand to, "
          << "nothing set\n";
    expansion.refused = true;
    return false;
  }
  vanto::EqAdr one = addr;
  for (std::size_t k = 0; k < count; ++k) {
    const vanto::USTR entry = list.get_ustr(static_cast<int>(k));
    // The record's length may count a terminating NUL: the name ends before it.
    const std::string location =
        entry.str_data == nullptr
            ? std::string()
            : std::string(entry.str_data, ::strnlen(entry.str_data, entry.str_length));
    one.set_location(location);
    if (!append_address(s, one, expansion)) return false;
  }
  return true;
}

}  // namespace

Expansion fill_devs(WriterSession& s, const std::string& channel) {
  Expansion expansion;
  vanto::EqAdr addr;
  addr.adr(channel);  // a text that does not parse leaves every field empty
  if (!fields_are_usable(s, addr)) return expansion;

  std::vector<std::string> devs;
  const bool device_pattern = has_star(addr.device());
  if (device_pattern) {
    devs = matching_devices(s, channel, addr, expansion);
    if (devs.empty()) return expansion;
  } else {
    devs.push_back(addr.device());
  }
  const bool location_pattern = has_star(addr.location());
  for (const std::string& device : devs) {
    addr.set_device(device);
    const bool go_on = location_pattern ? append_locations(s, channel, addr, expansion)
                                        : append_address(s, addr, expansion);
    if (!go_on) break;
  }
  if (expansion.refused) expansion.locs.clear();
  return expansion;
}

}  // namespace vantoput
