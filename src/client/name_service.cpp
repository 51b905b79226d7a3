#include "name_service.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "vanto/errors.h"

namespace vanto::rpc {

namespace {

// Routes learnt from the name service, shared by every EqCall of the process.
class RouteCache {
 public:
  bool find(const std::string& key, Endpoint& out) {
    std::lock_guard lock(mutex_);
    const auto it = routes_.find(key);
    if (it == routes_.end()) return false;
    out = it->second;
    return true;
  }
  void store(const std::string& key, const Endpoint& server) {
    std::lock_guard lock(mutex_);
    routes_[key] = server;
  }
  void forget(const std::string& key) {
    std::lock_guard lock(mutex_);
    routes_.erase(key);
    forgotten_.fetch_add(1, std::memory_order_release);
  }
  uint64_t forgotten() const { return forgotten_.load(std::memory_order_acquire); }

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, Endpoint> routes_;
  std::atomic<uint64_t> forgotten_{0};
};

RouteCache& cache() {
  static RouteCache routes;
  return routes;
}

// The device part the name service is asked about: a wildcard or missing
// device asks for the facility alone.
std::string device_key(const EqAdr& adr) {
  const std::string& device = adr.device();
  return device.find('*') == std::string::npos ? device : std::string();
}

// Cache key: the name service asked (VANTO_ENS may change between test
// suites of one process) and facility/device.
std::string cache_key(const Endpoint& ens, const EqAdr& adr) {
  return ens.text() + "|" + adr.facility() + "/" + device_key(adr);
}

bool check_protocol(const EqAdr& adr, EqData& err) {
  const std::string& protocol = adr.protocol();
  if (protocol.empty() || protocol == "vanto") return true;
  err.init();
  err.error(not_implemented, "protocol " + protocol + ": is not implemented by libvanto");
  return false;
}

}  // namespace

bool name_service_endpoint(Endpoint& out) {
  const char* ens = std::getenv("VANTO_ENS");
  if (ens == nullptr || *ens == '\0') {
    out.host = "localhost";
    out.port = 5600;
    return true;
  }
  return parse_endpoint(ens, out);
}

bool route(ConnectionPool& pool, const EqAdr& adr, Endpoint& server, EqData& err,
           std::chrono::milliseconds timeout) {
  if (!check_protocol(adr, err)) return false;
  if (!adr.host().empty()) {
    if (adr.port() < 1 || adr.port() > 65535) {
      err.init();
      err.error(bad_address, "no valid port in address " + adr.show_adr());
      return false;
    }
    server.host = adr.host();
    server.port = adr.port();
    return true;
  }
  if (adr.facility().empty() || adr.facility().find('*') != std::string::npos) {
    err.init();
    err.error(no_ens_entry, "no facility in address " + adr.show_adr());
    return false;
  }
  Endpoint ens;
  if (!name_service_endpoint(ens)) {
    err.init();
    err.error(bad_address, "VANTO_ENS is not of the form host:port");
    return false;
  }
  const std::string key = cache_key(ens, adr);
  if (cache().find(key, server)) return true;

  EqData reply;
  const std::string name = adr.facility() + "/" + device_key(adr);
  if (pool.to(ens).call(Op::resolve, name, nullptr, reply, timeout) != 0) {
    err.init();
    err.error(reply.error(), reply.error() == unavail_serv
                                 ? "name service at " + ens.text() + " does not answer"
                                 : reply.error_text());
    return false;
  }
  int port = 0;
  float f1 = 0, f2 = 0;
  int64_t tm = 0;
  char* host = nullptr;
  const bool parsed = reply.type() == DATA_USTR && reply.get_ustr(&port, &f1, &f2, &tm, &host, 0);
  const bool self = parsed && port == 0 && (host == nullptr || *host == '\0');
  if (!parsed || (!self && (port < 1 || port > 65535))) {
    err.init();
    err.error(bad_frame, "malformed name service reply for " + name);
    return false;
  }
  // Port 0 and no host: the name server serves the name itself.
  server =
      self ? ens : Endpoint{host == nullptr || *host == '\0' ? ens.host : std::string(host), port};
  cache().store(key, server);
  return true;
}

bool needs_name_service(const EqAdr& adr, Endpoint& ens) {
  if (!adr.error_text().empty() || !adr.host().empty()) return false;
  if (!adr.protocol().empty() && adr.protocol() != "vanto") return false;
  if (adr.facility().empty() || adr.facility().find('*') != std::string::npos) return false;
  if (!name_service_endpoint(ens)) return false;
  Endpoint cached;
  return !cache().find(cache_key(ens, adr), cached);
}

void forget_route(const EqAdr& adr) {
  Endpoint ens;
  if (!adr.host().empty() || !name_service_endpoint(ens)) return;
  cache().forget(cache_key(ens, adr));
}

uint64_t routes_forgotten() { return cache().forgotten(); }

}  // namespace vanto::rpc
