#include "config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

#include <toml++/toml.h>

#include "numeric_value.h"
#include "value_builder.h"

namespace vantoserver {

namespace {

// Most channels a configuration may define.
constexpr size_t kMaxChannels = 1'000'000;

[[noreturn]] void fail(const toml::node& where, const std::string& what) {
  const auto& source = where.source();
  throw ConfigError((source.path ? *source.path : std::string("config")) + ":" +
                    std::to_string(source.begin.line) + ": " + what);
}

const toml::table& as_table(const toml::node& node, const char* what) {
  const auto* table = node.as_table();
  if (table == nullptr) fail(node, std::string(what) + " must be a table");
  return *table;
}

std::string required_text(const toml::table& table, const char* key) {
  const toml::node* node = table.get(key);
  if (node == nullptr || !node->is_string())
    fail(table, std::string("\"") + key + "\" (a string) is missing");
  std::string text = node->as_string()->get();
  if (text.empty() || text.find_first_of("/*") != std::string::npos ||
      text.find_first_of(" \t\n") != std::string::npos)
    fail(*node, std::string("\"") + key + "\" must be a name without '/', '*' or blanks");
  return text;
}

// Refuses a key the table does not know: a misspelt key ("writeable") would
// otherwise be left out without a word.
void known_keys(const toml::table& table, std::initializer_list<std::string_view> known,
                const char* what) {
  for (const auto& [key, node] : table)
    if (std::find(known.begin(), known.end(), key.str()) == known.end())
      fail(node, "unknown key \"" + std::string(key.str()) + "\" in " + what);
}

int64_t integer_or(const toml::table& table, const char* key, int64_t fallback, int64_t min,
                   int64_t max) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return fallback;
  const auto* i = node->as_integer();
  if (i == nullptr || i->get() < min || i->get() > max)
    fail(*node, std::string("\"") + key + "\" must be an integer from " + std::to_string(min) +
                    " to " + std::to_string(max));
  return i->get();
}

bool flag_or(const toml::table& table, const char* key, bool fallback) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return fallback;
  if (!node->is_boolean()) fail(*node, std::string("\"") + key + "\" must be true or false");
  return node->as_boolean()->get();
}

// Names given as a list ("names"), one name ("name") or a generated series
// (prefix + 1..count).
std::vector<std::string> name_list(const toml::table& block, const char* one, const char* many,
                                   const char* prefix, const char* count) {
  std::vector<std::string> names;
  if (block.get(one)) names.push_back(required_text(block, one));
  if (const toml::node* node = block.get(many)) {
    const auto* array = node->as_array();
    if (array == nullptr) fail(*node, std::string("\"") + many + "\" must be an array");
    for (const toml::node& element : *array) {
      if (!element.is_string()) fail(element, "a name (string) is needed here");
      toml::table holder;
      holder.insert("n", element.as_string()->get());
      names.push_back(required_text(holder, "n"));
    }
  }
  if (block.get(count)) {
    const int64_t n = integer_or(block, count, 0, 0, 1'000'000);
    std::string stem;
    if (const toml::node* node = block.get(prefix)) {
      if (!node->is_string()) fail(*node, std::string("\"") + prefix + "\" must be a string");
      stem = node->as_string()->get();
    }
    for (int64_t k = 1; k <= n; ++k) names.push_back(stem + std::to_string(k));
  }
  if (names.empty())
    fail(block, std::string("give \"") + one + "\", \"" + many + "\" or \"" + count + "\"");
  return names;
}

Dynamic dynamic_from(const toml::table& p) {
  const toml::node* node = p.get("dynamic");
  if (node == nullptr) return Dynamic::none;
  const std::string kind = node->is_string() ? node->as_string()->get() : "";
  if (kind == "counter") return Dynamic::counter;
  if (kind == "sine") return Dynamic::sine;
  if (kind == "noise") return Dynamic::noise;
  if (kind == "event") return Dynamic::event_id;
  if (kind == "flood") return Dynamic::flood;
  if (kind == "none") return Dynamic::none;
  fail(*node,
       "\"dynamic\" is one of \"counter\", \"sine\", \"noise\", \"event\", \"flood\", \"none\"");
}

double number_or(const toml::table& table, const char* key, double fallback) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return fallback;
  if (const auto* i = node->as_integer()) return static_cast<double>(i->get());
  if (const auto* f = node->as_floating_point(); f && std::isfinite(f->get())) return f->get();
  fail(*node, std::string("\"") + key + "\" must be a finite number");
}

