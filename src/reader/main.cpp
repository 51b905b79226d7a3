// vantoget: reads control-system channels and prints their values.
#include <exception>
#include <iostream>

#include "options.h"
#include "run_loop.h"

int main(int argc, char* argv[]) {
  const vantoget::ParseOutcome parsed = vantoget::parse_options(argc, argv, std::cout, std::cerr);
  if (!parsed.options) return parsed.status;
  try {
    return vantoget::run_reader(*parsed.options, std::cout, std::cerr);
  } catch (const std::exception& e) {
    // A failure the client library could not report as an error code.
    std::cout.flush();
    std::cerr << "vantoget: " << e.what() << '\n';
    return 1;
  }
}
