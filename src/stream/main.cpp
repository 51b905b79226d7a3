// streamcat: receives the ZeroMQ data streams of up to 64 channels, groups the
// messages by event id and prints complete events.
#include <exception>
#include <iostream>

#include "escaped_errors.h"
#include "protocol_lookup.h"
#include "standard_output.h"
#include "streamcat_app.h"

namespace {
constexpr const char* kProgram = "streamcat";
}  // namespace

int main(int argc, char** argv) {
  const vantocli::EscapedErrors escaped_errors;
  try {
    vantocli::look_up_protocols_in_files();
    const auto parsed = streamcat::parse_options(argc, argv, std::cout);
    if (!parsed.options) return vantocli::checked_exit(parsed.status, kProgram);
    streamcat::install_signal_handling();
    return vantocli::checked_exit(streamcat::run_streamcat(*parsed.options, std::cout, std::cerr),
                                  kProgram);
  } catch (const std::exception& e) {
    return vantocli::exception_exit(e, kProgram);
  }
}
