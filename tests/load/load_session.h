// One load client's session against a vantoserver: mixed gets and sets on the
// client's own channels, spoken as raw request/reply frames over a DEALER
// socket so that every reply can be counted per request id (the library's
// EqCall would hide a duplicate or a missing reply).
#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace vantoload {

struct LoadOptions {
  std::string server;    // "host:port" of the vantoserver
  int client = 1;        // the client owns the location C<client>
  long requests = 1000;  // mixed gets and sets (the final read-back comes on top)
  int window = 16;       // requests in flight at once
  // Longest wait for the next reply before the rest count as missing.
  std::chrono::milliseconds silence{30000};
};

struct LoadFigures {
  long sent = 0;        // requests sent, read-back included
  long replies = 0;     // first replies to a sent request
  long missing = 0;     // requests without a reply
  long duplicated = 0;  // further replies to an answered request
  long unexpected = 0;  // replies that answer no request of ours, or malformed
  long errors = 0;      // replies carrying an error code
  long mismatched = 0;  // reads whose value is not the last value written
  long sets = 0;        // acknowledged sets
  long reads = 0;       // reads whose value was checked
  double seconds = 0;   // wall time of the session

  bool clean() const {
    return missing == 0 && duplicated == 0 && unexpected == 0 && errors == 0 && mismatched == 0 &&
           replies == sent;
  }
};

// Runs the session; diagnostics (the first few faults) go to err.
LoadFigures run_load(const LoadOptions& options, std::ostream& err);

// "client 3: sent 20003, replies 20003, missing 0, ..." (one line, no newline).
std::string figures_line(int client, const LoadFigures& figures);

}  // namespace vantoload
