// Faults a test injects into channels: failures with a chosen code, and slow
// answers. Used by the request thread only.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "rpc_protocol.h"

namespace vantoserver {

struct FaultDecision {
  int code = 0;      // non-zero: answer with this error
  int delay_ms = 0;  // answer this much later
};

class FaultTable {
 public:
  // Most channels that may carry a fault at once.
  static constexpr size_t kMaxAddresses = 1000;

  // Applies a fault command; false with why set for a malformed command or
  // one more channel than kMaxAddresses.
  bool apply(vanto::rpc::FaultMode mode, const std::string& address, int code, int count,
             int delay_ms, std::string& why);
  // What to do with a call on address (uses up one of its "next" failures).
  FaultDecision check(std::string_view address);
  bool empty() const { return faults_.empty(); }

 private:
  struct Fault {
    int next_code = 0;
    int next_count = 0;
    int always_code = 0;
    int passes_left = 0;  // calls still answered before after_code applies
    int after_code = 0;
    int delay_ms = 0;
  };
  std::unordered_map<std::string, Fault> faults_;
};

}  // namespace vantoserver
