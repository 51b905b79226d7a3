// vantozmq_subscribe <vanto_address>: subscribes to the address and prints
// every update with the local time of reception until Ctrl-C.
#include <atomic>
#include <exception>
#include <iostream>

#include "escaped_errors.h"
#include "protocol_lookup.h"
#include "standard_output.h"
#include "subscribe.h"

namespace {
constexpr const char* kProgram = "vantozmq_subscribe";
}  // namespace

int main(int argc, char** argv) {
  const vantocli::EscapedErrors escaped_errors;
  try {
    vantocli::look_up_protocols_in_files();
    const auto parsed = vantosub::parse_options(argc, argv, std::cerr);
    if (!parsed.options) return vantocli::checked_exit(parsed.status, kProgram);
    const std::atomic<bool> never_stop{false};  // Ctrl-C ends the process
    return vantocli::checked_exit(
        vantosub::run_subscription(*parsed.options, std::cout, std::cerr, never_stop), kProgram);
  } catch (const std::exception& e) {
    return vantocli::exception_exit(e, kProgram);
  }
}
