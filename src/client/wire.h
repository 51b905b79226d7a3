// Internal: the data-part layouts of every type, shared by the codec (which
// encodes and decodes) and EqData (whose setters build a data part and bind
// the block to it). Layouts are documented in docs/protocol.md.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "vanto/eqdata.h"
#include "vanto/types.h"

namespace vanto::wire {

// How a type's data part is built.
enum class Shape {
  empty,        // DATA_NULL: no bytes
  scalar,       // fixed bytes copied into the union
  text,         // NUL-terminated text
  fixed_array,  // count elements of one fixed size
  ustr,         // 40-byte USTR records, then their strings
  ts_ustr,      // 56-byte stamp + USTR records, then their strings
  xyzs,         // 32-byte XYZS records, then their locations
  ts_xyzs,      // 48-byte stamp + XYZS records, then their locations
  spectrum,
  gspectrum,
  image,
  bytes2d,  // DATA_A_BYTE
  mda,
  unknown,
};

Shape shape_of(int type);
size_t scalar_size(int type);   // data-part bytes of a scalar type
size_t element_size(int type);  // bytes of one element of a fixed array type
// The name type_string gives ("INT", "A_TS_ULONG"); "UNKNOWN" for a code the
// library does not know.
const char* type_name(int type);
// For a time-stamped array of plain numbers, the type of the value after each
// stamp (DATA_A_TS_INT: DATA_INT); 0 for every other type.
int stamped_value_type(int type);
// Arrays of plain numbers, read and written element by element.
bool is_numeric_array(int type);

// The one-line form of a record array: "[sep=C] " and the records joined by
// C, one of these characters (none of them ends a save & restore value).
inline constexpr const char* kRecordSeparatorOpen = "[sep=";
inline constexpr const char* kRecordSeparators = "|^~#@!%&*+=_";

inline constexpr size_t kUstrRecord = 40;
inline constexpr size_t kTsUstrRecord = 56;
inline constexpr size_t kXyzsRecord = 32;
inline constexpr size_t kTsXyzsRecord = 48;

// Reads a T from possibly unaligned memory.
template <typename T>
T load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T>
void store(void* p, const T& v) {
  std::memcpy(p, &v, sizeof v);
}

struct UstrItem {
  int32_t i1 = 0;
  float f1 = 0;
  float f2 = 0;
  int64_t tm = 0;
  std::string text;
};
struct XyzsItem {
  int32_t status = 0;
  float x = 0, y = 0, z = 0;
  std::string loc;
};
struct Stamped {
  TSStamp stamp{};
  UstrItem u;  // ts_ustr
  XyzsItem p;  // ts_xyzs
};

// --- building data parts ----------------------------------------------------
std::vector<uint8_t> text_part(std::string_view text);
std::vector<uint8_t> ustr_part(const std::vector<UstrItem>& items);
std::vector<uint8_t> ts_ustr_part(const std::vector<Stamped>& items);
std::vector<uint8_t> xyzs_part(const std::vector<XyzsItem>& items);
std::vector<uint8_t> ts_xyzs_part(const std::vector<Stamped>& items);
std::vector<uint8_t> spectrum_part(std::string_view comment, int64_t tm, float start, float inc,
                                   uint32_t status, const float* values, size_t count);
// fields: every member but the pointers and counts is taken over.
std::vector<uint8_t> gspectrum_part(const GSpectrumRec& fields, std::string_view comment,
                                    const float* values, size_t count);
std::vector<uint8_t> image_part(const IMH& header, int64_t seconds, int64_t micros, int32_t status,
                                std::string_view comment, const uint8_t* pixels, size_t count);
std::vector<uint8_t> bytes2d_part(int32_t x_dim, int32_t y_dim, int32_t x_offset, int32_t y_offset,
                                  int32_t option, const uint8_t* bytes);
std::vector<uint8_t> mda_part(int32_t dimn, const int32_t* dims, std::string_view comment,
                              const void* values, size_t count, bool as_double);

// The longest comment kept by the 80-byte comment fields (room for the NUL).
inline constexpr size_t kCommentMax = 79;

// --- reading through a block (filled by bind or by a stream decoder) --------
// Text of [p, p + max) up to the first NUL; "" for a null pointer.
std::string bounded_text(const char* p, size_t max);
std::string text_of(const EqDataBlock& b);
// Record k of a ustr/ts_ustr/xyzs/ts_xyzs block; false when k is out of range.
bool ustr_at(const EqDataBlock& b, int k, UstrItem* out);
bool stamped_at(const EqDataBlock& b, int k, Stamped* out);
bool xyzs_at(const EqDataBlock& b, int k, XyzsItem* out);
// Number of records/elements the block holds (0 for scalars).
uint32_t count_of(const EqDataBlock& b);

// --- binding ------------------------------------------------------------------
// Checks that data[0, size) is a complete data part of type with count
// elements and points the union's members into it (writing record string
// pointers into data as the stream format does). Returns false with why set
// when the bytes do not hold what type and count require.
bool bind(EqDataBlock::DataU& u, int type, uint32_t count, uint8_t* data, size_t size,
          std::string* why);

// The data part of the value the block holds; *count gets the header count.
std::vector<uint8_t> encode_block(const EqDataBlock& b, uint32_t* count);

}  // namespace vanto::wire
