// Expansion of a wildcard address into the full addresses it stands for.
#pragma once

#include <string>
#include <vector>

#include "session.h"

namespace vantoput {

// Fixed sizes of the expansion: names beyond them are refused, never cut.
inline constexpr std::size_t kDeviceNameMax = 63;    // a device name, a pattern part
inline constexpr std::size_t kLocationsMax = 1000;   // locations of one device
inline constexpr std::size_t kAddressTextMax = 259;  // one expanded address

struct Expansion {
  std::vector<std::string> locs;  // the expanded addresses, in list order
  // Set after a message when a name exceeds a fixed size: nothing of the
  // expansion may be written.
  bool refused = false;
  // Set when the locations of a selected device could not be listed: the
  // other devices are still written, but the run is no success.
  bool device_passed_over = false;
};

// Expands channel, whose device and/or location field holds '*': the device
// pattern selects among the facility's devices, a '*' in the location takes
// every location of each device. The address's own prefix is kept. Address
// field problems go to s.out, call failures and refusals to s.err; a device
// that cannot be listed or has no locations is passed over.
Expansion fill_devs(WriterSession& s, const std::string& channel);

}  // namespace vantoput