std::unique_ptr<Channel> make_channel(const toml::table& p, const std::string& facility,
                                      const std::string& device, const std::string& location,
                                      int64_t now_sec) {
  known_keys(
      p, {"name",           "type",       "writable", "description", "value",      "dynamic",
          "flood_rate",     "amplitude",  "period",   "offset",      "stream",     "stream_start",
          "stream_version", "max_length", "x_dim",    "y_dim",       "dims",       "comment",
          "start",          "increment",  "status",   "groups",      "group_size", "group_inc",
          "width",          "height",     "bpp",      "ebitpp",      "frame",      "format",
          "pattern",        "history"},
      "a property");
  if (const toml::node* history = p.get("history"); history && history->is_table())
    known_keys(*history->as_table(), {"capacity", "period", "prefill"}, "a history");
  const std::string property = required_text(p, "name");
  if (property == "SPN") fail(p, "SPN is the stream port request; no channel may be named so");
  const toml::node* type_node = p.get("type");
  if (type_node == nullptr || !type_node->is_string()) fail(p, "\"type\" (a string) is missing");
  const auto type = type_from_name(type_node->as_string()->get());
  if (!type) fail(*type_node, "unknown type \"" + type_node->as_string()->get() + "\"");

  auto channel = std::make_unique<Channel>(facility, device, location, property, *type);
  const Placeholders names = {
      {"facility", facility}, {"device", device}, {"location", location}, {"property", property}};
  if (const toml::node* d = p.get("description"); d && d->is_string())
    channel->description = expand(d->as_string()->get(), names);
  channel->writable = flag_or(p, "writable", false);
  channel->dynamic = dynamic_from(p);
  channel->waveform.amplitude = number_or(p, "amplitude", 1.0);
  channel->waveform.period_s = number_or(p, "period", 10.0);
  channel->waveform.offset = number_or(p, "offset", 0.0);
  if (channel->waveform.period_s <= 0) fail(p, "\"period\" must be positive");
  if (channel->dynamic != Dynamic::none && !is_numeric_scalar(*type) && !is_history_type(*type))
    fail(p, "\"dynamic\" needs a numeric scalar or history type");
  if (channel->dynamic != Dynamic::none && channel->writable && !is_history_type(*type))
    fail(p, "a channel with \"dynamic\" cannot be writable");
  if (channel->dynamic == Dynamic::flood && !is_numeric_scalar(*type))
    fail(p, "\"flood\" needs a numeric scalar type");
  channel->flood_rate = number_or(p, "flood_rate", 0.0);
  if (!(channel->flood_rate >= 0 && channel->flood_rate <= 1e7))
    fail(p, "\"flood_rate\" is 0 (as fast as it can) or up to 10000000 updates per second");
  if (p.get("flood_rate") != nullptr && channel->dynamic != Dynamic::flood)
    fail(p, "\"flood_rate\" needs dynamic = \"flood\"");
  channel->stream.enabled = flag_or(p, "stream", false);
  channel->stream.start = flag_or(p, "stream_start", false);
  channel->stream.version = static_cast<int>(integer_or(p, "stream_version", 2, 1, 2));
  if (channel->stream.start && !channel->stream.enabled)
    fail(p, "\"stream_start\" needs \"stream = true\"");
  if (is_history_type(*type) && channel->writable) fail(p, "histories cannot be writable");

  build_value(p, *channel, names, now_sec);
  const auto initial_length = static_cast<int64_t>(std::max(0, channel->initial().length()));
  channel->max_length = static_cast<size_t>(
      integer_or(p, "max_length", std::max<int64_t>(65536, initial_length), 1, 1 << 26));
  return channel;
}

void load_devices(const toml::table& block, Registry& registry, int64_t now_sec) {
  known_keys(block,
             {"facility", "name", "names", "name_prefix", "device_count", "location", "locations",
              "location_prefix", "location_count", "property"},
             "a device");
  const std::string facility = required_text(block, "facility");
  const auto devices = name_list(block, "name", "names", "name_prefix", "device_count");
  const auto locations =
      name_list(block, "location", "locations", "location_prefix", "location_count");
  const toml::node* props = block.get("property");
  const auto* array = props ? props->as_array() : nullptr;
  if (array == nullptr || array->empty())
    fail(block, "a device block needs at least one [[device.property]]");
  // Checked before any channel is made: counts of a million devices and a
  // million locations would otherwise fill the memory for hours.
  const size_t room = kMaxChannels - std::min(kMaxChannels, registry.channels().size());
  if (devices.size() > room || locations.size() > room ||
      devices.size() * locations.size() > room / array->size())
    fail(block, "more than " + std::to_string(kMaxChannels) + " channels in all");
  for (const auto& device : devices)
    for (const auto& location : locations)
      for (const toml::node& p : *array) {
        auto channel = make_channel(as_table(p, "a property"), facility, device, location, now_sec);
        const std::string address = channel->address();
        if (!registry.add(std::move(channel)))
          fail(p, "channel " + address + " is configured twice (or its facility is routed)");
      }
}

