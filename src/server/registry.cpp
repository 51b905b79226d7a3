#include "registry.h"

namespace vantoserver {

namespace {

template <typename Parent, typename Child>
Child& child_named(Parent& parent, const std::string& name) {
  const auto it = parent.by_name.find(name);
  if (it != parent.by_name.end()) return *it->second;
  auto child = std::make_unique<Child>();
  child->name = name;
  Child& ref = *child;
  parent.by_name.emplace(name, &ref);
  if constexpr (std::is_same_v<Child, Device>)
    parent.devices.push_back(std::move(child));
  else
    parent.locations.push_back(std::move(child));
  return ref;
}

}  // namespace

bool Registry::add(std::unique_ptr<Channel> channel) {
  if (by_address_.count(channel->address()) != 0) return false;
  if (routes_.count(channel->facility()) != 0) return false;
  auto it = facility_by_name_.find(channel->facility());
  if (it == facility_by_name_.end()) {
    auto facility = std::make_unique<Facility>();
    facility->name = channel->facility();
    it = facility_by_name_.emplace(facility->name, facility.get()).first;
    facilities_.push_back(std::move(facility));
  }
  Device& device = child_named<Facility, Device>(*it->second, channel->device());
  Location& location = child_named<Device, Location>(device, channel->location());
  location.properties.push_back(channel.get());
  by_address_.emplace(std::string_view(channel->address()), channel.get());
  channels_.push_back(std::move(channel));
  return true;
}

bool Registry::add_route(const std::string& facility, const std::string& server) {
  if (facility_by_name_.count(facility) != 0) return false;
  return routes_.emplace(facility, server).second;
}

Channel* Registry::find(std::string_view address) const {
  const auto it = by_address_.find(address);
  return it == by_address_.end() ? nullptr : it->second;
}

const Facility* Registry::facility(const std::string& name) const {
  const auto it = facility_by_name_.find(name);
  return it == facility_by_name_.end() ? nullptr : it->second;
}

const Device* Registry::device(const std::string& facility_name,
                               const std::string& device_name) const {
  const Facility* f = facility(facility_name);
  if (f == nullptr) return nullptr;
  const auto it = f->by_name.find(device_name);
  return it == f->by_name.end() ? nullptr : it->second;
}

const Location* Registry::location(const std::string& facility_name, const std::string& device_name,
                                   const std::string& location_name) const {
  const Device* d = device(facility_name, device_name);
  if (d == nullptr) return nullptr;
  const auto it = d->by_name.find(location_name);
  return it == d->by_name.end() ? nullptr : it->second;
}

const std::string* Registry::route(const std::string& facility_name) const {
  const auto it = routes_.find(facility_name);
  return it == routes_.end() ? nullptr : &it->second;
}

}  // namespace vantoserver
