#include "fault_table.h"

namespace vantoserver {

using vanto::rpc::FaultMode;

namespace {
constexpr int kMaxDelayMs = 600'000;
}

bool FaultTable::apply(FaultMode mode, const std::string& address, int code, int count,
                       int delay_ms, std::string& why) {
  if (mode == FaultMode::clear) {
    faults_.clear();
    return true;
  }
  if (address.empty()) {
    why = "a fault needs a channel address";
    return false;
  }
  Fault& fault = faults_[address];
  switch (mode) {
    case FaultMode::fail_next:
      if (code <= 0 || count < 0) break;
      fault.next_code = code;
      fault.next_count = count;
      return true;
    case FaultMode::fail_always:
      if (code < 0) break;
      fault.always_code = code;
      return true;
    case FaultMode::fail_after:
      if (code <= 0 || count < 0) break;
      fault.after_code = code;
      fault.passes_left = count;
      return true;
    case FaultMode::delay:
      if (delay_ms < 0 || delay_ms > kMaxDelayMs) break;
      fault.delay_ms = delay_ms;
      return true;
    default:
      break;
  }
  why = "malformed fault command";
  return false;
}

FaultDecision FaultTable::check(std::string_view address) {
  if (faults_.empty()) return {};
  const auto it = faults_.find(std::string(address));
  if (it == faults_.end()) return {};
  Fault& fault = it->second;
  FaultDecision decision;
  decision.delay_ms = fault.delay_ms;
  if (fault.next_count > 0) {
    --fault.next_count;
    decision.code = fault.next_code;
  } else if (fault.always_code != 0) {
    decision.code = fault.always_code;
  } else if (fault.after_code != 0) {
    if (fault.passes_left > 0) {
      --fault.passes_left;
    } else {
      decision.code = fault.after_code;
    }
  }
  return decision;
}

}  // namespace vantoserver
