// Answers the requests of clients: get, set, names, name service, host name,
// subscriptions and the stream port exchange ("SPN").
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "event_state.h"
#include "registry.h"
#include "reply.h"
#include "rpc_protocol.h"
#include "stream_hub.h"

namespace vantoserver {

// The four fields of a request's address.
struct Fields {
  std::string facility, device, location, property;
};
// Splits "F/D/L/P" (missing fields empty); false with more than four fields.
bool split_address(std::string_view address, Fields& out);

class Service {
 public:
  Service(const Registry& registry, const EventState& events, StreamHub& streams,
          std::string host_name, int subscription_port);

  Reply handle(vanto::rpc::Op op, std::string_view address, const vanto::EqData& in);

 private:
  // The channel of fields, or an error reply (119 for facility and device).
  Channel* lookup(const Fields& fields, Reply& error) const;
  Reply get(const Fields& fields, const vanto::EqData& in);
  Reply set(const Fields& fields, const vanto::EqData& in);
  Reply get(Channel& channel, const vanto::EqData& in);
  Reply set(Channel& channel, const vanto::EqData& in);
  Reply names(const Fields& fields);
  Reply resolve(const Fields& fields) const;
  Reply subscribe(const Fields& fields) const;
  Reply stream_port(const Fields& fields, const vanto::EqData& in, bool start);

  const Registry& registry_;
  const EventState& events_;
  StreamHub& streams_;
  std::string host_name_;
  int subscription_port_;
  // Name lists do not change while the server runs: encoded once.
  std::map<std::string, std::shared_ptr<const Encoded>> names_cache_;
};

}  // namespace vantoserver
