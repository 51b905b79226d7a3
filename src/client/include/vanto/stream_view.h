// In-place reading of stream messages: the header layouts and the data-part
// layouts that the codec writes, read where they lie. Nothing is copied: a
// bound block points into the caller's bytes, which must outlive every
// reader of the block. Every count, length and offset is checked against
// the bytes at hand, so a short or lying message is refused, never read
// past its end. Codec (codec.h) decodes through the same two functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "vanto/eqdata.h"
#include "vanto/export.h"

namespace vanto {

// Header layouts: `vers` 1 selects layout 1, any other value layout 2.
inline constexpr size_t kHeaderV1Size = 40;
inline constexpr size_t kHeaderV2Size = 120;
// Both layouts: int16 `vers` at 0, then the 16-bit `size` field at 2.
inline constexpr size_t kHeaderSizeOffset = 2;
// Layout 2: the property name field, NUL-terminated and NUL-padded.
inline constexpr size_t kHeaderNameOffset = 4;
inline constexpr size_t kHeaderNameField = 64;
// Layout 1: bit 15 of `size` says that `sechi` holds the upper seconds.
inline constexpr uint16_t kHeaderSecondsHighFlag = 0x8000;

// What a stream message header says.
struct StreamHeader {
  int layout = 0;             // 1 or 2; 0 when not even `vers` was there
  size_t length = 0;          // header bytes; the data part starts here
  int type = 0;               // data type id
  uint32_t count = 0;         // element count (the low 32 bits of `len`)
  bool seconds_high = false;  // layout 1: bit 15 of `size` was set
  std::string_view name;      // layout 2: property name (points into the message)
  int64_t ident = 0;          // event id
  int64_t sec = 0;            // layout 1: `sec`, joined with `sechi` when flagged
  uint32_t usec = 0;
  uint32_t stat = 0;  // upper 16 bits: error code
  uint32_t res0 = 0;  // layout 2 only
  uint32_t res1 = 0;
};

enum class HeaderFault {
  none,
  truncated,   // fewer bytes than the layout's fixed fields
  bad_length,  // the header's own length is below its layout's or beyond the message
};

// Reads the header of the size bytes at msg into out.
VANTO_EXPORT HeaderFault read_stream_header(const uint8_t* msg, size_t size, StreamHeader& out);

// Points u at the data part data[0, size) of type with count elements (count
// as the header gives it). Record types get their string pointers written
// into data, as the stream format lays them out. Returns false, with why set
// and u unchanged, when the bytes do not hold what type and count require or
// the type is unknown.
VANTO_EXPORT bool bind_data_part(EqDataBlock::DataU& u, int type, uint32_t count, uint8_t* data,
                                 size_t size, std::string* why);

}  // namespace vanto
