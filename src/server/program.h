// The vantoserver program: command line and run function.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "parsed.h"
#include "server.h"

namespace vantoserver {

struct ProgramOptions {
  ServerOptions server;
  std::string config_path;
};

// Parses the command line. Without options to run with, the status is 0
// after --help (the usage text on out) and 2 after a usage error (the text
// on err).
vantocli::Parsed<ProgramOptions> parse_options(int argc, char** argv, std::ostream& out,
                                               std::ostream& err);

// Loads the config, starts the server, prints the "listening" line on out,
// runs wait_for_stop and stops. Returns the exit status.
int run_server(const ProgramOptions& options, std::ostream& out, std::ostream& err,
               const std::function<void()>& wait_for_stop);

}  // namespace vantoserver
