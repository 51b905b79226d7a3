// vantoserver: the reference equipment server.
#include <pthread.h>
#include <signal.h>

#include <iostream>

#include "program.h"

int main(int argc, char** argv) {
  vantoserver::ProgramOptions options;
  int status = 0;
  if (!vantoserver::parse_options(argc, argv, options, status, std::cout, std::cerr))
    return status;
  // SIGINT and SIGTERM are taken by sigwait below; the server's threads,
  // created after this, inherit the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  return vantoserver::run_server(options, std::cout, std::cerr, [&] {
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
  });
}
