// vantoget: reads control-system channels and prints their values.
#include <iostream>

#include "options.h"
#include "run_loop.h"

int main(int argc, char* argv[]) {
  const vantoget::ParseOutcome parsed = vantoget::parse_options(argc, argv, std::cout, std::cerr);
  if (!parsed.options) return parsed.status;
  return vantoget::run_reader(*parsed.options, std::cout, std::cerr);
}
