// EqCall: routes each call to its server and performs it over a Connection.
#include "vanto/eqcall.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "foreign_calls.h"
#include "name_service.h"
#include "rpc_connection.h"
#include "subscription.h"
#include "vanto/errors.h"

namespace vanto {

using backend::ForeignCalls;

namespace {
constexpr std::chrono::milliseconds kDefaultTimeout{2000};
// Requests of get_many and set_many in flight at once on one connection:
// enough that the requests and replies travel many to a system call and a
// wake-up (64 left half of an 8000-read wildcard's time in waits and
// hand-overs), few enough to stay below the sockets' queue limit of 1000
// messages.
constexpr size_t kReadsInFlight = 512;

// EqAdr::channel() written into a buffer that keeps its storage from call to
// call: a long list of reads then builds no string per call.
std::string_view channel_name(const EqAdr& adr, std::string& buffer) {
  buffer.clear();
  buffer.append(adr.facility()).append(1, '/').append(adr.device()).append(1, '/');
  buffer.append(adr.location()).append(1, '/').append(adr.property());
  return buffer;
}

std::string_view name_service_variable() {
  const char* ens = std::getenv("VANTO_ENS");
  return ens == nullptr ? std::string_view() : std::string_view(ens);
}

// The route of the previous call of an EqCall. Programs call the same server
// over and over (a device's 8000 locations, a read and its re-read); while
// protocol, host, port, facility, device and VANTO_ENS stay the same and no
// route was forgotten, the next call takes the same connection without
// building cache keys or asking the route cache.
class LastRoute {
 public:
  rpc::Connection* find(const EqAdr& adr) const {
    if (connection_ == nullptr || adr.facility() != facility_ || adr.device() != device_ ||
        adr.host() != host_ || adr.port() != port_ || adr.protocol() != protocol_ ||
        name_service_variable() != ens_ || rpc::routes_forgotten() != forgotten_)
      return nullptr;
    return connection_;
  }
  void remember(const EqAdr& adr, rpc::Connection& connection, uint64_t forgotten) {
    facility_ = adr.facility();
    device_ = adr.device();
    host_ = adr.host();
    port_ = adr.port();
    protocol_ = adr.protocol();
    ens_ = name_service_variable();
    forgotten_ = forgotten;
    connection_ = &connection;
  }
  void clear() { connection_ = nullptr; }

 private:
  std::string facility_, device_, host_, protocol_, ens_;
  int port_ = 0;
  uint64_t forgotten_ = 0;
  rpc::Connection* connection_ = nullptr;  // owned by the EqCall's pool
};
// Runs a backend subscription's callback until closed. A backend ends its
// subscriptions only when it is destroyed with its EqCall, so a cancelled
// one is silenced here instead.
class CallbackGate {
 public:
  explicit CallbackGate(std::function<void(const EqData&)> callback)
      : callback_(std::move(callback)) {}
  void deliver(const EqData& value) {
    std::lock_guard lock(mutex_);
    if (callback_) callback_(value);
  }
  // Waits for a running callback; none runs after.
  void close() {
    std::lock_guard lock(mutex_);
    callback_ = nullptr;
  }

 private:
  std::mutex mutex_;
  std::function<void(const EqData&)> callback_;
};

// What keeps one subscription's updates coming; destroying it stops them.
class RunningSubscription {
 public:
  explicit RunningSubscription(std::unique_ptr<rpc::Subscription> own) : own_(std::move(own)) {}
  explicit RunningSubscription(std::shared_ptr<CallbackGate> gate) : gate_(std::move(gate)) {}
  ~RunningSubscription() {
    if (gate_) gate_->close();
  }
  RunningSubscription(const RunningSubscription&) = delete;
  RunningSubscription& operator=(const RunningSubscription&) = delete;

