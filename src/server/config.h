// The server's configuration file (TOML, described in docs/server-config.md).
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "registry.h"

namespace vantoserver {

// A configuration that cannot be used; what() names the place and the fault.
class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Settings {
  double event_rate_hz = 10.0;  // ticks of the event clock per second
};

struct Config {
  Settings settings;
  std::unique_ptr<Registry> registry;
};

// Reads a configuration file; throws ConfigError.
Config load_config(const std::string& path);
// Reads configuration text (source names it in messages); throws ConfigError.
Config parse_config(std::string_view text, const std::string& source);

}  // namespace vantoserver
