// Data type ids, records and the raw data block of libvanto.
//
// The records below are laid out exactly like the data parts of stream
// messages (docs/protocol.md), so a decoder can fill an EqDataBlock with
// pointers straight into a received message buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vanto {

// Data type ids. The numbers are part of the wire format and of save & restore
// files; never renumber them.
enum DataType : int {
  DATA_NULL = 0,
  DATA_INT = 1,
  DATA_FLOAT = 2,
  DATA_STRING = 3,
  DATA_BOOL = 4,
  DATA_DOUBLE = 6,
  DATA_TEXT = 7,
  DATA_YT = 10,
  DATA_XYT = 11,
  DATA_TDS = 12,
  DATA_XY = 13,
  DATA_IIII = 14,
  DATA_IFFF = 15,
  DATA_USTR = 16,
  DATA_FIS = 17,
  DATA_TTII = 18,
  DATA_SPECTRUM = 19,
  DATA_XML = 20,
  DATA_XYZS = 21,
  DATA_IMAGE = 22,
  DATA_GSPECTRUM = 24,
  DATA_SHORT = 25,
  DATA_LONG = 26,
  DATA_USHORT = 27,
  DATA_UINT = 28,
  DATA_ULONG = 29,
  DATA_STRUCTURE = 99,
  DATA_A_FLOAT = 100,
  DATA_A_TDS = 101,
  DATA_A_XY = 102,
  DATA_A_USTR = 103,
  DATA_A_INT = 105,
  DATA_A_BYTE = 106,
  DATA_A_XYZS = 108,
  DATA_MDA_FLOAT = 109,
  DATA_A_DOUBLE = 110,
  DATA_A_BOOL = 111,
  DATA_A_STRING = 112,
  DATA_A_SHORT = 113,
  DATA_A_LONG = 114,
  DATA_MDA_DOUBLE = 115,
  DATA_A_USHORT = 116,
  DATA_A_UINT = 117,
  DATA_A_ULONG = 118,
  DATA_A_THUMBNAIL = 120,
  DATA_A_TS_BOOL = 1000,
  DATA_A_TS_INT = 1001,
  DATA_A_TS_FLOAT = 1002,
  DATA_A_TS_DOUBLE = 1003,
  DATA_A_TS_LONG = 1004,
  DATA_A_TS_STRING = 1005,
  DATA_A_TS_USTR = 1006,
  DATA_A_TS_XML = 1007,
  DATA_A_TS_XY = 1008,
  DATA_A_TS_IIII = 1009,
  DATA_A_TS_IFFF = 1010,
  DATA_A_TS_SPECTRUM = 1013,
  DATA_A_TS_XYZS = 1014,
  DATA_A_TS_GSPECTRUM = 1015,
  DATA_KEYVAL = 1016,
  DATA_A_TS_SHORT = 1017,
  DATA_A_TS_USHORT = 1018,
  DATA_A_TS_UINT = 1019,
  DATA_A_TS_ULONG = 1020,
};

// Leading {length, pointer} pair shared by every array member of the union.
struct DataPair {
  uint32_t length;
  uint32_t pad_;
  void* ptr;
};
static_assert(sizeof(DataPair) == 16 && offsetof(DataPair, ptr) == 8);

// One string record (40 bytes on the wire; the text follows the records).
struct USTR {
  int32_t i1_data;
  float f1_data;
  float f2_data;
  uint32_t pad0_;
  int64_t tm;
  uint32_t str_length;
  uint32_t pad1_;
  char* str_data;
};
static_assert(sizeof(USTR) == 40);
static_assert(offsetof(USTR, i1_data) == 0 && offsetof(USTR, f1_data) == 4 &&
              offsetof(USTR, f2_data) == 8 && offsetof(USTR, tm) == 16 &&
              offsetof(USTR, str_length) == 24 && offsetof(USTR, str_data) == 32);

// Image header: 25 four-byte fields, 100 bytes, in this order on the wire.
struct IMH {
  int32_t width;
  int32_t height;
  int32_t aoi_width;
  int32_t aoi_height;
  int32_t x_start;
  int32_t y_start;
  int32_t bpp;     // bytes per pixel
  int32_t ebitpp;  // effective bits per pixel
  int32_t hbin;
  int32_t vbin;
  int32_t source_format;
  int32_t image_format;
  int32_t frame;
  int32_t event;
  float scale_x;
  float scale_y;
  float image_rotation;
  float fspare2;
  float fspare3;
  float fspare4;
  uint32_t image_flags;
  int32_t ispare2;
  int32_t ispare3;
  int32_t ispare4;
  int32_t length;  // pixel bytes
};
static_assert(sizeof(IMH) == 100);

// Spectrum: 56-byte record, 80-byte comment field at 56, float values at 136.
struct SpectrumRec {
  uint32_t comment_length;
  uint32_t pad0_;
  char* comment;
  int64_t tm;
  float s_start;
  float s_inc;
  uint32_t status;
  uint32_t pad1_;
  uint32_t count;
  uint32_t pad2_;
  float* values;
};
static_assert(sizeof(SpectrumRec) == 56);
static_assert(offsetof(SpectrumRec, tm) == 16 && offsetof(SpectrumRec, s_start) == 24 &&
              offsetof(SpectrumRec, s_inc) == 28 && offsetof(SpectrumRec, status) == 32 &&
              offsetof(SpectrumRec, count) == 40 && offsetof(SpectrumRec, values) == 48);
inline constexpr size_t kSpectrumCommentOffset = 56;
inline constexpr size_t kSpectrumCommentField = 80;
inline constexpr size_t kSpectrumValuesOffset = 136;

