// The client calls the programs repeat after a busy or unreachable server.
#pragma once

#include <vanto/eqadr.h>
#include <vanto/eqcall.h>
#include <vanto/eqdata.h>

namespace vantocli {

// Reads address into out, up to `attempts` attempts (at least one). After an
// attempt that failed with 100 or 101 the call object is told to try the
// server again (EQ_RETRY with the always empty `retry_in`). Returns the last
// error code; out holds the last result.
int retried_get(vanto::EqCall& call, vanto::EqAdr& address, vanto::EqData& in,
                vanto::EqData& out, vanto::EqData& retry_in, int attempts);

// The same for a name list of the address's first '*'.
int retried_names(vanto::EqCall& call, vanto::EqAdr& address, vanto::EqData& out,
                  vanto::EqData& retry_in, int attempts);

}  // namespace vantocli
