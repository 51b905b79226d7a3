// streamcat: receives the ZeroMQ data streams of up to 64 channels, groups the
// messages by event id and prints complete events.
#include <iostream>

#include "escaped_errors.h"
#include "protocol_lookup.h"
#include "standard_output.h"
#include "streamcat_app.h"

int main(int argc, char** argv) {
  const vantocli::EscapedErrors escaped_errors;
  vantocli::look_up_protocols_in_files();
  streamcat::StreamOptions options;
  if (!streamcat::parse_options(argc, argv, options)) {
    streamcat::print_usage(std::cout, argv[0], options);
    return vantocli::checked_exit(streamcat::kUsageStatus, "streamcat");
  }
  streamcat::install_signal_handling();
  return vantocli::checked_exit(streamcat::run_streamcat(options, std::cout, std::cerr),
                                "streamcat");
}
