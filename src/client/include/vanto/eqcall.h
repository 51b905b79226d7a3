// EqCall: get, set, name lists and subscriptions over the network.
#pragma once

#include <cstddef>
#include <functional>
#include <future>
#include <memory>

#include "vanto/eqadr.h"
#include "vanto/eqdata.h"
#include "vanto/export.h"

namespace vanto {

// Options of set_option / get_option.
enum EqOption : int {
  EQ_RETRY = 1,     // set_option: the next call should try the server again
                    // (forget the cached route of this address)
  EQ_HOSTNAME = 2,  // get_option: out receives the serving host's name (STRING)
  EQ_TIMEOUT = 3,   // set_option: in holds the call time-out in ms (INT)
};

// One subscription made by EqCall::subscribe. Its callback runs until the
// handle is cancelled or destroyed, or its EqCall is destroyed, whichever
// comes first. Movable, not copyable; a default-constructed or moved-from
// handle holds no subscription.
class [[nodiscard]] VANTO_EXPORT Subscription {
 public:
  Subscription() = default;
  ~Subscription() { cancel(); }
  Subscription(Subscription&& other) noexcept;
  // Cancels the subscription this handle held before taking other's.
  Subscription& operator=(Subscription&& other) noexcept;
  Subscription(const Subscription&) = delete;
  Subscription& operator=(const Subscription&) = delete;

  // Ready when the server has accepted the subscription, or holding an
  // ErrorCode (119 for an unknown address, 100 when no server answers).
  std::future<void>& established() { return established_; }
  // Ends the updates: when cancel returns, the callback is not running and
  // never runs again. Must not be called from the callback itself.
  void cancel() noexcept;

 private:
  friend class EqCall;
  Subscription(std::future<void> established, std::function<void()> cancel)
      : established_(std::move(established)), cancel_(std::move(cancel)) {}

  std::future<void> established_;
  std::function<void()> cancel_;  // empty when the handle holds nothing
};

// Performs calls. Each call is synchronous and returns out's error code
// (0 when it succeeded); the error text is in out. One EqCall must be used by
// one thread at a time; many EqCall objects may be used from many threads at
// once.
//
// Routing: an address "vanto://host:port/F/D/L/P" goes to that server; any
// other address is resolved through the name service at VANTO_ENS
// ("host:port"; unset: localhost and the default port), cached per process.
// No answer in time (default 2000 ms) or no server gives unavail_serv (100);
// an unknown facility or device gives no_ens_entry (119).
//
// Every call has a reference form and a pointer form; in the pointer form a
// null address or result gives ill_parameter.
class VANTO_EXPORT EqCall {
 public:
  EqCall();
  ~EqCall();
  EqCall(const EqCall&) = delete;
  EqCall& operator=(const EqCall&) = delete;

  // Reads the channel; in carries request arguments (e.g. DATA_IIII crop or
  // DATA_TTII history interval) or is null.
  [[nodiscard]] int get(const EqAdr& adr, EqData& out, const EqData* in = nullptr) {
    return get(&adr, in, &out);
  }
  [[nodiscard]] int get(const EqAdr* adr, const EqData* in, EqData* out);
  // Reads many channels at once: the requests go out together, as many as
  // the server takes in flight, and the replies are gathered as they come,
  // so that a long list costs far fewer round trips than one get each.
  // For i below count, out[i] receives what get(adrs[i], in, out[i]) would
  // give (one attempt); in is the request argument of every read, or nullptr.
  // Returns the number of reads that failed (each out[i] holds its own error).
  [[nodiscard]] size_t get_many(EqAdr* const* adrs, EqData* in, EqData* const* out, size_t count);
  // Writes in into the channel. With read_back, also reads the channel back
  // into it in the same round trip: the read follows the write on the same
  // connection, and a server answers one connection's requests in order, so
  // it sees the written value (or a later one). When the write fails,
  // read_back is left empty. Returns the write's code.
  [[nodiscard]] int set(const EqAdr& adr, const EqData& in, EqData& out,
                        EqData* read_back = nullptr) {
    return set(&adr, &in, &out, read_back);
  }
  [[nodiscard]] int set(const EqAdr* adr, const EqData* in, EqData* out);
  [[nodiscard]] int set(const EqAdr* adr, const EqData* in, EqData* out, EqData* read_back);
  // Writes many values: for i below count, what set(adrs[i], in[i], out[i],
  // read_back[i]) would give, in that order, but the writes (each with its
  // read-back) of a run of addresses on one route are kept in flight
  // together instead of one round trip each. Returns the number of writes
  // that failed.
  [[nodiscard]] size_t set_many(EqAdr* const* adrs, EqData* const* in, EqData* const* out,
                                EqData* const* read_back, size_t count);
  // Lists names below the first '*' of the address: devices of the facility
  // (DATA_A_USTR, the name in each record's text), locations of a device, or
  // properties of a location ("NAME description").
  [[nodiscard]] int names(const EqAdr& adr, EqData& out) { return names(&adr, &out); }
  [[nodiscard]] int names(const EqAdr* adr, EqData* out);
  // See EqOption; in and out may be null where the option needs none.
  [[nodiscard]] int set_option(const EqAdr* adr, const EqData* in, EqData* out, int option);
  [[nodiscard]] int get_option(const EqAdr* adr, const EqData* in, EqData* out, int option);

  // Subscribes to the address: callback then runs on a library thread for
  // every update until the returned handle ends the subscription (see
  // Subscription). Whether the server accepted it: the handle's
  // established().
  Subscription subscribe(const EqAdr& adr, std::function<void(const EqData&)> callback);

  // A batch of calls, from its construction to its destruction (batches may
  // nest). Within a batch, a server that let a call wait out the whole
  // time-out is given up: the calls to it that follow, on any route to it
  // and the name service look-ups included, fail at once with unavail_serv
  // instead of waiting again, until it answers again (a late reply counts)
  // or the outermost batch ends. EQ_RETRY does not lift this. A list of
  // calls to a dead server thus costs one time-out, not one per call.
  class Batch {
   public:
    explicit Batch(EqCall& call);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    EqCall& call_;
  };

  // Default port of the name service and of vantoserver.
  static constexpr int kDefaultPort = 5600;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vanto
