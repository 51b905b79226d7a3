// One channel of the server: its address, type, current value, and how the
// value changes over time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "history.h"
#include "reply.h"
#include "vanto/eqdata.h"

namespace vantoserver {

using vanto::EqData;

// How a channel's value moves by itself.
// flood: the number of updates published so far, published to subscribers
// at its own rate instead of on the event clock's ticks.
enum class Dynamic { none, counter, sine, noise, event_id, flood };

// Time of a reading and the event it belongs to.
struct Moment {
  int64_t sec = 0;
  uint32_t usec = 0;
  int64_t event_id = 0;
  int64_t ticks = 0;  // event clock ticks since the server started
};

struct StreamSettings {
  bool enabled = false;  // the channel may be streamed (SPN set starts it)
  bool start = false;    // started together with the server
  int version = 2;       // data version: header layout 1 or 2
};

struct Waveform {
  double amplitude = 1.0;
  double period_s = 10.0;
  double offset = 0.0;
  // The value of the waveform kind at time t (seconds) and tick count.
  double at(Dynamic kind, double t, int64_t ticks, int64_t event_id) const;
};

class Channel {
 public:
  Channel(std::string facility, std::string device, std::string location, std::string property,
          int type);

  const std::string& facility() const { return facility_; }
  const std::string& device() const { return device_; }
  const std::string& location() const { return location_; }
  const std::string& property() const { return property_; }
  const std::string& address() const { return address_; }  // "F/D/L/P"
  int type() const { return type_; }

  std::string description;
  bool writable = false;
  Dynamic dynamic = Dynamic::none;
  Waveform waveform;
  StreamSettings stream;
  size_t max_length = 65536;  // largest element count a set may write
  double flood_rate = 0;      // updates per second of a flood; 0: as fast as it can

  // Counts one more update of a flood channel (its value from then on).
  void count_flood_update() { flood_updates_.fetch_add(1, std::memory_order_relaxed); }

  // The initial value (set while loading, before any thread runs).
  EqData& initial() { return value_; }
  void attach_history(std::unique_ptr<History> history) { history_ = std::move(history); }
  History* history() { return history_.get(); }
  const History* history() const { return history_.get(); }

  // The current value, stamped with the moment.
  void read(EqData& out, const Moment& now) const;
  // The stored value encoded for a reply, made once per written value, so
  // that a get of a value that does not move costs no copy of it. Null for a
  // value that moves by itself or holds an error.
  std::shared_ptr<const Encoded> encoded() const;
  // Replaces the value; returns 0 or an error code with text in why.
  int write(const EqData& in, std::string& why);
  // Counts writes; a subscription publishes when it moves.
  uint64_t revision() const;

 private:
  std::string facility_, device_, location_, property_, address_;
  int type_;
  mutable std::mutex mutex_;
  EqData value_;
  mutable std::shared_ptr<const Encoded> encoded_;  // of value_, made on demand
  uint64_t revision_ = 0;
  std::atomic<int64_t> flood_updates_{0};
  std::unique_ptr<History> history_;
};

}  // namespace vantoserver
