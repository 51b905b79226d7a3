// How a "tango:" address names a Tango device and attribute. No libtango
// here: the rules are plain text work.
#pragma once

#include <string>

#include "vanto/eqadr.h"

namespace vanto::tango {

struct TangoName {
  std::string
      device;  // what DeviceProxy takes: "dom/fam/mem" or "tango://h:p/dom/fam/mem[#dbase=no]"
  std::string attribute;  // the property field, without "#dbase=no"
  std::string db_host;    // the database's host ("" for TANGO_HOST)
  int db_port = 0;
  bool no_database = false;
  // Key of the device for caches: Tango names are case-insensitive.
  std::string device_key() const;
};

// facility/device/location/property map to domain/family/member/attribute.
TangoName tango_name(const EqAdr& adr);

// Lower-case copy (Tango compares names without case).
std::string lower(std::string text);

}  // namespace vanto::tango
