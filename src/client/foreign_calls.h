// The calls of one EqCall on addresses that a backend module serves
// ("tango:", "epics:"): each backend is made at the first address that needs it.
#pragma once

#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <string>

#include "backend.h"
#include "vanto/eqadr.h"
#include "vanto/eqdata.h"

namespace vanto::backend {

class ForeignCalls {
 public:
  // Whether adr (a parsed address) belongs to a backend.
  static bool serves(const EqAdr* adr);
  // Whether any of the first count addresses does.
  static bool serves_any(const EqAdr* const* adrs, size_t count);

  int get(const EqAdr& adr, EqData& out);
  int set(const EqAdr& adr, const EqData& in, EqData& out, EqData* read_back);
  // Tells each backend the addresses of a run of calls it is about to get.
  void prepare(EqAdr* const* adrs, size_t count);
  int names(const EqAdr& adr, EqData& out);
  int hostname(const EqAdr& adr, EqData& out);
  std::future<void> subscribe(const EqAdr& adr, std::function<void(const EqData&)> callback);
  void set_timeout(std::chrono::milliseconds timeout);

  // Reads a list that mixes backend and VANTO addresses: the backends' reads
  // go to their backends, the rest as one list to own_reads (which takes
  // addresses, results and a count and returns its failures). Returns all
  // failures.
  using OwnReads = std::function<size_t(EqAdr* const*, EqData* const*, size_t)>;
  size_t get_many(EqAdr* const* adrs, EqData* const* out, size_t count, const OwnReads& own_reads);

  // Stops every subscription (joins the backends' threads).
  void clear() { backends_.clear(); }

 private:
  Backend* backend_of(const EqAdr& adr, EqData& out);

  std::map<std::string, std::unique_ptr<Backend>> backends_;  // by protocol
  std::chrono::milliseconds timeout_{0};                      // 0: the backend's default
};

}  // namespace vanto::backend
