// Error codes and exceptions of libvanto.
#pragma once

#include <stdexcept>
#include <string>

#include "vanto/export.h"

namespace vanto {

// Error codes carried by EqData::error(). The numbers are shared with the
// servers and with scripts that read the programs' messages.
enum ErrorCodes : int {
  ok = 0,
  link_error = 1,       // a local failure of the library itself
  file_error = 2,       // a file could not be opened or written
  type_error = 3,       // the value has the wrong type for the operation
  ill_parameter = 5,    // a request argument is malformed
  out_of_range = 6,     // an index or value outside what the channel has
  not_writable = 7,     // set on a channel that only allows reads
  bad_address = 8,      // an address that cannot be parsed
  not_implemented = 9,  // the protocol or operation is not implemented
  unavail_serv = 100,   // no answer from the server in time, or no server
  ill_serv = 101,       // the server could not serve the call
  ill_property = 102,   // unknown property
  ill_location = 103,   // unknown location
  ill_device = 104,     // unknown device
  bad_frame = 105,      // a malformed request or reply frame
  no_ens_entry = 119,   // facility or device unknown to the name service
};

// The library's fixed text for a code ("unknown error" for unknown codes).
VANTO_EXPORT std::string get_error_string(int code);

// A failure of the library.
class VANTO_EXPORT Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failure with one of the codes above.
class VANTO_EXPORT ErrorCode : public Error {
 public:
  ErrorCode(int code, const std::string& message) : Error(message), code_(code) {}
  int code() const noexcept { return code_; }

 private:
  int code_;
};

}  // namespace vanto
