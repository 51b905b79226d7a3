#include "pv_name.h"

namespace vanto::epics {

std::string pv_name(const EqAdr& adr) {
  std::string name;
  for (const std::string* field :
       {&adr.facility(), &adr.device(), &adr.location(), &adr.property()}) {
    if (field->empty() || *field == ".") continue;
    // ".EGU" names a field of the record before it, as in TEST:AO.EGU.
    if (!name.empty() && field->front() != '.') name += ':';
    name += *field;
  }
  return name;
}

}  // namespace vanto::epics
