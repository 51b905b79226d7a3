// Fixed texts of libvanto's error codes.
#include "vanto/errors.h"

namespace vanto {

std::string get_error_string(int code) {
  switch (code) {
    case ok: return "ok";
    case link_error: return "link error";
    case file_error: return "file error";
    case type_error: return "type error";
    case ill_parameter: return "illegal parameter";
    case out_of_range: return "out of range";
    case not_writable: return "not writable";
    case bad_address: return "bad address";
    case not_implemented: return "not implemented";
    case unavail_serv: return "service unavailable";
    case ill_serv: return "illegal service";
    case ill_property: return "illegal property";
    case ill_location: return "illegal location";
    case ill_device: return "illegal device";
    case bad_frame: return "bad frame";
    case no_ens_entry: return "no name service entry";
    default: return "unknown error";
  }
}

}  // namespace vanto
