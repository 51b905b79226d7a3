#include "channel.h"

#include <cmath>
#include <numbers>
#include <random>

#include "numeric_value.h"
#include "vanto/errors.h"

namespace vantoserver {

double Waveform::at(Dynamic kind, double t, int64_t ticks, int64_t event_id) const {
  switch (kind) {
    case Dynamic::counter: return offset + amplitude * static_cast<double>(ticks);
    case Dynamic::sine: return offset + amplitude * std::sin(2 * std::numbers::pi * t / period_s);
    case Dynamic::noise: {
      thread_local std::mt19937 generator{std::random_device{}()};
      std::uniform_real_distribution<double> spread(-1.0, 1.0);
      return offset + amplitude * spread(generator);
    }
    case Dynamic::event_id: return static_cast<double>(event_id);
    case Dynamic::flood:  // counted by the channel, not a waveform
    case Dynamic::none: break;
  }
  return offset;
}

Channel::Channel(std::string facility, std::string device, std::string location,
                 std::string property, int type)
    : facility_(std::move(facility)),
      device_(std::move(device)),
      location_(std::move(location)),
      property_(std::move(property)),
      address_(facility_ + "/" + device_ + "/" + location_ + "/" + property_),
      type_(type) {
  value_.set_type(type);
}

void Channel::read(EqData& out, const Moment& now) const {
  if (dynamic == Dynamic::flood) {
    out.init();
    set_number(out, type_, static_cast<double>(flood_updates_.load(std::memory_order_relaxed)));
  } else if (dynamic != Dynamic::none) {
    const double t = static_cast<double>(now.sec) + now.usec / 1e6;
    out.init();
    set_number(out, type_, waveform.at(dynamic, t, now.ticks, now.event_id));
  } else {
    std::lock_guard lock(mutex_);
    out.copy_from(value_);
  }
  out.set_time(now.sec, now.usec);
  out.set_event_id(now.event_id);
}

int Channel::write(const EqData& in, std::string& why) {
  if (!writable) {
    why = address_ + " is read-only";
    return vanto::not_writable;
  }
  if (in.type() != type_) {
    why = address_ + " holds " + vanto::EqData::type_string(type_) + ", not " +
          vanto::EqData::type_string(in.type());
    return vanto::type_error;
  }
  if (in.length() < 0 || static_cast<size_t>(in.length()) > max_length) {
    why = address_ + " takes at most " + std::to_string(max_length) + " elements";
    return vanto::out_of_range;
  }
  std::lock_guard lock(mutex_);
  value_.copy_from(in);
  encoded_.reset();
  ++revision_;
  return 0;
}

std::shared_ptr<const Encoded> Channel::encoded() const {
  if (dynamic != Dynamic::none) return nullptr;
  std::lock_guard lock(mutex_);
  if (value_.error() != 0) return nullptr;
  if (!encoded_) encoded_ = encode(value_);
  return encoded_;
}

uint64_t Channel::revision() const {
  std::lock_guard lock(mutex_);
  return revision_;
}

}  // namespace vantoserver
