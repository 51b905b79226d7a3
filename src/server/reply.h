// A reply of the server before it is framed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vanto/eqdata.h"

namespace vantoserver {

// An encoded data part with its type and element count.
struct Encoded {
  int type = 0;
  uint32_t count = 0;
  std::vector<uint8_t> bytes;
};

struct Reply {
  int error = 0;
  std::string text;                     // error text
  std::shared_ptr<const Encoded> data;  // value (may be shared by many replies)
  int64_t sec = 0;
  uint32_t usec = 0;
  int64_t event_id = 0;

  static Reply failure(int code, std::string why) {
    Reply r;
    r.error = code;
    r.text = std::move(why);
    return r;
  }
};

// The value as a reply (encoded with the codec), with its time and event id.
Reply value_reply(const vanto::EqData& value);
std::shared_ptr<const Encoded> encode(const vanto::EqData& value);

}  // namespace vantoserver
