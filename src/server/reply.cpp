#include "reply.h"

#include "vanto/codec.h"

namespace vantoserver {

std::shared_ptr<const Encoded> encode(const vanto::EqData& value) {
  auto encoded = std::make_shared<Encoded>();
  encoded->type = value.type();
  if (value.type() != vanto::DATA_NULL)
    encoded->bytes = vanto::Codec::encode_data(value, &encoded->count);
  return encoded;
}

Reply value_reply(const vanto::EqData& value) {
  if (value.error() != 0) return Reply::failure(value.error(), value.error_text());
  Reply reply;
  reply.data = encode(value);
  reply.sec = value.get_time();
  reply.usec = value.get_time_usec();
  reply.event_id = value.get_event_id();
  return reply;
}

}  // namespace vantoserver
