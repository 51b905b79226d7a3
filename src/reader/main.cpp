// vantoget: reads control-system channels and prints their values.
#include <exception>
#include <iostream>

#include "escaped_errors.h"
#include "options.h"
#include "protocol_lookup.h"
#include "run_loop.h"
#include "standard_output.h"

namespace {
constexpr const char* kProgram = "vantoget";
}  // namespace

int main(int argc, char* argv[]) {
  const vantocli::EscapedErrors escaped_errors;
  try {
    vantocli::look_up_protocols_in_files();
    const auto parsed = vantoget::parse_options(argc, argv, std::cout, std::cerr);
    if (!parsed.options) return vantocli::checked_exit(parsed.status, kProgram);
    return vantocli::checked_exit(vantoget::run_reader(*parsed.options, std::cout, std::cerr),
                                  kProgram);
  } catch (const std::exception& e) {
    // A failure the client library could not report as an error code.
    return vantocli::exception_exit(e, kProgram);
  }
}
