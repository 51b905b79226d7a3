// vantoput: writes values into control-system channels.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "escaped_errors.h"
#include "options.h"
#include "protocol_lookup.h"
#include "run.h"
#include "standard_output.h"

namespace {
constexpr const char* kProgram = "vantoput";
}  // namespace

int main(int argc, char** argv) {
  const vantocli::EscapedErrors escaped_errors;
  try {
    vantocli::look_up_protocols_in_files();
    const std::vector<std::string> args(argv, argv + argc);
    const auto parsed = vantoput::parse_options(args, std::cout, std::cerr);
    if (!parsed.options) return vantocli::checked_exit(parsed.status, kProgram);
    return vantocli::checked_exit(vantoput::run_vantoput(*parsed.options, std::cout, std::cerr),
                                  kProgram);
  } catch (const std::exception& e) {
    // A failure the client library could not report as an error code.
    return vantocli::exception_exit(e, kProgram);
  }
}