// "host:port": the name service hands both to clients as they are, so the
// port must be one (the answer's port 0 means "the name server itself") and
// the host a name a client can connect to (empty: the name server's host).
bool host_and_port(const std::string& text) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  for (size_t k = 0; k < colon; ++k)
    if (std::isspace(static_cast<unsigned char>(text[k])) ||
        std::iscntrl(static_cast<unsigned char>(text[k])) || text[k] == '/')
      return false;
  int port = 0;
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data() + colon + 1, end, port);
  return ec == std::errc() && stop == end && port >= 1 && port <= 65535;
}

void load_routes(const toml::node& node, Registry& registry) {
  const auto* array = node.as_array();
  if (array == nullptr) fail(node, "\"route\" must be an array of tables ([[route]])");
  for (const toml::node& element : *array) {
    const toml::table& route = as_table(element, "a route");
    known_keys(route, {"facility", "server"}, "a route");
    const std::string facility = required_text(route, "facility");
    const toml::node* server = route.get("server");
    if (server == nullptr || !server->is_string() || !host_and_port(server->as_string()->get()))
      fail(server ? *server : static_cast<const toml::node&>(route),
           "\"server\" must be \"host:port\" (a host without blanks, a port from 1 to 65535)");
    if (!registry.add_route(facility, server->as_string()->get()))
      fail(route, "facility " + facility + " is served here or routed twice");
  }
}

Config build(const toml::table& root) {
  Config config;
  config.registry = std::make_unique<Registry>();
  const int64_t now_sec = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
  if (const toml::node* server = root.get("server")) {
    const toml::table& s = as_table(*server, "[server]");
    known_keys(s, {"event_rate"}, "[server]");
    config.settings.event_rate_hz = number_or(s, "event_rate", 10.0);
    if (!(config.settings.event_rate_hz >= 0.1 && config.settings.event_rate_hz <= 1000))
      fail(s, "\"event_rate\" must lie between 0.1 and 1000 (Hz)");
  }
  if (const toml::node* devices = root.get("device")) {
    const auto* array = devices->as_array();
    if (array == nullptr) fail(*devices, "\"device\" must be an array of tables ([[device]])");
    for (const toml::node& block : *array)
      load_devices(as_table(block, "a device"), *config.registry, now_sec);
  }
  // Routes after the devices, so that a facility both served and routed is refused.
  if (const toml::node* routes = root.get("route")) load_routes(*routes, *config.registry);
  for (const auto& [key, node] : root)
    if (key != "server" && key != "device" && key != "route")
      fail(node, "unknown key \"" + std::string(key.str()) + "\"");
  // An empty file or one with only a [server] table is almost always the wrong
  // file: a server that serves nothing is refused rather than started idle.
  if (config.registry->channels().empty() && !config.registry->has_routes())
    throw ConfigError("defines no channel and no route");
  return config;
}

// The whole file, which must be a readable regular file: a directory, a
// device such as /dev/zero or a FIFO is refused before anything is read (a
// FIFO is opened without waiting for a writer).
std::string read_config_file(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw ConfigError(path + ": cannot open: " + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) throw ConfigError(path + ": " + std::strerror(errno));
  if (!S_ISREG(info.st_mode)) throw ConfigError(path + ": not a regular file");
  std::string text;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw ConfigError(path + ": cannot read: " + std::strerror(errno));
    }
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

}  // namespace

Config load_config(const std::string& path) {
  const std::string text = read_config_file(path);
  try {
    return parse_config(text, path);
  } catch (const ConfigError& e) {
    const std::string what = e.what();
    // Messages without a place of their own name the file.
    if (what.rfind(path + ":", 0) == 0) throw;
    throw ConfigError(path + ": " + what);
  }
}

Config parse_config(std::string_view text, const std::string& source) {
  try {
    return build(toml::parse(text, source));
  } catch (const toml::parse_error& e) {
    std::ostringstream what;
    what << source << ":" << e.source().begin.line << ": " << e.description();
    throw ConfigError(what.str());
  }
}

}  // namespace vantoserver
