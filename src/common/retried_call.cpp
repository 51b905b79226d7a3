#include "retried_call.h"

#include "retry.h"

namespace vantocli {

namespace {
// The option call gets a scratch result of its own, so that it can never
// overwrite the error of the attempt the caller judges.
void ask_for_retry(vanto::EqCall& call, vanto::EqAdr& address, vanto::EqData& retry_in) {
  vanto::EqData scratch;
  call.set_option(&address, &retry_in, &scratch, vanto::EQ_RETRY);
}
}  // namespace

int retried_get(vanto::EqCall& call, vanto::EqAdr& address, vanto::EqData& in,
                vanto::EqData& out, vanto::EqData& retry_in, int attempts) {
  return call_with_retry(
      attempts, [&] { return call.get(&address, &in, &out); },
      [&] { ask_for_retry(call, address, retry_in); });
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
