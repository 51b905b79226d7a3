// The signals that end a run: SIGINT, SIGTERM and SIGHUP.
#pragma once

#include <signal.h>

#include <atomic>
#include <chrono>

namespace streamcat {

inline constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Prints "SIGNAL: N" on standard error and requests a stop of the run whose
// StopOnEndingSignal lives (nothing more without one). Async-signal-safe.
void int_handler(int signal_number);

// While it lives, an ending signal sets stop to 1. One run at a time.
class StopOnEndingSignal {
 public:
  explicit StopOnEndingSignal(std::atomic<int>& stop);
  ~StopOnEndingSignal();
  StopOnEndingSignal(const StopOnEndingSignal&) = delete;
  StopOnEndingSignal& operator=(const StopOnEndingSignal&) = delete;
};

// Installs int_handler for the ending signals (a SIGHUP ignored at start, as
// nohup leaves it, stays ignored) and blocks them, with SIGIO, in the calling
// thread and so in every thread started afterwards: an ending signal waits
// until the main thread takes it with take_ending_signal.
void install_signal_handling();

// Waits up to timeout for an ending signal and handles it. Every wait of the
// main thread during a run goes through here. A signal taken this way cannot
// be held back as an asynchronous handler can while its thread blocks in a
// join (ThreadSanitizer's runtime does so), which would lose the stop.
void take_ending_signal(std::chrono::microseconds timeout);

}  // namespace streamcat
