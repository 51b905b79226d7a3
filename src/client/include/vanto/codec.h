// The value codec: EqData <-> data parts and stream messages.
//
// Layouts are documented in docs/protocol.md. Stream messages have a header
// (layout 1, 40 bytes, or layout 2, 120 bytes) followed by the data part. RPC
// requests and replies carry values as data parts of the same layouts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vanto/eqdata.h"
#include "vanto/export.h"
#include "vanto/stream_view.h"

namespace vanto {

// Identity of a stream message.
struct StreamInfo {
  std::string name;   // property name (layout 2 only; at most 63 chars)
  int64_t ident = 0;  // event id
  int64_t sec = 0;
  uint32_t usec = 0;
  uint32_t stat = 0;  // upper 16 bits: error code
  uint32_t res0 = 0;
  uint32_t res1 = 0;
};

class VANTO_EXPORT Codec {
 public:
  // The data part of value (its layout by value.type()); the element count
  // that belongs in the header's len field is stored in *count.
  static std::vector<uint8_t> encode_data(const EqData& value, uint32_t* count);

  // Decodes a data part into out (owned copy). type and count come from the
  // header. Returns 0, or bad_frame with out.error(bad_frame, why) when the
  // bytes are shorter than the type and count require, a string is not
  // terminated inside the part, or the type is unknown.
  static int decode_data(EqData& out, int type, uint32_t count, const uint8_t* data, size_t size);

  // A whole stream message: header of layout 1 or 2, then the data part.
  // Layout 1 sets bit 15 of size and sechi when sec does not fit 32 bits.
  static std::vector<uint8_t> encode_message(const EqData& value, const StreamInfo& info,
                                             int layout);
  // Decodes a whole message (either layout); fills info and out. Returns 0 or
  // bad_frame as decode_data.
  static int decode_message(const uint8_t* msg, size_t size, EqData& out, StreamInfo& info);
};

}  // namespace vanto