// Grouped spectrum: 208-byte record, comment at 208, values at 288.
struct GSpectrumRec {
  uint32_t comment_length;
  uint32_t pad0_;
  char* comment;
  uint32_t id;
  uint32_t pad1_;
  int64_t tm;
  float s_start;
  float s_inc;
  uint32_t status;
  int32_t groups;
  int32_t group_size;
  float group_inc;
  uint32_t stat_mask;
  float statistics[24];
  int32_t timing_param[8];
  uint32_t pad2_;
  uint32_t count;
  uint32_t pad3_;
  float* values;
};
static_assert(sizeof(GSpectrumRec) == 208);
static_assert(offsetof(GSpectrumRec, id) == 16 && offsetof(GSpectrumRec, tm) == 24 &&
              offsetof(GSpectrumRec, s_start) == 32 && offsetof(GSpectrumRec, status) == 40 &&
              offsetof(GSpectrumRec, groups) == 44 && offsetof(GSpectrumRec, group_size) == 48 &&
              offsetof(GSpectrumRec, group_inc) == 52 && offsetof(GSpectrumRec, stat_mask) == 56 &&
              offsetof(GSpectrumRec, statistics) == 60 &&
              offsetof(GSpectrumRec, timing_param) == 156 && offsetof(GSpectrumRec, count) == 192 &&
              offsetof(GSpectrumRec, values) == 200);
inline constexpr size_t kGSpectrumCommentOffset = 208;
inline constexpr size_t kGSpectrumValuesOffset = 288;

// Image as held in the block; on the wire it is packed (docs/protocol.md):
// IMH at 0, int64 seconds at 100, int64 microseconds at 108, int32 status at
// 116, NUL-terminated comment at 120, pixels after the comment's NUL.
struct ImageRec {
  IMH header;
  int32_t pad0_;
  int64_t seconds;
  int64_t microseconds;
  int32_t status;
  int32_t pad1_;
  DataPair comment;  // length = strlen + 1
  DataPair pixels;
};
inline constexpr size_t kImageSecondsOffset = 100;
inline constexpr size_t kImageMicrosOffset = 108;
inline constexpr size_t kImageStatusOffset = 116;
inline constexpr size_t kImageCommentOffset = 120;

// 2-D byte array: five int32 at 0..19, bytes at 20.
struct ByteRec {
  int32_t x_dim;
  int32_t y_dim;
  int32_t x_offset;
  int32_t y_offset;
  int32_t option;
  int32_t pad0_;
  DataPair bytes;
};
inline constexpr size_t kByteDataOffset = 20;

// Multi-dimensional array: dimn at 0, dims[6] at 4, comment length at 28,
// value count at 32, comment field (80) at 36, values at 116.
struct MdaRec {
  int32_t dimn;
  int32_t dims[6];
  int32_t pad0_;
  DataPair comment;
  DataPair values;
};
inline constexpr size_t kMdaCommentLenOffset = 28;
inline constexpr size_t kMdaCountOffset = 32;
inline constexpr size_t kMdaCommentOffset = 36;
inline constexpr size_t kMdaValuesOffset = 116;

// Point with location: status, x, y, z, location length, pad, pointer (32 bytes).
struct XYZS {
  int32_t status;
  float x;
  float y;
  float z;
  uint32_t loc_length;
  uint32_t pad0_;
  char* loc;
};
static_assert(sizeof(XYZS) == 32 && offsetof(XYZS, loc_length) == 16 && offsetof(XYZS, loc) == 24);

struct TTII {
  int64_t tm1;
  int64_t tm2;
  int32_t i1;
  int32_t i2;
};
static_assert(sizeof(TTII) == 24);

struct XY {
  float x;
  float y;
};
struct IIII {
  int32_t i[4];
};
struct IFFF {
  int32_t i;
  float f[3];
};

// History point of DATA_TDS / DATA_A_TDS (our own 16-byte layout).
struct TDS {
  int64_t tm;
  float value;
  uint8_t status;
  uint8_t pad_[3];
};
static_assert(sizeof(TDS) == 16);

// Time-stamped element of the DATA_A_TS_* arrays of fixed-size values (our own
// layout): 16-byte stamp, then the value in a slot of 8 (or 16) bytes.
struct TSStamp {
  int64_t sec;
  int32_t msec;
  uint32_t status;
};
static_assert(sizeof(TSStamp) == 16);

// The raw value of an EqData. Scalars live in the union itself; every other
// member keeps pointers to its bytes, which either belong to the EqData or,
// for a container built over a foreign block, to whoever filled the block.
struct EqDataBlock {
  int64_t tm;        // seconds
  int32_t error;     // error code, 0 = none
  uint32_t tm_usec;  // microseconds
  uint32_t mp_lo;    // event id, low 32 bits
  uint32_t mp_hi;    // event id, high 32 bits
  struct DataU {
    int32_t data_sel;  // type id
    int32_t pad_;
    union {
      int32_t d_int;
      uint32_t d_uint;
      float d_float;
      double d_double;
      int16_t d_short;
      uint16_t d_ushort;
      int64_t d_long;
      uint64_t d_ulong;
      XY d_xy;
      IIII d_iiii;
      IFFF d_ifff;
      TTII d_ttii;
      TDS d_tds;
      XYZS d_xyzs;
      DataPair d_char;       // STRING, TEXT, XML: {strlen, text}
      DataPair d_int_array;  // and every other fixed-size element array
      DataPair d_float_array;
      DataPair d_ustr_array;  // USTR and A_USTR: {count, records}
      DataPair d_array;       // generic name for the pair
      SpectrumRec d_spectrum;
      GSpectrumRec d_gspectrum;
      ImageRec d_image;
      ByteRec d_byte_struct;
      MdaRec d_mda;
    };
  } data_u;
};
static_assert(offsetof(EqDataBlock::DataU, d_int) == 8);

}  // namespace vanto
