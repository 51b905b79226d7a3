#include "tango_address.h"

#include <cctype>

namespace vanto::tango {

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string TangoName::device_key() const { return lower(device); }

TangoName tango_name(const EqAdr& adr) {
  TangoName name;
  // "#dbase=no" ends the address, after the attribute (or after the member
  // when no attribute is given).
  std::string member = adr.location();
  name.attribute = adr.property();
  for (std::string* field : {&member, &name.attribute}) {
    const size_t hash = field->find('#');
    if (hash == std::string::npos) continue;
    name.no_database = lower(field->substr(hash + 1)) == "dbase=no";
    field->erase(hash);
  }
  const std::string path = adr.facility() + "/" + adr.device() + "/" + member;
  if (adr.host().empty()) {
    name.device = path;
  } else {
    name.db_host = adr.host();
    name.db_port = adr.port();
    name.device = "tango://" + adr.host() + ":" + std::to_string(adr.port()) + "/" + path;
    if (name.no_database) name.device += "#dbase=no";
  }
  return name;
}

}  // namespace vanto::tango