 private:
  std::unique_ptr<rpc::Subscription> own_;  // its thread is joined on destruction
  std::shared_ptr<CallbackGate> gate_;
};

// The running subscriptions of one EqCall, each under the id its handle
// knows. Handles may be cancelled on any thread and may outlive the EqCall,
// so the set is shared with them (weakly) and guarded.
class SubscriptionSet {
 public:
  uint64_t add(std::unique_ptr<RunningSubscription> running) {
    std::lock_guard lock(mutex_);
    running_.emplace(++last_id_, std::move(running));
    return last_id_;
  }
  // Ends subscription id (nothing when it ended already).
  void end(uint64_t id) {
    std::unique_ptr<RunningSubscription> ending;
    {
      std::lock_guard lock(mutex_);
      auto it = running_.find(id);
      if (it == running_.end()) return;
      ending = std::move(it->second);
      running_.erase(it);
    }
    // Stopped outside the lock: its thread may still be delivering.
  }
  void clear() {
    std::map<uint64_t, std::unique_ptr<RunningSubscription>> ending;
    {
      std::lock_guard lock(mutex_);
      ending.swap(running_);
    }
  }

 private:
  std::mutex mutex_;
  uint64_t last_id_ = 0;
  std::map<uint64_t, std::unique_ptr<RunningSubscription>> running_;
};

}  // namespace

Subscription::Subscription(Subscription&& other) noexcept
    : established_(std::move(other.established_)), cancel_(std::exchange(other.cancel_, nullptr)) {}

Subscription& Subscription::operator=(Subscription&& other) noexcept {
  if (this != &other) {
    cancel();
    established_ = std::move(other.established_);
    cancel_ = std::exchange(other.cancel_, nullptr);
  }
  return *this;
}

void Subscription::cancel() noexcept {
  if (!cancel_) return;
  std::function<void()> cancel = std::exchange(cancel_, nullptr);
  cancel();
}

struct EqCall::Impl {
  rpc::ConnectionPool pool;
  std::chrono::milliseconds timeout = kDefaultTimeout;
  std::shared_ptr<SubscriptionSet> subscriptions = std::make_shared<SubscriptionSet>();
  LastRoute last;
  std::string name;      // buffer of the channel name sent
  ForeignCalls foreign;  // "tango:" and "epics:" addresses

  // Checks the address and finds its server; on failure out holds the error.
  bool locate(const EqAdr* adr, EqData* out, rpc::Endpoint& server) {
    if (adr == nullptr) {
      out->init();
      out->error(ill_parameter, "no address given");
      return false;
    }
    if (!adr->error_text().empty()) {
      out->init();
      out->error(bad_address, adr->error_text());
      return false;
    }
    return rpc::route(pool, *adr, server, *out, timeout);
  }

  // A read whose route is not known yet is sent to the name service together
  // with the question where it goes. When the name service serves the name
  // itself, as a single vantoserver does, its reply is already on the way and
  // the first call of a process costs one round trip instead of two. Writes
  // and subscriptions never go out before their server is known.
  struct SentAhead {
    rpc::Endpoint ens;
    uint64_t id = 0;
  };

  static bool is_read(rpc::Op op) {
    return op == rpc::Op::get || op == rpc::Op::names || op == rpc::Op::hostname;
  }

  std::optional<SentAhead> send_ahead(rpc::Op op, const EqAdr* adr, const EqData* in) {
    SentAhead ahead;
    if (!is_read(op) || adr == nullptr || !rpc::needs_name_service(*adr, ahead.ens))
      return std::nullopt;
    ahead.id = pool.to(ahead.ens).send(op, adr->channel(), in);
    if (ahead.id == 0) return std::nullopt;
    return ahead;
  }

  // The connection of adr's server, from the previous call's route or from
  // the name service; null with out holding the error.
  rpc::Connection* connection_of(const EqAdr* adr, EqData* out) {
    if (adr != nullptr && adr->error_text().empty()) {
      if (rpc::Connection* connection = last.find(*adr)) return connection;
    }
    const uint64_t forgotten = rpc::routes_forgotten();
    rpc::Endpoint server;
    if (!locate(adr, out, server)) return nullptr;
    rpc::Connection& connection = pool.to(server);
    last.remember(*adr, connection, forgotten);
    return &connection;
  }

