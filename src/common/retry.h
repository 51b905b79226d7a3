// The retried client call shared by the programs.
#pragma once

#include <functional>

namespace vantocli {

// True for the error codes after which a call is worth repeating
// (unavail_serv 100, ill_serv 101).
bool is_retryable(int code);

// Runs call (which returns an error code) up to `attempts` times, at least
// once. After every attempt that failed with a retryable code, before_retry
// runs (the programs ask the library to try the server again there), also
// after the last one. Any other code ends the attempts at once. Returns the
// code of the last attempt.
int call_with_retry(int attempts, const std::function<int()>& call,
                    const std::function<void()>& before_retry);

}  // namespace vantocli
