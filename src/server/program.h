// The vantoserver program: command line and run function.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "server.h"

namespace vantoserver {

struct ProgramOptions {
  ServerOptions server;
  std::string config_path;
  bool help = false;
};

// Parses the command line. Returns true to go on; false with status set (0
// after --help, 2 after a usage error, the text written to out or err).
bool parse_options(int argc, char** argv, ProgramOptions& options, int& status,
                   std::ostream& out, std::ostream& err);

// Loads the config, starts the server, prints the "listening" line on out,
// runs wait_for_stop and stops. Returns the exit status.
int run_server(const ProgramOptions& options, std::ostream& out, std::ostream& err,
               const std::function<void()>& wait_for_stop);

}  // namespace vantoserver
