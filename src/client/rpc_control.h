// Fault injection commands for a server (used by the test harness).
#pragma once

#include <string>

#include "rpc_connection.h"

namespace vanto::rpc {

// Sends one fault command about channel address ("F/D/L/P"; ignored by
// FaultMode::clear) to the server. Returns 0 or the error code.
int send_fault(const Endpoint& server, FaultMode mode, const std::string& address, int code,
               int count, int delay_ms);

}  // namespace vanto::rpc
