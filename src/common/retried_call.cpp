#include "retried_call.h"

#include <algorithm>
#include <vector>

#include "retry.h"

namespace vantocli {

namespace {
// The option call gets a scratch result of its own, so that it can never
// overwrite the error of the attempt the caller judges.
void ask_for_retry(vanto::EqCall& call, vanto::EqAdr& address, vanto::EqData& retry_in) {
  vanto::EqData scratch;
  // Forgetting a route cannot fail; the next attempt's code is what counts.
  (void)call.set_option(&address, &retry_in, &scratch, vanto::EQ_RETRY);
}
}  // namespace

int retried_get(vanto::EqCall& call, vanto::EqAdr& address, vanto::EqData& in, vanto::EqData& out,
                vanto::EqData& retry_in, int attempts) {
  return call_with_retry(
      attempts, [&] { return call.get(&address, &in, &out); },
      [&] { ask_for_retry(call, address, retry_in); });
}

std::size_t get_many(vanto::EqCall& call, std::span<const std::string> names, vanto::EqData& in,
                     std::span<vanto::EqData* const> out) {
  std::vector<vanto::EqAdr> addresses(names.size());
  std::vector<vanto::EqAdr*> pointers;
  pointers.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    addresses[i].adr(names[i]);
    pointers.push_back(&addresses[i]);
  }
  return call.get_many(pointers.data(), &in, out.data(), std::min(pointers.size(), out.size()));
}

int retry_failed_get(vanto::EqCall& call, vanto::EqAdr& address, vanto::EqData& in,
                     vanto::EqData& out, vanto::EqData& retry_in, int attempts) {
  if (!is_retryable(out.error())) return out.error();
  ask_for_retry(call, address, retry_in);
  if (attempts > 1) return retried_get(call, address, in, out, retry_in, attempts - 1);
  return out.error();
}

void retried_get_many(vanto::EqCall& call, std::span<const std::string> names, vanto::EqData& in,
                      std::span<vanto::EqData* const> out, vanto::EqData& retry_in, int attempts) {
  if (get_many(call, names, in, out) == 0) return;
  for (std::size_t i = 0; i < names.size() && i < out.size(); ++i) {
    if (!is_retryable(out[i]->error())) continue;
    vanto::EqAdr address;
    address.adr(names[i]);
    retry_failed_get(call, address, in, *out[i], retry_in, attempts);
  }
}

int retried_names(vanto::EqCall& call, vanto::EqAdr& address, vanto::EqData& out,
                  vanto::EqData& retry_in, int attempts) {
  return call_with_retry(
      attempts,
      [&] {
        out.init();
        return call.names(&address, &out);
      },
      [&] { ask_for_retry(call, address, retry_in); });
}

}  // namespace vantocli
