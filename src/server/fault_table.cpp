#include "fault_table.h"

namespace vantoserver {

using vanto::rpc::FaultMode;

namespace {

constexpr int kMaxDelayMs = 600'000;

bool valid(FaultMode mode, int code, int count, int delay_ms) {
  switch (mode) {
    case FaultMode::fail_next: return code > 0 && count >= 0;
    case FaultMode::fail_always: return code >= 0;
    case FaultMode::fail_after: return code > 0 && count >= 0;
    case FaultMode::delay: return delay_ms >= 0 && delay_ms <= kMaxDelayMs;
    default: return false;
  }
}

}  // namespace

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
  // Checked before anything is stored: a refused command leaves no entry.
  if (!valid(mode, code, count, delay_ms)) {
    why = "malformed fault command";
    return false;
  }
  auto it = faults_.find(address);
  if (it == faults_.end()) {
    if (faults_.size() >= kMaxAddresses) {
      why = "too many channels with faults (at most " + std::to_string(kMaxAddresses) +
            "); clear them first";
      return false;
    }
    it = faults_.emplace(address, Fault{}).first;
  }
  Fault& fault = it->second;
  switch (mode) {
    case FaultMode::fail_next:
      fault.next_code = code;
      fault.next_count = count;
      break;
    case FaultMode::fail_always: fault.always_code = code; break;
    case FaultMode::fail_after:
      fault.after_code = code;
      fault.passes_left = count;
      break;
    default: fault.delay_ms = delay_ms; break;
  }
  if (fault.next_count == 0 && fault.always_code == 0 && fault.after_code == 0 &&
      fault.delay_ms == 0) {
    faults_.erase(it);
  }
  return true;
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
