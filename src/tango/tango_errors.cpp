#include "tango_errors.h"

#include <array>
#include <string_view>

#include "vanto/errors.h"

namespace vanto::tango {
namespace {

struct ReasonCode {
  std::string_view reason;
  int code;
};

// Matched against every reason of the stack, first entry first: the more
// precise reasons come before the general ones.
constexpr std::array<ReasonCode, 17> kReasons = {{
    {"DB_DeviceNotDefined", no_ens_entry},
    {"API_DeviceNotDefined", no_ens_entry},
    {"API_AttrNotFound", ill_property},
    {"API_AttrNotWritable", not_writable},
    {"API_AttrNotAllowed", not_writable},
    {"API_WAttrOutsideLimit", out_of_range},
    {"API_IncompatibleAttrDataType", type_error},
    {"API_IncompatibleAttrArgumentType", type_error},
    {"API_IncompatibleArgumentType", type_error},
    {"API_IncoherentDataType", type_error},
    {"API_DeviceNotExported", unavail_serv},
    {"API_CantConnectToDevice", unavail_serv},
    {"API_CantConnectToDatabase", unavail_serv},
    {"API_DeviceTimedOut", unavail_serv},
    {"API_ServerNotRunning", unavail_serv},
    {"API_CommunicationFailed", unavail_serv},
    {"API_CorbaException", unavail_serv},
}};

// Index of the entry that decides the code, errors.length() when none does.
unsigned deciding_entry(const Tango::DevErrorList& errors, int* code) {
  for (const ReasonCode& known : kReasons) {
    for (unsigned i = 0; i < errors.length(); ++i) {
      const char* reason = errors[i].reason.in();
      if (reason != nullptr && known.reason == reason) {
        *code = known.code;
        return i;
      }
    }
  }
  *code = ill_serv;
  return errors.length();
}

std::string first_line(const char* text) {
  std::string line = text == nullptr ? "" : text;
  const size_t end = line.find('\n');
  if (end != std::string::npos) line.erase(end);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

}  // namespace

int error_code(const Tango::DevErrorList& errors) {
  int code = ill_serv;
  deciding_entry(errors, &code);
  return code;
}

std::string error_text(const Tango::DevErrorList& errors) {
  if (errors.length() == 0) return "Tango call failed";
  int code = 0;
  unsigned i = deciding_entry(errors, &code);
  if (i == errors.length()) i = 0;
  return first_line(errors[i].reason.in()) + ": " + first_line(errors[i].desc.in());
}

int fail(const Tango::DevErrorList& errors, EqData& out) {
  out.init();
  out.error(error_code(errors), error_text(errors));
  return out.error();
}

}  // namespace vanto::tango
