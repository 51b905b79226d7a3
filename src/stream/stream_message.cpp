#include "stream_message.h"

#include <cstring>
#include <string>

#include <vanto/stream_view.h>

#include "console.h"

namespace streamcat {

using vanto::EqDataBlock;

namespace {

// The types streamcat decodes; the union of any other type is left as it was
// and the message travels on with its time, error code and type alone.
bool decodes(int type) {
  switch (type) {
    case vanto::DATA_INT:
    case vanto::DATA_FLOAT:
    case vanto::DATA_UINT:
    case vanto::DATA_SHORT:
    case vanto::DATA_USHORT:
    case vanto::DATA_DOUBLE:
    case vanto::DATA_XY:
    case vanto::DATA_LONG:
    case vanto::DATA_ULONG:
    case vanto::DATA_IIII:
    case vanto::DATA_IFFF:
    case vanto::DATA_TTII:
    case vanto::DATA_XYZS:
    case vanto::DATA_STRING:
    case vanto::DATA_TEXT:
    case vanto::DATA_USTR:
    case vanto::DATA_A_USTR:
    case vanto::DATA_SPECTRUM:
    case vanto::DATA_GSPECTRUM:
    case vanto::DATA_IMAGE:
    case vanto::DATA_A_BYTE:
    case vanto::DATA_MDA_FLOAT:
    case vanto::DATA_MDA_DOUBLE:
    case vanto::DATA_STRUCTURE:
    case vanto::DATA_A_FLOAT:
    case vanto::DATA_A_XY:
    case vanto::DATA_A_INT:
    case vanto::DATA_A_DOUBLE:
    case vanto::DATA_A_SHORT:
    case vanto::DATA_A_LONG:
    case vanto::DATA_A_USHORT:
    case vanto::DATA_A_UINT:
    case vanto::DATA_A_ULONG: return true;
    default: return false;
  }
}

dmsg_info identity_of(const vanto::StreamHeader& header) {
  dmsg_info info;
  info.ident = header.ident;
  info.sec = header.sec;
  info.usec = static_cast<int32_t>(header.usec);
  info.stat = header.stat;
  info.res0 = header.res0;
  info.res1 = header.res1;
  return info;
}

// A layout-1 header that carried the upper seconds reads as a plain 40-byte
// header afterwards: the flag is cleared in the buffer.
void clear_seconds_flag(uint8_t* buffer, const vanto::StreamHeader& header) {
  if (header.layout != 1 || !header.seconds_high) return;
  const uint16_t size_field = static_cast<uint16_t>(header.length);
  std::memcpy(buffer + vanto::kHeaderSizeOffset, &size_field, sizeof size_field);
}

}  // namespace

int get_subscr(const chan* chp, char* buffer, int size) {
  if (chp->vers == 1 || size <= 0) return 0;
  const uint8_t prefix[4] = {2, 0, static_cast<uint8_t>(vanto::kHeaderV2Size), 0};
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
  vanto::StreamHeader header;
  switch (vanto::read_stream_header(buffer, size, header)) {
    case vanto::HeaderFault::none: break;
    case vanto::HeaderFault::truncated:
      dmsg_err("message shorter than its header, dropped");
      return -1;
    case vanto::HeaderFault::bad_length:
      dmsg_err("header length " + std::to_string(header.length) +
               " does not fit the message, dropped");
      return -1;
  }
  clear_seconds_flag(buffer, header);
  EqDataBlock& blk = *container->data_block();
  blk.tm = header.sec;
  blk.error = static_cast<int32_t>(header.stat >> 16);
  blk.data_u.data_sel = header.type;
  *info = identity_of(header);
  if (!decodes(header.type)) return 1;
  // One record; a count above one would make readers walk past it.
  if (header.type == vanto::DATA_USTR && header.count != 1) {
    dmsg_err("USTR with a record count other than one (type " + std::to_string(header.type) +
             "), dropped");
    return -1;
  }
  std::string why;
  if (!vanto::bind_data_part(blk.data_u, header.type, header.count, buffer + header.length,
                             size - header.length, &why)) {
    dmsg_err(why + " (type " + std::to_string(header.type) + "), dropped");
    return -1;
  }
  return 0;
}

void show_ustr_length(const vanto::EqData& container) {
  if (container.type() != vanto::DATA_USTR || container.array_length() < 1) return;
  const vanto::USTR record = container.get_ustr(0);
  const char* text = record.str_data;
  // The text need not be NUL-terminated: show at most its stated length.
  say_out(format("test length: %d '%.*s'\n", static_cast<int>(record.str_length),
                 static_cast<int>(text ? strnlen(text, record.str_length) : 0), text ? text : ""));
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
