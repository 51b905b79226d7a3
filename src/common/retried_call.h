// The client calls the programs repeat after a busy or unreachable server.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include <vanto/eqadr.h>
#include <vanto/eqcall.h>
#include <vanto/eqdata.h>

namespace vantocli {

// Reads address into out, up to `attempts` attempts (at least one). After an
// attempt that failed with 100 or 101 the call object is told to try the
// server again (EQ_RETRY with the always empty `retry_in`). Returns the last
// error code; out holds the last result.
int retried_get(vanto::EqCall& call, vanto::EqAdr& address, vanto::EqData& in, vanto::EqData& out,
                vanto::EqData& retry_in, int attempts);

// What retried_get does after a first attempt that left out: when out holds
// 100 or 101, the retry request and up to attempts - 1 further attempts.
// Returns the last error code.
int retry_failed_get(vanto::EqCall& call, vanto::EqAdr& address, vanto::EqData& in,
                     vanto::EqData& out, vanto::EqData& retry_in, int attempts);

// Reads names[i] into *out[i] for every i, one attempt each, all at once
// (EqCall::get_many); in is the request argument of every read. Returns the
// number of reads that failed; each result holds its own code.
std::size_t get_many(vanto::EqCall& call, std::span<const std::string> names, vanto::EqData& in,
                     std::span<vanto::EqData* const> out);

// get_many, then for each read that failed with a retryable code what
// retried_get does after its first attempt: the retry request and up to
// attempts - 1 further attempts, one read at a time.
void retried_get_many(vanto::EqCall& call, std::span<const std::string> names, vanto::EqData& in,
                      std::span<vanto::EqData* const> out, vanto::EqData& retry_in, int attempts);

// The same for a name list of the address's first '*'.
int retried_names(vanto::EqCall& call, vanto::EqAdr& address, vanto::EqData& out,
                  vanto::EqData& retry_in, int attempts);

}  // namespace vantocli
