// Client side of the name service: which server serves a facility/device.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "rpc_connection.h"
#include "vanto/eqadr.h"
#include "vanto/eqdata.h"

namespace vanto::rpc {

// The name service endpoint: VANTO_ENS ("host:port"), or localhost and the
// default port. A malformed VANTO_ENS gives false.
bool name_service_endpoint(Endpoint& out);

// Finds the server of adr: the host and port of a "vanto://host:port/..."
// address, or the name service's answer for its facility and device, cached
// per process. On failure err holds the error (bad_address, not_implemented,
// no_ens_entry, unavail_serv, ...) and the result is false.
bool route(ConnectionPool& pool, const EqAdr& adr, Endpoint& server, EqData& err,
           std::chrono::milliseconds timeout);

// True when route() would have to ask the name service about adr (a valid
// address without host whose route is not cached); ens is then its endpoint.
bool needs_name_service(const EqAdr& adr, Endpoint& ens);

// Forgets the cached route of adr's facility and device (EQ_RETRY).
void forget_route(const EqAdr& adr);

// Counts the routes forgotten so far: a route remembered outside the cache is
// still good while this has not changed.
uint64_t routes_forgotten();

}  // namespace vanto::rpc
