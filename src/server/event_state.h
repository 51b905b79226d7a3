// The event clock's count, shared by the clock thread and the request thread.
#pragma once

#include <atomic>
#include <chrono>

#include "channel.h"

namespace vantoserver {

class EventState {
 public:
  // Event ids start at 1 with the first tick; they must fit the INT of the
  // streamed counters for years of running at 10 Hz.
  EventState() = default;

  // Advances the clock by one tick and returns the new event id.
  int64_t tick() {
    ticks_.fetch_add(1, std::memory_order_relaxed);
    return event_id_.fetch_add(1, std::memory_order_acq_rel) + 1;
  }

  Moment now() const {
    const auto t = std::chrono::system_clock::now().time_since_epoch();
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(t).count();
    return Moment{us / 1'000'000, static_cast<uint32_t>(us % 1'000'000),
                  event_id_.load(std::memory_order_acquire),
                  ticks_.load(std::memory_order_relaxed)};
  }

 private:
  std::atomic<int64_t> event_id_{0};
  std::atomic<int64_t> ticks_{0};
};

}  // namespace vantoserver
