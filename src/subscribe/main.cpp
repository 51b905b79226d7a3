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
  vantocli::look_up_protocols_in_files();
  try {
    vantosub::ReturnCode status = vantosub::success;
    auto address = vantosub::parse_args(argc, argv, std::cerr, status);
    if (!address) return vantocli::checked_exit(status, kProgram);
    const std::atomic<bool> never_stop{false};  // Ctrl-C ends the process
    return vantocli::checked_exit(
        vantosub::run_subscription(*address, std::cout, std::cerr, never_stop), kProgram);
  } catch (const std::exception& e) {
    std::cerr << "Error: " << e.what() << "\n";
    return vantocli::checked_exit(vantosub::unspecific_error, kProgram);
  }
}
