// streamcat's command line and run: options, channel list, threads, exit status.
#pragma once

#include <csignal>
#include <ostream>
#include <string>

#include "ending_signals.h"
#include "parsed.h"
#include "zmq_binding.h"

namespace streamcat {

inline constexpr int kMaxChannels = 64;
inline constexpr int kUsageStatus = 255;

struct StreamOptions {
  int cycles = 100;
  int debug = 1;
  int bufs = 8;
  bool keep = false;
  int connect_timeout = 5000;
  bool have_list = false;
  std::string list;  // the -c argument
  // Not options of the command line: what a test changes.
  std::string zmq_library = kZmqLibrary;
  // Hide the cursor while running ("tput civis" / "tput cnorm"), when
  // standard output is a terminal.
  bool terminal_cursor = true;
};

// Reads the options from argv[1] on, up to the first word it cannot take.
// Without an address list it writes the usage text (with the values read so
// far) to out and ends with kUsageStatus.
vantocli::Parsed<StreamOptions> parse_options(int argc, const char* const* argv, std::ostream& out);

// The usage text with the current values of the settings.
void print_usage(std::ostream& out, const char* program, const StreamOptions& options);

// Receives and prints until the cycle count is used up, a channel fails or a
// stop is requested. Returns 0 for a normal end or a stop request, 1 when
// ZeroMQ could not be bound or a channel failed, 255 for an empty list.
int run_streamcat(const StreamOptions& options, std::ostream& out, std::ostream& err);

}  // namespace streamcat
