#include "retry.h"

#include <vanto/errors.h>

namespace vantocli {

bool is_retryable(int code) { return code == vanto::unavail_serv || code == vanto::ill_serv; }

int call_with_retry(int attempts, const std::function<int()>& call,
                    const std::function<void()>& before_retry) {
  if (attempts < 1) attempts = 1;
  int code = 0;
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    code = call();
    if (!is_retryable(code)) break;
    before_retry();
  }
  return code;
}

}  // namespace vantocli
