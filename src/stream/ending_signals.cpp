#include "ending_signals.h"

#include <unistd.h>

#include <cstring>

namespace streamcat {

namespace {

// The stop flag of the running run. The handler may run on any thread at any
// moment: a lock-free atomic pointer is all it touches besides write(2).
std::atomic<std::atomic<int>*> stop_target{nullptr};
static_assert(std::atomic<std::atomic<int>*>::is_always_lock_free);

sigset_t ending_set() {
  sigset_t ending;
  sigemptyset(&ending);
  for (const int signal_number : kEndingSignals) sigaddset(&ending, signal_number);
  return ending;
}

}  // namespace

void int_handler(int signal_number) {
  // Only async-signal-safe calls here: format by hand, write(2).
  char text[32] = "SIGNAL: ";
  size_t at = std::strlen(text);
  char digits[12];
  int n = 0;
  unsigned value = static_cast<unsigned>(signal_number);
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value && n < 11);
  while (n > 0) text[at++] = digits[--n];
  text[at++] = '\n';
  [[maybe_unused]] ssize_t written = write(STDERR_FILENO, text, at);
  if (std::atomic<int>* stop = stop_target.load()) stop->store(1);
}

StopOnEndingSignal::StopOnEndingSignal(std::atomic<int>& stop) { stop_target.store(&stop); }

StopOnEndingSignal::~StopOnEndingSignal() { stop_target.store(nullptr); }

void install_signal_handling() {
  // kill, timeout and service managers stop a program with SIGTERM, a closed
  // terminal sends SIGHUP: each ends the run as Ctrl-C does, with what was
  // printed kept and the cursor restored.
  struct sigaction action {};
  action.sa_handler = int_handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  for (const int signal_number : kEndingSignals) {
    struct sigaction inherited {};
    sigaction(signal_number, nullptr, &inherited);
    if (signal_number == SIGHUP && inherited.sa_handler == SIG_IGN) continue;
    sigaction(signal_number, &action, nullptr);
  }
  sigset_t blocked = ending_set();
  sigaddset(&blocked, SIGIO);
  pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
}

void take_ending_signal(std::chrono::microseconds timeout) {
  const sigset_t ending = ending_set();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
  const timespec wait{static_cast<time_t>(seconds.count()),
                      static_cast<long>((timeout - seconds).count() * 1000)};
  const int signal_number = sigtimedwait(&ending, nullptr, &wait);
  if (signal_number > 0) {
    // An ignored SIGHUP is never pending; the others have the handler.
    int_handler(signal_number);
  }
}

}  // namespace streamcat
