#include "history.h"

#include <algorithm>
#include <cstring>

#include "numeric_value.h"
#include "vanto/codec.h"
#include "wire.h"

namespace vantoserver {

namespace {

template <typename T>
void put(uint8_t* slot, T value) {
  std::memcpy(slot, &value, sizeof value);
}

// The value slot of a time-stamped element holds the element's own type.
void store_slot(int type, double v, uint8_t* slot) {
  using namespace vanto;
  switch (type) {
    case DATA_A_TS_BOOL: put(slot, static_cast<uint8_t>(v != 0)); break;
    case DATA_A_TS_INT: put(slot, saturated<int32_t>(v)); break;
    case DATA_A_TS_FLOAT: put(slot, static_cast<float>(v)); break;
    case DATA_A_TS_LONG: put(slot, saturated<int64_t>(v)); break;
    case DATA_A_TS_SHORT: put(slot, saturated<int16_t>(v)); break;
    case DATA_A_TS_USHORT: put(slot, saturated<uint16_t>(v)); break;
    case DATA_A_TS_UINT: put(slot, saturated<uint32_t>(v)); break;
    case DATA_A_TS_ULONG: put(slot, saturated<uint64_t>(v)); break;
    default: put(slot, v); break;
  }
}

}  // namespace

History::History(int type, size_t capacity, int period_s)
    : type_(type), period_s_(std::max(1, period_s)), capacity_(std::max<size_t>(1, capacity)) {
  ring_.reserve(capacity_);
}

void History::push(const HistoryPoint& point) {
  std::lock_guard lock(mutex_);
  if (ring_.size() < capacity_) {
    ring_.push_back(point);
  } else {
    ring_[next_] = point;
    next_ = (next_ + 1) % capacity_;
  }
}

size_t History::size() const {
  std::lock_guard lock(mutex_);
  return ring_.size();
}

int64_t History::newest_sec() const {
  std::lock_guard lock(mutex_);
  if (ring_.empty()) return 0;
  const size_t newest =
      ring_.size() < capacity_ ? ring_.size() - 1 : (next_ + capacity_ - 1) % capacity_;
  return ring_[newest].sec;
}

void History::query(int64_t tm1, int64_t tm2, EqData& out) const {
  std::vector<HistoryPoint> picked;
  {
    std::lock_guard lock(mutex_);
    const size_t n = ring_.size();
    const size_t oldest = n < capacity_ ? 0 : next_;
    // Walk from the newest point back, so that a full reply holds the newest
    // points of the interval and the reader pages backwards from its first.
    for (size_t k = 0; k < n && picked.size() < kMaxHistoryReply; ++k) {
      const HistoryPoint& p = ring_[(oldest + n - 1 - k) % n];
      if (p.sec > tm2) continue;
      if (p.sec < tm1) break;
      picked.push_back(p);
    }
  }
  std::reverse(picked.begin(), picked.end());
  // The data part is laid out here in one pass and read back through the
  // codec; growing a value point by point would cost a copy per point.
  std::vector<uint8_t> part;
  if (type_ == vanto::DATA_A_TDS) {
    part.resize(picked.size() * sizeof(vanto::TDS));
    for (size_t i = 0; i < picked.size(); ++i) {
      vanto::TDS r{};
      r.tm = picked[i].sec;
      r.value = static_cast<float>(picked[i].value);
      r.status = static_cast<uint8_t>(picked[i].status);
      std::memcpy(part.data() + i * sizeof r, &r, sizeof r);
    }
  } else {
    const size_t size = vanto::wire::element_size(type_);
    part.assign(picked.size() * size, 0);
    for (size_t i = 0; i < picked.size(); ++i) {
      uint8_t* element = part.data() + i * size;
      const vanto::TSStamp stamp{picked[i].sec, picked[i].msec, picked[i].status};
      std::memcpy(element, &stamp, sizeof stamp);
      store_slot(type_, picked[i].value, element + sizeof stamp);
    }
  }
  out.init();
  vanto::Codec::decode_data(out, type_, static_cast<uint32_t>(picked.size()), part.data(),
                            part.size());
}

}  // namespace vantoserver
