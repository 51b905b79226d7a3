// The history ring of a channel of a history type (A_TDS, A_TS_*).
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "vanto/eqdata.h"

namespace vantoserver {

using vanto::EqData;

struct HistoryPoint {
  int64_t sec = 0;
  int32_t msec = 0;
  uint32_t status = 0;
  double value = 0;
};

// Most points a reply carries; a reader asks again for the older ones.
inline constexpr size_t kMaxHistoryReply = 2000;

class History {
 public:
  History(int type, size_t capacity, int period_s);

  int type() const { return type_; }
  int period_s() const { return period_s_; }
  // Appends a point (the oldest falls out when full). Points come in time order.
  void push(const HistoryPoint& point);
  // Time of the newest point (0 when empty).
  int64_t newest_sec() const;
  // Points with seconds in [tm1, tm2], the newest kMaxHistoryReply of them,
  // oldest first, as a value of the history's type.
  void query(int64_t tm1, int64_t tm2, EqData& out) const;
  size_t size() const;

 private:
  int type_;
  int period_s_;
  mutable std::mutex mutex_;
  std::vector<HistoryPoint> ring_;
  size_t capacity_;
  size_t next_ = 0;  // slot of the next push once the ring is full
};

}  // namespace vantoserver
