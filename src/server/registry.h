// The channels of a server, ordered by facility, device, location, property,
// and the facilities it routes to other servers.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "channel.h"

namespace vantoserver {

struct Location {
  std::string name;
  std::vector<Channel*> properties;  // in config order
};

struct Device {
  std::string name;
  std::vector<std::unique_ptr<Location>> locations;  // in config order
  std::unordered_map<std::string, Location*> by_name;
};

struct Facility {
  std::string name;
  std::vector<std::unique_ptr<Device>> devices;  // in config order
  std::unordered_map<std::string, Device*> by_name;
};

class Registry {
 public:
  // Adds a channel; false when its address is taken already.
  bool add(std::unique_ptr<Channel> channel);
  // Routes a facility to another server ("host:port"); false when the
  // facility is served here or routed already.
  bool add_route(const std::string& facility, const std::string& server);

  Channel* find(std::string_view address) const;
  const Facility* facility(const std::string& name) const;
  const Device* device(const std::string& facility, const std::string& device) const;
  const Location* location(const std::string& facility, const std::string& device,
                           const std::string& location) const;
  // The server a facility is routed to, or nullptr.
  const std::string* route(const std::string& facility) const;
  bool has_routes() const { return !routes_.empty(); }

  const std::vector<std::unique_ptr<Channel>>& channels() const { return channels_; }
  const std::vector<std::unique_ptr<Facility>>& facilities() const { return facilities_; }

 private:
  std::vector<std::unique_ptr<Channel>> channels_;
  // Keys are views of the channels' own address strings.
  std::unordered_map<std::string_view, Channel*> by_address_;
  std::vector<std::unique_ptr<Facility>> facilities_;
  std::unordered_map<std::string, Facility*> facility_by_name_;
  std::map<std::string, std::string> routes_;
};

}  // namespace vantoserver
