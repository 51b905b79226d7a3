#include "stream_message.h"

#include <cstring>
#include <string>

#include "console.h"

namespace streamcat {

using vanto::EqDataBlock;

namespace {

template <typename T>
T read_at(const uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// Layout-1 header offsets.
constexpr int kV1Size = 2, kV1Type = 4, kV1Len = 8, kV1Ident = 16, kV1Sec = 24, kV1Usec = 28,
              kV1Stat = 32, kV1Sechi = 36;
// Layout-2 header offsets.
constexpr int kV2Size = 2, kV2Name = 4, kV2Type = 68, kV2Len = 72, kV2Ident = 80, kV2Sec = 88,
              kV2Usec = 96, kV2Stat = 100, kV2Res0 = 108, kV2Res1 = 112;

constexpr uint16_t kSecHiFlag = 0x8000;
constexpr size_t kUstrRecord = 40;
constexpr size_t kUstrStringLength = 24;
constexpr size_t kUstrStringPointer = 32;
constexpr size_t kXyzsLocation = 32;
constexpr size_t kXyzsCopied = 24;
constexpr size_t kSpectrumCopied = 48;
constexpr size_t kGSpectrumCopied = 200;
constexpr size_t kCommentField = 80;

// What a data part of `size` bytes holds; every check is made before any
// pointer is set, so a short message never leaves a pointer past its end.
class DataPart {
 public:
  DataPart(uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t* at(size_t offset) const { return data_ + offset; }
  size_t size() const { return size_; }
  bool holds(size_t offset, size_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }
  // Length of the NUL-terminated text at offset, or -1 without a NUL inside.
  long text_length(size_t offset) const {
    if (offset >= size_) return -1;
    const void* nul = std::memchr(data_ + offset, 0, size_ - offset);
    return nul ? static_cast<const uint8_t*>(nul) - (data_ + offset) : -1;
  }

 private:
  uint8_t* data_;
  size_t size_;
};

// Element size of the plain arrays whose data part is `len` elements from 0.
size_t array_element_size(int type) {
  switch (type) {
    case vanto::DATA_STRUCTURE: return 1;
    case vanto::DATA_A_SHORT:
    case vanto::DATA_A_USHORT: return 2;
    case vanto::DATA_A_FLOAT:
    case vanto::DATA_A_INT:
    case vanto::DATA_A_UINT: return 4;
    case vanto::DATA_A_XY:
    case vanto::DATA_A_DOUBLE:
    case vanto::DATA_A_LONG:
    case vanto::DATA_A_ULONG: return 8;
    default: return 0;
  }
}

size_t scalar_size(int type) {
  switch (type) {
    case vanto::DATA_SHORT:
    case vanto::DATA_USHORT: return 2;
    case vanto::DATA_INT:
    case vanto::DATA_FLOAT:
    case vanto::DATA_UINT: return 4;
    case vanto::DATA_DOUBLE:
    case vanto::DATA_XY:
    case vanto::DATA_LONG:
    case vanto::DATA_ULONG: return 8;
    case vanto::DATA_IIII:
    case vanto::DATA_IFFF: return 16;
    case vanto::DATA_TTII: return 24;
    default: return 0;
  }
}

void set_pair(vanto::DataPair& pair, size_t length, void* pointer) {
  pair.length = static_cast<uint32_t>(length);
  pair.ptr = pointer;
}

// Result of one type decoder: empty text when decoded, else why it was refused.
using Refusal = std::string;

Refusal decode_ustr_records(EqDataBlock& blk, const DataPart& part, uint32_t count) {
  if (!part.holds(0, static_cast<size_t>(count) * kUstrRecord)) return "USTR records beyond the message";
  size_t text_offset = static_cast<size_t>(count) * kUstrRecord;
  for (uint32_t k = 0; k < count; ++k) {
    uint8_t* record = part.at(k * kUstrRecord);
    const uint32_t length = read_at<uint32_t>(record + kUstrStringLength);
    if (!part.holds(text_offset, length)) return "USTR string beyond the message";
    char* text = reinterpret_cast<char*>(part.at(text_offset));
    std::memcpy(record + kUstrStringPointer, &text, sizeof text);
    text_offset += length;
  }
  set_pair(blk.data_u.d_ustr_array, count, part.at(0));
  return {};
}

Refusal decode_spectrum(EqDataBlock& blk, const DataPart& part, bool grouped) {
  const size_t copied = grouped ? kGSpectrumCopied : kSpectrumCopied;
  const size_t comment_at = grouped ? vanto::kGSpectrumCommentOffset : vanto::kSpectrumCommentOffset;
  const size_t values_at = grouped ? vanto::kGSpectrumValuesOffset : vanto::kSpectrumValuesOffset;
  const size_t count_at = grouped ? 192 : 40;
  if (!part.holds(0, values_at)) return "spectrum record beyond the message";
  const uint32_t comment_length = read_at<uint32_t>(part.at(0));
  const uint32_t count = read_at<uint32_t>(part.at(count_at));
  if (comment_length > kCommentField) return "spectrum comment longer than its field";
  if (!part.holds(values_at, static_cast<size_t>(count) * sizeof(float)))
    return "spectrum values beyond the message";
  char* comment = reinterpret_cast<char*>(part.at(comment_at));
  float* values = reinterpret_cast<float*>(part.at(values_at));
  if (grouped) {
    std::memcpy(&blk.data_u.d_gspectrum, part.at(0), copied);
    blk.data_u.d_gspectrum.comment = comment;
    blk.data_u.d_gspectrum.values = values;
  } else {
    std::memcpy(&blk.data_u.d_spectrum, part.at(0), copied);
    blk.data_u.d_spectrum.comment = comment;
    blk.data_u.d_spectrum.values = values;
  }
  return {};
}

Refusal decode_image(EqDataBlock& blk, const DataPart& part) {
  if (!part.holds(0, vanto::kImageCommentOffset)) return "image header beyond the message";
  const long comment_length = part.text_length(vanto::kImageCommentOffset);
  if (comment_length < 0) return "image comment without its terminating NUL";
  vanto::ImageRec& image = blk.data_u.d_image;
  std::memcpy(&image.header, part.at(0), sizeof image.header);
  image.seconds = read_at<int64_t>(part.at(vanto::kImageSecondsOffset));
  image.microseconds = read_at<int64_t>(part.at(vanto::kImageMicrosOffset));
  image.status = read_at<int32_t>(part.at(vanto::kImageStatusOffset));
  const size_t pixels_at = vanto::kImageCommentOffset + static_cast<size_t>(comment_length) + 1;
  set_pair(image.comment, static_cast<size_t>(comment_length) + 1,
           part.at(vanto::kImageCommentOffset));
  set_pair(image.pixels, part.size() - pixels_at, part.at(pixels_at));
  return {};
}

Refusal decode_byte_array(EqDataBlock& blk, const DataPart& part) {
  if (!part.holds(0, vanto::kByteDataOffset)) return "byte array header beyond the message";
  vanto::ByteRec& bytes = blk.data_u.d_byte_struct;
  const int32_t x_dim = read_at<int32_t>(part.at(0));
  const int32_t y_dim = read_at<int32_t>(part.at(4));
  if (x_dim < 0 || y_dim < 0) return "negative byte array dimension";
  const size_t count = static_cast<size_t>(x_dim) * static_cast<size_t>(y_dim);
  if (!part.holds(vanto::kByteDataOffset, count)) return "byte array beyond the message";
  bytes.x_dim = x_dim;
  bytes.y_dim = y_dim;
  bytes.x_offset = read_at<int32_t>(part.at(8));
  bytes.y_offset = read_at<int32_t>(part.at(12));
  bytes.option = read_at<int32_t>(part.at(16));
  set_pair(bytes.bytes, count, part.at(vanto::kByteDataOffset));
  return {};
}

Refusal decode_mda(EqDataBlock& blk, const DataPart& part, size_t element_size) {
  if (!part.holds(0, vanto::kMdaValuesOffset)) return "multi-dimensional header beyond the message";
  const int32_t comment_length = read_at<int32_t>(part.at(vanto::kMdaCommentLenOffset));
  const int32_t count = read_at<int32_t>(part.at(vanto::kMdaCountOffset));
  if (comment_length < 0 || comment_length > static_cast<int32_t>(kCommentField))
    return "multi-dimensional comment longer than its field";
  if (count < 0 || !part.holds(vanto::kMdaValuesOffset, static_cast<size_t>(count) * element_size))
    return "multi-dimensional values beyond the message";
  vanto::MdaRec& mda = blk.data_u.d_mda;
  mda.dimn = read_at<int32_t>(part.at(0));
  std::memcpy(mda.dims, part.at(4), sizeof mda.dims);
  set_pair(mda.comment, static_cast<size_t>(comment_length), part.at(vanto::kMdaCommentOffset));
  set_pair(mda.values, static_cast<size_t>(count), part.at(vanto::kMdaValuesOffset));
  return {};
}

// Fills the union for type; *decoded false for a type that is not decoded.
Refusal decode_value(EqDataBlock& blk, int type, uint32_t len, const DataPart& part,
                     bool* decoded) {
  *decoded = true;
  if (const size_t size = scalar_size(type)) {
    if (!part.holds(0, size)) return "value beyond the message";
    std::memcpy(&blk.data_u.d_int, part.at(0), size);
    return {};
  }
  if (const size_t element = array_element_size(type)) {
    if (!part.holds(0, static_cast<size_t>(len) * element)) return "array beyond the message";
    set_pair(blk.data_u.d_array, len, part.at(0));
    return {};
  }
  switch (type) {
    case vanto::DATA_STRING:
    case vanto::DATA_TEXT: {
      const long length = part.text_length(0);
      if (length < 0) return "text without its terminating NUL";
      set_pair(blk.data_u.d_char, static_cast<size_t>(length), part.at(0));
      return {};
    }
    case vanto::DATA_XYZS: {
      if (!part.holds(0, kXyzsLocation)) return "XYZS record beyond the message";
      const uint32_t length = read_at<uint32_t>(part.at(16));
      if (!part.holds(kXyzsLocation, length)) return "XYZS location beyond the message";
      std::memcpy(&blk.data_u.d_xyzs, part.at(0), kXyzsCopied);
      blk.data_u.d_xyzs.loc = reinterpret_cast<char*>(part.at(kXyzsLocation));
      return {};
    }
    case vanto::DATA_USTR:
      // One record; a count above one would make readers walk past it.
      if (len != 1) return "USTR with a record count other than one";
      return decode_ustr_records(blk, part, 1);
    case vanto::DATA_A_USTR: return decode_ustr_records(blk, part, len);
    case vanto::DATA_SPECTRUM: return decode_spectrum(blk, part, false);
    case vanto::DATA_GSPECTRUM: return decode_spectrum(blk, part, true);
    case vanto::DATA_IMAGE: return decode_image(blk, part);
    case vanto::DATA_A_BYTE: return decode_byte_array(blk, part);
    case vanto::DATA_MDA_FLOAT: return decode_mda(blk, part, sizeof(float));
    case vanto::DATA_MDA_DOUBLE: return decode_mda(blk, part, sizeof(double));
    default: *decoded = false; return {};
  }
}

}  // namespace

int get_subscr(const chan* chp, char* buffer, int size) {
  if (chp->vers == 1 || size <= 0) return 0;
  const uint8_t prefix[4] = {2, 0, kHeaderV2Length, 0};
  const size_t name_length = strnlen(chp->prop, sizeof chp->prop - 1);
  const size_t length = std::min(sizeof prefix + name_length, static_cast<size_t>(size));
  char filter[sizeof prefix + sizeof chp->prop];
  std::memcpy(filter, prefix, sizeof prefix);
  std::memcpy(filter + sizeof prefix, chp->prop, name_length);
  std::memcpy(buffer, filter, length);
  return static_cast<int>(length);
}

int store_data(vanto::EqData* container, dmsg_info* info, uint8_t* buffer, int total) {
  const size_t size = total > 0 ? static_cast<size_t>(total) : 0;
  if (size < 2) {
    dmsg_err("message shorter than its header, dropped");
    return -1;
  }
  const int16_t vers = read_at<int16_t>(buffer);
  const bool layout1 = vers == 1;
  const size_t fixed = layout1 ? kHeaderV1Length : kHeaderV2Length;
  if (size < fixed) {
    dmsg_err("message shorter than its header, dropped");
    return -1;
  }
  dmsg_info ts;
  int type = 0;
  uint32_t len = 0;
  size_t header_length = 0;
  if (layout1) {
    uint16_t size_field = read_at<uint16_t>(buffer + kV1Size);
    ts.ident = read_at<int64_t>(buffer + kV1Ident);
    ts.usec = read_at<int32_t>(buffer + kV1Usec);
    ts.stat = read_at<uint32_t>(buffer + kV1Stat);
    uint64_t seconds = read_at<uint32_t>(buffer + kV1Sec);
    if (size_field & kSecHiFlag) {
      seconds |= static_cast<uint64_t>(read_at<uint32_t>(buffer + kV1Sechi)) << 32;
      size_field = static_cast<uint16_t>(size_field & ~kSecHiFlag);
      std::memcpy(buffer + kV1Size, &size_field, sizeof size_field);
    }
    ts.sec = static_cast<int64_t>(seconds);
    header_length = size_field & 0x7FFF;
    type = read_at<int32_t>(buffer + kV1Type);
    len = static_cast<uint32_t>(read_at<int64_t>(buffer + kV1Len));
  } else {
    ts.ident = read_at<int64_t>(buffer + kV2Ident);
    ts.sec = read_at<int64_t>(buffer + kV2Sec);
    ts.usec = static_cast<int32_t>(read_at<uint32_t>(buffer + kV2Usec));
    ts.stat = read_at<uint32_t>(buffer + kV2Stat);
    ts.res0 = read_at<uint32_t>(buffer + kV2Res0);
    ts.res1 = read_at<uint32_t>(buffer + kV2Res1);
    type = read_at<int32_t>(buffer + kV2Type);
    len = static_cast<uint32_t>(read_at<int64_t>(buffer + kV2Len));
    header_length = static_cast<uint16_t>(read_at<int16_t>(buffer + kV2Size));
  }
  if (header_length < fixed || header_length > size) {
    dmsg_err("header length " + std::to_string(header_length) + " does not fit the message, dropped");
    return -1;
  }
  EqDataBlock& blk = *container->data_block();
  blk.tm = ts.sec;
  blk.error = static_cast<int32_t>(ts.stat >> 16);
  blk.data_u.data_sel = type;
  *info = ts;

  bool decoded = false;
  const DataPart part(buffer + header_length, size - header_length);
  const Refusal why = decode_value(blk, type, len, part, &decoded);
  if (!why.empty()) {
    dmsg_err(why + " (type " + std::to_string(type) + "), dropped");
    return -1;
  }
  return decoded ? 0 : 1;
}

void show_ustr_length(const vanto::EqData& container) {
  if (container.type() != vanto::DATA_USTR) return;
  const auto* record = static_cast<const uint8_t*>(container.data_block()->data_u.d_ustr_array.ptr);
  if (!record) return;
  const uint32_t length = read_at<uint32_t>(record + kUstrStringLength);
  const char* text = nullptr;
  std::memcpy(&text, record + kUstrStringPointer, sizeof text);
  // The text need not be NUL-terminated: show at most its stated length.
  say_out(format("test length: %d '%.*s'\n", static_cast<int>(length),
                 static_cast<int>(text ? strnlen(text, length) : 0), text ? text : ""));
}

int store_msg(chan* chp, MessageParts& parts, vanto::EqData* container, dmsg_info* info) {
  size_t total = 0;
  for (auto& part : parts) total += lib_zmq_msg_size(part.get());
  if (total > static_cast<size_t>(INT32_MAX) - 8) {
    dmsg_err("message too large, dropped");
    return -1;
  }
  // One spare zero word behind the message: a text read that trusts a NUL
  // the sender left out still ends inside the buffer.
  const size_t words = (total + 3) / 4;
  // Not zeroed as a whole: the message overwrites all but the padding of the
  // last word and the spare word, which are cleared here (saves a pass over
  // every large message).
  chp->dp = std::make_unique_for_overwrite<uint32_t[]>(words + 1);
  if (words > 0) chp->dp[words - 1] = 0;
  chp->dp[words] = 0;
  chp->len = static_cast<int>(words);
  uint8_t* bytes = reinterpret_cast<uint8_t*>(chp->dp.get());
  size_t offset = 0;
  for (auto& part : parts) {
    const size_t size = lib_zmq_msg_size(part.get());
    if (size) std::memcpy(bytes + offset, lib_zmq_msg_data(part.get()), size);
    offset += size;
  }
  return store_data(container, info, bytes, static_cast<int>(total)) < 0 ? -1 : 0;
}

}  // namespace streamcat
