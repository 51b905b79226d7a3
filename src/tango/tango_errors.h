// Tango's exceptions as libvanto error codes and texts.
#pragma once

#include <string>

#include "tango_headers.h"

namespace vanto::tango {

// The code of a failure, from the reasons of its error stack: a device or
// server that does not answer -> unavail_serv, a device the database does not
// know -> no_ens_entry, an unknown attribute -> ill_property, a wrong type ->
// type_error, a write refused -> not_writable; anything else -> ill_serv.
int error_code(const Tango::DevErrorList& errors);

// "REASON: first line of the description" of the error that decided the code
// (the first one when none did).
std::string error_text(const Tango::DevErrorList& errors);

// Puts the failure into out and returns its code.
int fail(const Tango::DevErrorList& errors, EqData& out);

}  // namespace vanto::tango
