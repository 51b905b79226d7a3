// vantoput: writes values into control-system channels.
#include <iostream>
#include <string>
#include <vector>

#include <vanto/errors.h>

#include "options.h"
#include "run.h"
#include "escaped_errors.h"
#include "protocol_lookup.h"
#include "standard_output.h"

int main(int argc, char** argv) {
  const vantocli::EscapedErrors escaped_errors;
  vantocli::look_up_protocols_in_files();
  const std::vector<std::string> args(argv, argv + argc);
  const vantoput::ParsedOptions parsed = vantoput::parse_options(args, std::cout, std::cerr);
  if (parsed.exit_status) return vantocli::checked_exit(*parsed.exit_status, "vantoput");
  try {
    return vantocli::checked_exit(vantoput::run_vantoput(parsed.options, std::cout, std::cerr),
                                  "vantoput");
  } catch (const vanto::Error& e) {
    std::cerr << "vantoput: " << e.what() << "\n";
    return vantocli::checked_exit(1, "vantoput");
  }
}
