// How an "epics:" address names a Channel Access process variable. No
// Channel Access here: the rule is plain text work.
#pragma once

#include <string>

#include "vanto/eqadr.h"

namespace vanto::epics {

// The fields of the address joined with ':', leaving out empty fields and
// fields that are a lone "." (a save & restore entry fills the fields that a
// single-part name does not use with "."): "epics:TEST:AO" and
// "epics:TEST:AO/././." name TEST:AO, "epics:SR/C01/BPM1/X" names SR:C01:BPM1:X.
// A field that begins with "." names a field of the record: "epics:TEST/AO/./.EGU"
// is TEST:AO.EGU.
std::string pv_name(const EqAdr& adr);

}  // namespace vanto::epics
