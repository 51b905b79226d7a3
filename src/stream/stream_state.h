// The state of one streamcat run: its settings, the synchronisation buffer,
// the stop request and the output thread's wake-up. The run owns one and
// hands it to every thread it starts; a test builds a fresh one.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "sync_buffer.h"

namespace streamcat {

struct StreamState {
  // Settings: written before the threads start, only read while they run.
  int cycles = 100;            // events to print (-n); negative: no limit
  int debug = 1;               // print level (-d)
  unsigned int bufs = 8;       // depth of buf (-b); a depth below 1 counts as 1
  bool keep = false;           // -k: a full buffer refuses new events
  int connect_timeout = 5000;  // ms to wait for a channel's first message (-t)
  int nchans = 0;              // channels; an entry with this many slots is complete

  // The waiting entries, oldest first, and the event ids of messages that a
  // receive thread has decided to keep but not yet filed (at most one per
  // receive thread). Both guarded by bmutex.
  std::mutex bmutex;
  std::deque<std::unique_ptr<data_entry>> buf;
  std::vector<int64_t> events_being_stored;

  // Ends every loop of the run; set by threads and by an ending signal.
  std::atomic<int> stop{0};
  // True from the storing of a message until the output thread runs dry.
  std::atomic<bool> read_data_prepared{false};
  // Set when a channel could not be bound, connected, gave no first message
  // or failed to receive (not when it ended on a stop request).
  std::atomic<bool> receive_failed{false};

  // Wake-up of the output thread: read_go guarded by read_mmx.
  std::mutex read_mmx;
  std::condition_variable read_cond;
  int read_go = 0;
};

static_assert(std::atomic<int>::is_always_lock_free);

}  // namespace streamcat
