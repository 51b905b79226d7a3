// Backends: calls on addresses of another control system (the "tango:" and
// "epics:" prefixes), served by a module that libvanto loads with dlopen on
// the first such address, so that programs reading VANTO channels never load
// that system's libraries.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "vanto/eqadr.h"
#include "vanto/eqdata.h"

namespace vanto::backend {

// The calls of one EqCall on one other system. Each returns the call's code
// and leaves every error in its EqData (code and text); none throws.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual int get(const EqAdr& adr, EqData& out) = 0;
  // out[i] receives what get(*adrs[i], *out[i]) would; returns the failures.
  virtual size_t get_many(const EqAdr* const* adrs, EqData* const* out, size_t count) = 0;
  // Writes in; when read_back is not null, reads the channel back into it.
  virtual int set(const EqAdr& adr, const EqData& in, EqData& out, EqData* read_back) = 0;
  // Told before a run of calls on adrs (the writes of a list), so that what
  // they need can be sought all at once; reports nothing, the calls do.
  virtual void prepare(const EqAdr* const* adrs, size_t count) {
    (void)adrs;
    (void)count;
  }
  virtual int names(const EqAdr& adr, EqData& out) = 0;
  virtual int hostname(const EqAdr& adr, EqData& out) = 0;
  virtual void set_timeout(std::chrono::milliseconds timeout) = 0;
  // Starts delivering updates to callback (on a thread of the backend) until
  // the backend is destroyed; on failure status holds the error.
  virtual int subscribe(const EqAdr& adr, std::function<void(const EqData&)> callback,
                        EqData& status) = 0;
};

// Name of the function a module exports: it fills *made with a new backend,
// or leaves it empty and puts the reason into *why.
inline constexpr const char* kCreateSymbol = "vanto_backend_create";
using CreateFunction = void (*)(std::unique_ptr<Backend>* made, std::string* why);

// The module that serves a protocol ("tango", "epics"), or none.
const char* module_file(const std::string& protocol);

// A new backend for protocol from its module, loaded at the first call;
// null with out holding not_implemented (9) and a text naming the module when
// the module is missing or cannot start.
std::unique_ptr<Backend> create(const std::string& protocol, EqData& out);

}  // namespace vanto::backend
