// Channel addresses: FACILITY/DEVICE/LOCATION/PROPERTY.
#pragma once

#include <string>

#include "vanto/export.h"

namespace vanto {

// An address with an optional protocol prefix. Accepted forms:
//   F/D/L/P                      (fields may be missing: "F/D" has empty L and P)
//   vanto:F/D/L/P  rask:...  epics:...  tango:...
//   vanto://host:port/F/D/L/P    (goes to that server directly)
// A '*' is kept as an ordinary character; the programs expand it themselves.
class VANTO_EXPORT EqAdr {
 public:
  EqAdr() = default;
  explicit EqAdr(const std::string& text) { adr(text); }

  // Parses text. Returns 0, or bad_address when the text has more than four
  // fields, an empty scheme host or a malformed port; the fields are then
  // empty and error_text() says why.
  int adr(const std::string& text);

  const std::string& facility() const { return facility_; }
  const std::string& device() const { return device_; }
  const std::string& location() const { return location_; }
  const std::string& property() const { return property_; }

  // "vanto", "rask", "epics", "tango" or empty (no prefix).
  const std::string& protocol() const { return protocol_; }
  // Server of a "scheme://host:port/..." address; empty host otherwise.
  const std::string& host() const { return host_; }
  int port() const { return port_; }
  const std::string& error_text() const { return error_text_; }

  void set(const std::string& facility, const std::string& device, const std::string& location,
           const std::string& property);
  void set_facility(const std::string& f) { facility_ = f; }
  void set_device(const std::string& d) { device_ = d; }
  void set_location(const std::string& l) { location_ = l; }
  void set_property(const std::string& p) { property_ = p; }

  // Overlays a partial address: given fields replace, empty fields keep, and a
  // property starting with "." is appended ("///.TARGET" turns PS into
  // PS.TARGET).
  void merge(const std::string& partial);

  // Text form: prefix (as given) and "F/D/L/P" with all three slashes, so an
  // address that has only its first field renders as "F///".
  std::string show_adr() const;
  // The channel's name as a server knows it: "F/D/L/P", without prefix or
  // host.
  std::string channel() const;

 private:
  std::string prefix_;  // as written, e.g. "vanto:" or "vanto://host:1234/"
  std::string protocol_;
  std::string host_;
  int port_ = 0;
  std::string facility_, device_, location_, property_;
  std::string error_text_;
};

}  // namespace vanto
