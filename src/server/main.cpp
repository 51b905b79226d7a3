// vantoserver: the reference equipment server.
#include <pthread.h>
#include <signal.h>

#include <exception>
#include <iostream>

#include "program.h"
#include "standard_output.h"

namespace {

constexpr const char* kProgram = "vantoserver";

// SIGINT and SIGTERM are taken by sigwait; the server's threads, created
// after this, inherit the blocked mask.
sigset_t block_stop_signals() {
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  return stop_signals;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const auto parsed = vantoserver::parse_options(argc, argv, std::cout, std::cerr);
    if (!parsed.options) return vantocli::checked_exit(parsed.status, kProgram);
    const sigset_t stop_signals = block_stop_signals();
    return vantocli::checked_exit(vantoserver::run_server(*parsed.options, std::cout, std::cerr,
                                                          [&] {
                                                            int signal_number = 0;
                                                            sigwait(&stop_signals, &signal_number);
                                                          }),
                                  kProgram);
  } catch (const std::exception& e) {
    return vantocli::exception_exit(e, kProgram);
  }
}
