// Values between Channel Access's DBR types and the library's EqData.
#pragma once

#include <string>
#include <vector>

#include "ca_headers.h"
#include "vanto/eqdata.h"

namespace vanto::epics {

// The DBR_TIME_* type in which a channel of native type field_type is read:
// shorts and scalar chars as longs (INT), enums as their label text.
chtype read_type(chtype field_type, unsigned long element_count);

// Fills out from a DBR_TIME_* value of count elements of channel pv (out
// holds the error when it fails). A value of severity INVALID is a failed
// read. Returns out's code.
int to_eqdata(const std::string& pv, chtype type, unsigned long count, const void* value,
              bool array, EqData& out);

// A value ready for ca_array_put_callback.
struct PutValue {
  chtype type = DBR_DOUBLE;
  unsigned long count = 1;
  std::vector<char> bytes;
};

// Converts in for a channel of native type field_type that holds at most
// element_count elements; on failure returns the code and puts the reason
// into why.
int from_eqdata(const EqData& in, chtype field_type, unsigned long element_count, PutValue& put,
                std::string& why);

}  // namespace vanto::epics
