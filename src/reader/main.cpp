// vantoget: reads control-system channels and prints their values.
#include <exception>
#include <iostream>

#include "options.h"
#include "run_loop.h"
#include "escaped_errors.h"
#include "protocol_lookup.h"
#include "standard_output.h"

int main(int argc, char* argv[]) {
  const vantocli::EscapedErrors escaped_errors;
  vantocli::look_up_protocols_in_files();
  const vantoget::ParseOutcome parsed = vantoget::parse_options(argc, argv, std::cout, std::cerr);
  if (!parsed.options) return vantocli::checked_exit(parsed.status, "vantoget");
  try {
    return vantocli::checked_exit(vantoget::run_reader(*parsed.options, std::cout, std::cerr),
                                  "vantoget");
  } catch (const std::exception& e) {
    // A failure the client library could not report as an error code.
    std::cout.flush();
    std::cerr << "vantoget: " << e.what() << '\n';
    return vantocli::checked_exit(1, "vantoget");
  }
}
