#include "foreign_calls.h"

#include <vector>

#include "vanto/errors.h"

namespace vanto::backend {

bool ForeignCalls::serves(const EqAdr* adr) {
  return adr != nullptr && adr->error_text().empty() && module_file(adr->protocol()) != nullptr;
}

bool ForeignCalls::serves_any(const EqAdr* const* adrs, size_t count) {
  if (adrs == nullptr) return false;
  for (size_t i = 0; i < count; ++i)
    if (serves(adrs[i])) return true;
  return false;
}

Backend* ForeignCalls::backend_of(const EqAdr& adr, EqData& out) {
  auto it = backends_.find(adr.protocol());
  if (it != backends_.end()) return it->second.get();
  std::unique_ptr<Backend> made = create(adr.protocol(), out);
  if (made == nullptr) return nullptr;  // not remembered: a module installed later is found
  if (timeout_.count() > 0) made->set_timeout(timeout_);
  return backends_.emplace(adr.protocol(), std::move(made)).first->second.get();
}

int ForeignCalls::get(const EqAdr& adr, EqData& out) {
  Backend* backend = backend_of(adr, out);
  return backend == nullptr ? out.error() : backend->get(adr, out);
}

int ForeignCalls::set(const EqAdr& adr, const EqData& in, EqData& out, EqData* read_back) {
  if (read_back != nullptr) read_back->init();
  Backend* backend = backend_of(adr, out);
  return backend == nullptr ? out.error() : backend->set(adr, in, out, read_back);
}

void ForeignCalls::prepare(EqAdr* const* adrs, size_t count) {
  std::map<std::string, std::vector<const EqAdr*>> foreign;
  for (size_t i = 0; i < count; ++i)
    if (serves(adrs[i])) foreign[adrs[i]->protocol()].push_back(adrs[i]);
  for (const auto& [protocol, list] : foreign) {
    EqData missing;  // a module that cannot be loaded: each call reports it
    if (Backend* backend = backend_of(*list.front(), missing))
      backend->prepare(list.data(), list.size());
  }
}

int ForeignCalls::names(const EqAdr& adr, EqData& out) {
  Backend* backend = backend_of(adr, out);
  return backend == nullptr ? out.error() : backend->names(adr, out);
}

int ForeignCalls::hostname(const EqAdr& adr, EqData& out) {
  Backend* backend = backend_of(adr, out);
  return backend == nullptr ? out.error() : backend->hostname(adr, out);
}

std::future<void> ForeignCalls::subscribe(const EqAdr& adr,
                                          std::function<void(const EqData&)> callback) {
  std::promise<void> established;
  std::future<void> result = established.get_future();
  EqData status;
  Backend* backend = backend_of(adr, status);
  if (backend != nullptr) backend->subscribe(adr, std::move(callback), status);
  if (status.error() != 0) {
    established.set_exception(std::make_exception_ptr(
        ErrorCode(status.error(), status.error_text() + " (" + adr.show_adr() + ")")));
  } else {
    established.set_value();
  }
  return result;
}

void ForeignCalls::set_timeout(std::chrono::milliseconds timeout) {
  timeout_ = timeout;
  for (auto& [protocol, backend] : backends_) backend->set_timeout(timeout);
}

size_t ForeignCalls::get_many(EqAdr* const* adrs, EqData* const* out, size_t count,
                              const OwnReads& own_reads) {
  // Each backend's reads go together, so that it can batch them per device.
  std::map<std::string, std::pair<std::vector<const EqAdr*>, std::vector<EqData*>>> foreign;
  std::vector<EqAdr*> own_adrs;
  std::vector<EqData*> own_out;
  size_t failed = 0;
  for (size_t i = 0; i < count; ++i) {
    if (out[i] == nullptr) {
      ++failed;
    } else if (serves(adrs[i])) {
      auto& [list_adrs, list_out] = foreign[adrs[i]->protocol()];
      list_adrs.push_back(adrs[i]);
      list_out.push_back(out[i]);
    } else {
      own_adrs.push_back(adrs[i]);
      own_out.push_back(out[i]);
    }
  }
  if (!own_adrs.empty()) failed += own_reads(own_adrs.data(), own_out.data(), own_adrs.size());
  for (auto& [protocol, list] : foreign) {
    Backend* backend = backend_of(*list.first.front(), *list.second.front());
    if (backend == nullptr) {
      for (EqData* each : list.second) each->copy_from(*list.second.front());
      failed += list.second.size();
      continue;
    }
    failed += backend->get_many(list.first.data(), list.second.data(), list.first.size());
  }
  return failed;
}

}  // namespace vanto::backend
