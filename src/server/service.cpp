#include "service.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "numeric_value.h"
#include "vanto/codec.h"
#include "vanto/errors.h"
#include "wire.h"

namespace vantoserver {

using namespace vanto;
using vanto::rpc::Op;

namespace {

constexpr std::string_view kStreamPortProperty = "SPN";

bool has_star(const std::string& field) { return field.find('*') != std::string::npos; }

// The spectrum part (offset, step, count) of a four-integer request;
// buffer (i1) is the only buffer there is and is not looked at.
Reply spectrum_slice(const EqData& full, const IIII& request) {
  const std::optional<SpectrumView> spectrum = full.spectrum();
  if (!spectrum) return Reply::failure(type_error, "not a spectrum");
  const int count = spectrum->count;
  const float start = spectrum->start;
  const float inc = spectrum->increment;
  const int offset = request.i[1];
  // 64 bits: a client's step near the int limit must not overflow the count.
  const int64_t step = request.i[2] > 0 ? request.i[2] : 1;
  if (offset < 0)
    return Reply::failure(out_of_range, "offset " + std::to_string(offset) + " before the " +
                                            std::to_string(count) + " values of the spectrum");
  // As many values as there are from the offset on: none past the end, as a
  // count past the end gives what there is.
  const int64_t available = offset >= count ? 0 : (int64_t{count} - offset + step - 1) / step;
  const int wanted =
      static_cast<int>(request.i[3] > 0 ? std::min<int64_t>(request.i[3], available) : available);
  std::vector<float> picked(static_cast<size_t>(wanted));
  for (int k = 0; k < wanted; ++k)
    picked[static_cast<size_t>(k)] = spectrum->value(static_cast<int>(offset + k * step));
  const std::string text(spectrum->comment);
  EqData slice;
  slice.set_spectrum(text.c_str(), spectrum->time, start + static_cast<float>(offset) * inc,
                     inc * static_cast<float>(step), spectrum->status, picked.data(), wanted);
  slice.set_time(full.get_time(), full.get_time_usec());
  slice.set_event_id(full.get_event_id());
  return value_reply(slice);
}

// The area (x, y, width, height) of a four-integer request; width or height
// 0 takes the rest of the image.
Reply image_crop(const EqData& full, const IIII& request) {
  IMH h{};
  uint8_t* pixels = nullptr;
  int bytes = 0;
  if (!full.get_image(&pixels, &bytes, &h)) return Reply::failure(type_error, "not an image");
  int64_t seconds = 0, micros = 0;
  int32_t status = 0;
  full.get_image_timestamp_and_status(&seconds, &micros, &status);
  const int x = request.i[0], y = request.i[1];
  if (x < 0 || y < 0 || x >= h.width || y >= h.height || request.i[2] < 0 || request.i[3] < 0)
    return Reply::failure(out_of_range, "crop area outside the " + std::to_string(h.width) + "x" +
                                            std::to_string(h.height) + " image");
  const int w = request.i[2] == 0 ? h.width - x : std::min(request.i[2], h.width - x);
  const int ht = request.i[3] == 0 ? h.height - y : std::min(request.i[3], h.height - y);
  const int bpp = std::max(1, h.bpp);
  // Compared step by step: a written header's width, height and bytes per
  // pixel may be anything, and their product overflow 64 bits.
  if (static_cast<int64_t>(h.width) * h.height > bytes / bpp)
    return Reply::failure(ill_serv, "image pixels shorter than its header says");
  std::vector<uint8_t> area(static_cast<size_t>(w) * ht * bpp);
  for (int row = 0; row < ht; ++row)
    std::copy_n(pixels + (static_cast<size_t>(y + row) * h.width + x) * bpp,
                static_cast<size_t>(w) * bpp, area.data() + static_cast<size_t>(row) * w * bpp);
  IMH cropped = h;
  cropped.x_start = x;
  cropped.y_start = y;
  cropped.aoi_width = w;
  cropped.aoi_height = ht;
  cropped.length = static_cast<int32_t>(area.size());
  char comment[256] = "";
  full.get_string_arg(comment, sizeof comment);
  EqData out;
  out.set_image(cropped, seconds, micros, status, comment, area.data(),
                static_cast<int>(area.size()));
  out.set_time(full.get_time(), full.get_time_usec());
  out.set_event_id(full.get_event_id());
  return value_reply(out);
}

Reply ustr_reply(int i1, float f1, float f2, const std::string& text) {
  EqData out;
  out.set_ustr(i1, f1, f2, 0, text.c_str(), 0);
  return value_reply(out);
}

}  // namespace

bool split_address(std::string_view address, Fields& out) {
  std::string* fields[] = {&out.facility, &out.device, &out.location, &out.property};
  size_t index = 0;
  size_t start = 0;
  for (;;) {
    const size_t slash = address.find('/', start);
    if (index == 4) return false;
    *fields[index++] = std::string(address.substr(start, slash - start));
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

Service::Service(const Registry& registry, const EventState& events, StreamHub& streams,
                 std::string host_name, int subscription_port)
    : registry_(registry),
      events_(events),
      streams_(streams),
      host_name_(std::move(host_name)),
      subscription_port_(subscription_port) {}

Reply Service::handle(Op op, std::string_view address, const EqData& in) {
  // The common case first: a get or set of a channel named exactly.
  if (op == Op::get || op == Op::set) {
    if (Channel* channel = registry_.find(address))
      return op == Op::get ? get(*channel, in) : set(*channel, in);
  }
  Fields fields;
  if (!split_address(address, fields))
    return Reply::failure(bad_address, "more than four fields in " + std::string(address));
  switch (op) {
    case Op::get: return get(fields, in);
    case Op::set: return set(fields, in);
    case Op::names: return names(fields);
    case Op::resolve: return resolve(fields);
    case Op::subscribe: return subscribe(fields);
    case Op::hostname: {
      EqData out;
      out.set_string(host_name_);
      return value_reply(out);
    }
    case Op::fault: break;  // handled by the request loop
  }
  return Reply::failure(not_implemented, "unknown operation");
}

Channel* Service::lookup(const Fields& f, Reply& error) const {
  if (Channel* channel =
          registry_.find(f.facility + "/" + f.device + "/" + f.location + "/" + f.property))
    return channel;
  if (registry_.facility(f.facility) == nullptr) {
    const std::string* route = registry_.route(f.facility);
    error = route ? Reply::failure(ill_serv, "facility " + f.facility + " is served by " + *route)
                  : Reply::failure(no_ens_entry, "unknown facility " + f.facility);
  } else if (registry_.device(f.facility, f.device) == nullptr) {
    error = Reply::failure(no_ens_entry, "unknown device " + f.facility + "/" + f.device);
  } else if (registry_.location(f.facility, f.device, f.location) == nullptr) {
    error = Reply::failure(ill_location,
                           "unknown location " + f.facility + "/" + f.device + "/" + f.location);
  } else {
    error = Reply::failure(ill_property, "unknown property " + f.property + " of " + f.facility +
                                             "/" + f.device + "/" + f.location);
  }
  return nullptr;
}

Reply Service::get(const Fields& fields, const EqData& in) {
  if (fields.property == kStreamPortProperty) return stream_port(fields, in, false);
  Reply error;
  Channel* channel = lookup(fields, error);
  if (channel == nullptr) return error;
  return get(*channel, in);
}

Reply Service::get(Channel& channel_ref, const EqData& in) {
  Channel* channel = &channel_ref;
  const Moment now = events_.now();
  EqData value;
  if (History* history = channel->history()) {
    // An interval request asks for [tm1, tm2]; anything else for the newest points.
    int64_t tm1 = std::numeric_limits<int64_t>::min(), tm2 = std::numeric_limits<int64_t>::max();
    int i1 = 0, i2 = 0;
    if (in.type() == DATA_TTII) in.get_ttii(&tm1, &tm2, &i1, &i2);
    history->query(tm1, tm2, value);
    value.set_time(now.sec, now.usec);
    value.set_event_id(now.event_id);
    return value_reply(value);
  }
  if (in.type() != DATA_IIII) {
    if (auto encoded = channel->encoded()) {
      Reply reply;
      reply.data = std::move(encoded);
      reply.sec = now.sec;
      reply.usec = now.usec;
      reply.event_id = now.event_id;
      return reply;
    }
  }
  channel->read(value, now);
  if (in.type() == DATA_IIII) {
    const IIII request = in.data_block()->data_u.d_iiii;
    if (channel->type() == DATA_SPECTRUM) return spectrum_slice(value, request);
    if (channel->type() == DATA_IMAGE && channel->property().find("IMAGE_EXT") != std::string::npos)
      return image_crop(value, request);
  }
  return value_reply(value);
}

Reply Service::set(const Fields& fields, const EqData& in) {
  if (fields.property == kStreamPortProperty) return stream_port(fields, in, true);
  Reply error;
  Channel* channel = lookup(fields, error);
  if (channel == nullptr) return error;
  return set(*channel, in);
}

Reply Service::set(Channel& channel, const EqData& in) {
  std::string why;
  if (const int code = channel.write(in, why); code != 0) return Reply::failure(code, why);
  EqData value;
  channel.read(value, events_.now());
  return value_reply(value);
}

Reply Service::names(const Fields& f) {
  enum class Level { devices, locations, properties } level;
  if (has_star(f.device))
    level = Level::devices;
  else if (has_star(f.location))
    level = Level::locations;
  else if (has_star(f.property))
    level = Level::properties;
  else
    return Reply::failure(ill_parameter, "a name list needs a '*' in device, location or property");

  const std::string key = level == Level::devices ? f.facility
                          : level == Level::locations
                              ? f.facility + "/" + f.device
                              : f.facility + "/" + f.device + "/" + f.location;
  auto cached = names_cache_.find(key);
  if (cached == names_cache_.end()) {
    std::vector<wire::UstrItem> items;
    auto add = [&](int i1, const std::string& text) { items.push_back({i1, 0, 0, 0, text}); };
    if (level == Level::devices) {
      const Facility* facility = registry_.facility(f.facility);
      if (facility == nullptr) {
        Reply error;
        lookup(f, error);
        return error;
      }
      for (const auto& device : facility->devices) add(0, device->name);
    } else if (level == Level::locations) {
      const Device* device = registry_.device(f.facility, f.device);
      if (device == nullptr) {
        Reply error;
        lookup(f, error);
        return error;
      }
      for (const auto& location : device->locations) add(0, location->name);
    } else {
      const Location* location = registry_.location(f.facility, f.device, f.location);
      if (location == nullptr) {
        Reply error;
        lookup(f, error);
        return error;
      }
      for (const Channel* channel : location->properties)
        add(channel->type(), channel->description.empty()
                                 ? channel->property()
                                 : channel->property() + " " + channel->description);
    }
    // Laid out in one pass and read back through the codec: thousands of
    // names added one by one would cost a copy of the list per name.
    const std::vector<uint8_t> part = wire::ustr_part(items);
    EqData list;
    if (Codec::decode_data(list, DATA_A_USTR, static_cast<uint32_t>(items.size()), part.data(),
                           part.size()) != 0)
      return Reply::failure(ill_serv, "cannot encode the name list: " + list.error_text());
    cached = names_cache_.emplace(key, encode(list)).first;
  }
  Reply reply;
  reply.data = cached->second;
  const Moment now = events_.now();
  reply.sec = now.sec;
  reply.usec = now.usec;
  reply.event_id = now.event_id;
  return reply;
}

Reply Service::resolve(const Fields& f) const {
  if (registry_.facility(f.facility) != nullptr) {
    if (!f.device.empty() && registry_.device(f.facility, f.device) == nullptr)
      return Reply::failure(no_ens_entry, "unknown device " + f.facility + "/" + f.device);
    // An empty host: the name server itself serves the name.
    return ustr_reply(0, 0, 0, "");
  }
  if (const std::string* route = registry_.route(f.facility)) {
    const auto colon = route->rfind(':');
    return ustr_reply(std::atoi(route->c_str() + colon + 1), 0, 0, route->substr(0, colon));
  }
  return Reply::failure(no_ens_entry, "unknown facility " + f.facility);
}

Reply Service::subscribe(const Fields& fields) const {
  Reply error;
  const Channel* channel = lookup(fields, error);
  if (channel == nullptr) return error;
  if (channel->history() != nullptr)
    return Reply::failure(not_implemented, "histories cannot be subscribed to");
  return ustr_reply(subscription_port_, 0, 0, channel->address());
}

// The answer to a get or set on property SPN of a location: the request's
// USTR text names the streamed property. i1 is the port, f2 the data version;
// port 0 and f1 + f2 == 0 say that the stream does not run. A set starts it.
Reply Service::stream_port(const Fields& f, const EqData& in, bool start) {
  if (registry_.location(f.facility, f.device, f.location) == nullptr) {
    Reply error;
    lookup(Fields{f.facility, f.device, f.location, ""}, error);
    return error;
  }
  int i1 = 0;
  float f1 = 0, f2 = 0;
  int64_t tm = 0;
  char* text = nullptr;
  if (in.type() != DATA_USTR || !in.get_ustr(&i1, &f1, &f2, &tm, &text, 0) || text == nullptr ||
      *text == '\0')
    return Reply::failure(ill_parameter, "SPN needs a USTR whose text names the property");
  Fields target = f;
  target.property = text;
  Reply error;
  Channel* channel = lookup(target, error);
  if (channel == nullptr) return error;
  if (!channel->stream.enabled)
    return Reply::failure(ill_property, channel->address() + " is not streamed");
  int port = streams_.port_of(*channel);
  if (port == 0 && start) {
    std::string why;
    port = streams_.start(*channel, why);
    if (port == 0) return Reply::failure(ill_serv, why);
  }
  if (port == 0) return ustr_reply(0, 0, 0, channel->property());
  return ustr_reply(port, 0, static_cast<float>(channel->stream.version), channel->property());
}

}  // namespace vantoserver