  // A write and the read behind it, both sent before either reply is
  // awaited. Returns the write's code.
  int write_and_read_back(const EqAdr* adr, const EqData* in, EqData* out, EqData* read_back) {
    read_back->init();
    rpc::Connection* connection = connection_of(adr, out);
    if (connection == nullptr) return out->error();
    const std::string_view channel = channel_name(*adr, name);
    const uint64_t write = connection->send(rpc::Op::set, channel, in);
    if (write == 0) {
      out->init();
      out->error(unavail_serv, "the write could not be queued for " + adr->show_adr());
      return out->error();
    }
    const uint64_t read = connection->send(rpc::Op::get, channel, nullptr);
    const int code = connection->await(write, *out, timeout);
    if (read == 0) return code;
    if (code != 0) {
      connection->abandon(read);
      return code;
    }
    connection->await(read, *read_back, timeout);
    return code;
  }

  // Performs op on adr's server; returns out's code.
  int perform(rpc::Op op, const EqAdr* adr, const EqData* in, EqData* out) {
    if (out == nullptr) return ill_parameter;
    if (adr != nullptr && adr->error_text().empty()) {
      if (rpc::Connection* connection = last.find(*adr))
        return connection->call(op, channel_name(*adr, name), in, *out, timeout);
    }
    const uint64_t forgotten = rpc::routes_forgotten();
    const std::optional<SentAhead> ahead = send_ahead(op, adr, in);
    rpc::Endpoint server;
    const bool located = locate(adr, out, server);
    if (ahead) {
      rpc::Connection& ens = pool.to(ahead->ens);
      if (located && server.text() == ahead->ens.text()) {
        last.remember(*adr, ens, forgotten);
        return ens.await(ahead->id, *out, timeout);
      }
      ens.abandon(ahead->id);
    }
    if (!located) return out->error();
    rpc::Connection& connection = pool.to(server);
    last.remember(*adr, connection, forgotten);
    return connection.call(op, channel_name(*adr, name), in, *out, timeout);
  }
};

size_t EqCall::get_many(EqAdr* const* adrs, EqData* in, EqData* const* out, size_t count) {
  if (out != nullptr && ForeignCalls::serves_any(adrs, count)) {
    return impl_->foreign.get_many(
        adrs, out, count, [&](EqAdr* const* own, EqData* const* results, size_t own_count) {
          return get_many(own, in, results, own_count);
        });
  }
  const size_t total = adrs != nullptr && out != nullptr ? count : 0;
  // The connection of the previous call, when read i may go there at once.
  auto known_route = [&](size_t i) -> rpc::Connection* {
    if (adrs[i] == nullptr || out[i] == nullptr || !adrs[i]->error_text().empty()) return nullptr;
    return impl_->last.find(*adrs[i]);
  };
  size_t failed = 0;
  std::vector<std::string> names;
  std::vector<EqData*> results;
  size_t i = 0;
  while (i < total) {
    rpc::Connection* connection = known_route(i);
    if (connection == nullptr) {
      // Alone: it finds (and remembers) its server the way get does.
      if (impl_->perform(rpc::Op::get, adrs[i], in, out[i]) != 0) ++failed;
      ++i;
      continue;
    }
    // The run of reads that follow the same route travels together.
    names.clear();
    results.clear();
    for (; i < total && known_route(i) == connection; ++i) {
      names.push_back(adrs[i]->channel());
      results.push_back(out[i]);
    }
    failed +=
        connection->call_many(rpc::Op::get, names, in, results, kReadsInFlight, impl_->timeout);
  }
  return failed;
}

size_t EqCall::set_many(EqAdr* const* adrs, EqData* const* in, EqData* const* out,
                        EqData* const* read_back, size_t count) {
  const bool given = adrs != nullptr && in != nullptr && out != nullptr && read_back != nullptr;
  const size_t total = given ? count : 0;
  // Another system's channels are sought together before they are written
  // one by one.
  if (ForeignCalls::serves_any(adrs, total)) impl_->foreign.prepare(adrs, total);
  // The connection of the previous call, when write i may go there at once.
  auto known_route = [&](size_t i) -> rpc::Connection* {
    if (adrs[i] == nullptr || in[i] == nullptr || out[i] == nullptr || read_back[i] == nullptr ||
        !adrs[i]->error_text().empty())
      return nullptr;
    return impl_->last.find(*adrs[i]);
  };
  size_t failed = 0;
  std::vector<rpc::Connection::Request> requests;
  size_t i = 0;
  while (i < total) {
    rpc::Connection* connection = known_route(i);
    if (connection == nullptr) {
      // Alone: it finds (and remembers) its server the way set does.
      if (set(adrs[i], in[i], out[i], read_back[i]) != 0) ++failed;
      ++i;
      continue;
    }
    // The run of writes that follow the same route travels together, each
    // write followed by its read.
    const size_t first = i;
    requests.clear();
    for (; i < total && known_route(i) == connection; ++i) {
      const std::string channel = adrs[i]->channel();
      requests.push_back({rpc::Op::set, channel, in[i], out[i]});
      requests.push_back({rpc::Op::get, channel, nullptr, read_back[i]});
    }
    connection->call_each(requests, kReadsInFlight, impl_->timeout);
    for (size_t k = first; k < i; ++k) {
      if (out[k]->error() == 0) continue;
      ++failed;
      read_back[k]->init();  // the read of a failed write tells nothing
    }
  }
  return failed;
}

EqCall::EqCall() : impl_(std::make_unique<Impl>()) {}

EqCall::Batch::Batch(EqCall& call) : call_(call) { call_.impl_->pool.silence().begin_batch(); }

EqCall::Batch::~Batch() { call_.impl_->pool.silence().end_batch(); }

// Subscriptions are stopped (their threads joined) before the connections go.
EqCall::~EqCall() {
  impl_->subscriptions->clear();
  impl_->foreign.clear();
}

int EqCall::get(const EqAdr* adr, const EqData* in, EqData* out) {
  if (ForeignCalls::serves(adr))
    return out == nullptr ? ill_parameter : impl_->foreign.get(*adr, *out);
  return impl_->perform(rpc::Op::get, adr, in, out);
}

int EqCall::set(const EqAdr* adr, const EqData* in, EqData* out) {
  if (in == nullptr && out != nullptr) {
    out->init();
    out->error(ill_parameter, "no value to write");
    return out->error();
  }
  if (ForeignCalls::serves(adr) && in != nullptr && out != nullptr)
    return impl_->foreign.set(*adr, *in, *out, nullptr);
  return impl_->perform(rpc::Op::set, adr, in, out);
}

int EqCall::set(const EqAdr* adr, const EqData* in, EqData* out, EqData* read_back) {
  if (read_back == nullptr) return set(adr, in, out);
  if (out == nullptr) return ill_parameter;
  if (in == nullptr) {
    out->init();
    out->error(ill_parameter, "no value to write");
    read_back->init();
    return out->error();
  }
  if (ForeignCalls::serves(adr)) return impl_->foreign.set(*adr, *in, *out, read_back);
  return impl_->write_and_read_back(adr, in, out, read_back);
}

int EqCall::names(const EqAdr* adr, EqData* out) {
  if (ForeignCalls::serves(adr))
    return out == nullptr ? ill_parameter : impl_->foreign.names(*adr, *out);
  return impl_->perform(rpc::Op::names, adr, nullptr, out);
}

int EqCall::set_option(const EqAdr* adr, const EqData* in, EqData* out, int option) {
  if (out != nullptr) out->init();
  switch (option) {
    case EQ_RETRY:
      // Forget both the route and the connections, so that the next call
      // asks the name service again and does not queue behind lost requests.
      if (adr != nullptr) rpc::forget_route(*adr);
      // The servers given up in a running batch stay given up.
      impl_->last.clear();
      impl_->pool.drop_all();
      return 0;
    case EQ_TIMEOUT:
      if (in == nullptr || in->get_int() <= 0) {
        if (out != nullptr) out->error(ill_parameter, "time-out must be a positive INT in ms");
        return ill_parameter;
      }
      impl_->timeout = std::chrono::milliseconds(in->get_int());
      impl_->foreign.set_timeout(impl_->timeout);
      return 0;
    default:
      if (out != nullptr) out->error(not_implemented, "unknown option");
      return not_implemented;
  }
}

int EqCall::get_option(const EqAdr* adr, const EqData* in, EqData* out, int option) {
  (void)in;
  if (option != EQ_HOSTNAME) {
    if (out == nullptr) return not_implemented;
    out->init();
    out->error(not_implemented, "unknown option");
    return out->error();
  }
  if (ForeignCalls::serves(adr))
    return out == nullptr ? ill_parameter : impl_->foreign.hostname(*adr, *out);
  return impl_->perform(rpc::Op::hostname, adr, nullptr, out);
}

Subscription EqCall::subscribe(const EqAdr& adr, std::function<void(const EqData&)> callback) {
  const std::weak_ptr<SubscriptionSet> set = impl_->subscriptions;
  auto handle = [&set](std::future<void> established, uint64_t id) {
    return Subscription(std::move(established), [set, id] {
      if (const auto subscriptions = set.lock()) subscriptions->end(id);
    });
  };
  if (ForeignCalls::serves(&adr)) {
    auto gate = std::make_shared<CallbackGate>(std::move(callback));
    std::future<void> established =
        impl_->foreign.subscribe(adr, [gate](const EqData& value) { gate->deliver(value); });
    const uint64_t id =
        impl_->subscriptions->add(std::make_unique<RunningSubscription>(std::move(gate)));
    return handle(std::move(established), id);
  }
  std::promise<void> established;
  std::future<void> result = established.get_future();
  EqAdr address = adr;
  EqData reply;
  rpc::Endpoint server;
  if (impl_->locate(&address, &reply, server))
    (void)impl_->pool.to(server).call(rpc::Op::subscribe, address.channel(), nullptr, reply,
                                      impl_->timeout);  // the reply holds the outcome
  int port = 0;
  float f1 = 0, f2 = 0;
  int64_t tm = 0;
  char* topic = nullptr;
  if (reply.error() == 0 &&
      (reply.type() != DATA_USTR || !reply.get_ustr(&port, &f1, &f2, &tm, &topic, 0) || port < 1 ||
       port > 65535 || topic == nullptr)) {
    reply.init();
    reply.error(bad_frame, "malformed subscription reply");
  }
  if (reply.error() != 0) {
    established.set_exception(std::make_exception_ptr(
        ErrorCode(reply.error(), reply.error_text() + " (" + address.show_adr() + ")")));
    return Subscription(std::move(result), nullptr);
  }
  uint64_t id = 0;
  try {
    id = impl_->subscriptions->add(
        std::make_unique<RunningSubscription>(std::make_unique<rpc::Subscription>(
            address, rpc::Endpoint{server.host, port}, std::string(topic) + '\0', impl_->timeout,
            std::move(callback))));
    established.set_value();
  } catch (const std::exception& e) {
    established.set_exception(
        std::make_exception_ptr(ErrorCode(link_error, std::string("subscription: ") + e.what())));
    return Subscription(std::move(result), nullptr);
  }
  return handle(std::move(result), id);
}

}  // namespace vanto
