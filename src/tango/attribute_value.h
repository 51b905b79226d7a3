// Tango attribute values as EqData and back.
#pragma once

#include <string>
#include <vector>

#include "tango_headers.h"

namespace vanto::tango {

// Fills out with the read value of a (read) attribute: its type mapped to
// the library's (docs/tango.md), its time stamp, or the failure. enum_labels
// name the values of a DevEnum attribute. Returns out's code.
int to_eqdata(Tango::DeviceAttribute& attribute, const std::vector<std::string>& enum_labels,
              EqData& out);

// Puts texts into out as a list of records of type DATA_A_USTR or
// DATA_A_STRING; returns out's code.
int set_texts(const std::vector<std::string>& texts, int type, EqData& out);

// Builds the value to write into the attribute described by info from in.
// Returns 0, or an error code with why filled in.
int from_eqdata(const EqData& in, const Tango::AttributeInfoEx& info, Tango::DeviceAttribute& value,
                std::string& why);

}  // namespace vanto::tango
