// The one table of the data types the library knows: name, data-part shape
// and sizes. Adding a type starts here; the codec and EqData look types up in
// it instead of switching on them.
#include <array>
#include <cstddef>

#include "wire.h"

namespace vanto::wire {
namespace {

constexpr size_t kStampedNumber = sizeof(TSStamp) + 8;  // stamp + a value of up to 8 bytes
constexpr size_t kStampedQuad = sizeof(TSStamp) + 16;   // stamp + IIII / IFFF

struct TypeRow {
  int type;
  const char* name;
  Shape shape;
  size_t scalar_bytes;     // Shape::scalar: bytes of the value
  size_t element_bytes;    // Shape::fixed_array: bytes of one element (1: opaque bytes)
  int stamped_value_type;  // DATA_A_TS_* of plain numbers: the type of the value after the stamp
  bool numeric_array;      // an array of plain numbers, read and written element by element
};

// Opaque byte sequences (structures, thumbnails, YT, XYT, FIS and the
// time-stamped spectra) are fixed arrays of one-byte elements: the library
// knows no element structure in them.
constexpr TypeRow kRows[] = {
    {DATA_NULL, "NULL", Shape::empty, 0, 0, 0, false},
    {DATA_INT, "INT", Shape::scalar, 4, 0, 0, false},
    {DATA_FLOAT, "FLOAT", Shape::scalar, 4, 0, 0, false},
    {DATA_STRING, "STRING", Shape::text, 0, 0, 0, false},
    {DATA_BOOL, "BOOL", Shape::scalar, 4, 0, 0, false},
    {DATA_DOUBLE, "DOUBLE", Shape::scalar, 8, 0, 0, false},
    {DATA_TEXT, "TEXT", Shape::text, 0, 0, 0, false},
    {DATA_YT, "YT", Shape::fixed_array, 0, 1, 0, false},
    {DATA_XYT, "XYT", Shape::fixed_array, 0, 1, 0, false},
    {DATA_TDS, "TDS", Shape::scalar, 16, 0, 0, false},
    {DATA_XY, "XY", Shape::scalar, 8, 0, 0, false},
    {DATA_IIII, "IIII", Shape::scalar, 16, 0, 0, false},
    {DATA_IFFF, "IFFF", Shape::scalar, 16, 0, 0, false},
    {DATA_USTR, "USTR", Shape::ustr, 0, 0, 0, false},
    {DATA_FIS, "FIS", Shape::fixed_array, 0, 1, 0, false},
    {DATA_TTII, "TTII", Shape::scalar, 24, 0, 0, false},
    {DATA_SPECTRUM, "SPECTRUM", Shape::spectrum, 0, 0, 0, false},
    {DATA_XML, "XML", Shape::text, 0, 0, 0, false},
    {DATA_XYZS, "XYZS", Shape::xyzs, 0, 0, 0, false},
    {DATA_IMAGE, "IMAGE", Shape::image, 0, 0, 0, false},
    {DATA_GSPECTRUM, "GSPECTRUM", Shape::gspectrum, 0, 0, 0, false},
    {DATA_SHORT, "SHORT", Shape::scalar, 2, 0, 0, false},
    {DATA_LONG, "LONG", Shape::scalar, 8, 0, 0, false},
    {DATA_USHORT, "USHORT", Shape::scalar, 2, 0, 0, false},
    {DATA_UINT, "UINT", Shape::scalar, 4, 0, 0, false},
    {DATA_ULONG, "ULONG", Shape::scalar, 8, 0, 0, false},
    {DATA_STRUCTURE, "STRUCTURE", Shape::fixed_array, 0, 1, 0, false},
    {DATA_A_FLOAT, "A_FLOAT", Shape::fixed_array, 0, 4, 0, true},
    {DATA_A_TDS, "A_TDS", Shape::fixed_array, 0, sizeof(TDS), 0, false},
    {DATA_A_XY, "A_XY", Shape::fixed_array, 0, 8, 0, false},
    {DATA_A_USTR, "A_USTR", Shape::ustr, 0, 0, 0, false},
    {DATA_A_INT, "A_INT", Shape::fixed_array, 0, 4, 0, true},
    {DATA_A_BYTE, "A_BYTE", Shape::bytes2d, 0, 0, 0, false},
    {DATA_A_XYZS, "A_XYZS", Shape::xyzs, 0, 0, 0, false},
    {DATA_MDA_FLOAT, "MDA_FLOAT", Shape::mda, 0, 0, 0, false},
    {DATA_A_DOUBLE, "A_DOUBLE", Shape::fixed_array, 0, 8, 0, true},
    {DATA_A_BOOL, "A_BOOL", Shape::fixed_array, 0, 1, 0, true},
    {DATA_A_STRING, "A_STRING", Shape::ustr, 0, 0, 0, false},
    {DATA_A_SHORT, "A_SHORT", Shape::fixed_array, 0, 2, 0, true},
    {DATA_A_LONG, "A_LONG", Shape::fixed_array, 0, 8, 0, true},
    {DATA_MDA_DOUBLE, "MDA_DOUBLE", Shape::mda, 0, 0, 0, false},
    {DATA_A_USHORT, "A_USHORT", Shape::fixed_array, 0, 2, 0, true},
    {DATA_A_UINT, "A_UINT", Shape::fixed_array, 0, 4, 0, true},
    {DATA_A_ULONG, "A_ULONG", Shape::fixed_array, 0, 8, 0, true},
    {DATA_A_THUMBNAIL, "A_THUMBNAIL", Shape::fixed_array, 0, 1, 0, false},
    {DATA_A_TS_BOOL, "A_TS_BOOL", Shape::fixed_array, 0, kStampedNumber, DATA_A_BOOL, false},
    {DATA_A_TS_INT, "A_TS_INT", Shape::fixed_array, 0, kStampedNumber, DATA_INT, false},
    {DATA_A_TS_FLOAT, "A_TS_FLOAT", Shape::fixed_array, 0, kStampedNumber, DATA_FLOAT, false},
    {DATA_A_TS_DOUBLE, "A_TS_DOUBLE", Shape::fixed_array, 0, kStampedNumber, DATA_DOUBLE, false},
    {DATA_A_TS_LONG, "A_TS_LONG", Shape::fixed_array, 0, kStampedNumber, DATA_LONG, false},
    {DATA_A_TS_STRING, "A_TS_STRING", Shape::ts_ustr, 0, 0, 0, false},
    {DATA_A_TS_USTR, "A_TS_USTR", Shape::ts_ustr, 0, 0, 0, false},
    {DATA_A_TS_XML, "A_TS_XML", Shape::ts_ustr, 0, 0, 0, false},
    {DATA_A_TS_XY, "A_TS_XY", Shape::fixed_array, 0, kStampedNumber, 0, false},
    {DATA_A_TS_IIII, "A_TS_IIII", Shape::fixed_array, 0, kStampedQuad, 0, false},
    {DATA_A_TS_IFFF, "A_TS_IFFF", Shape::fixed_array, 0, kStampedQuad, 0, false},
    {DATA_A_TS_SPECTRUM, "A_TS_SPECTRUM", Shape::fixed_array, 0, 1, 0, false},
    {DATA_A_TS_XYZS, "A_TS_XYZS", Shape::ts_xyzs, 0, 0, 0, false},
    {DATA_A_TS_GSPECTRUM, "A_TS_GSPECTRUM", Shape::fixed_array, 0, 1, 0, false},
    {DATA_KEYVAL, "KEYVAL", Shape::ustr, 0, 0, 0, false},
    {DATA_A_TS_SHORT, "A_TS_SHORT", Shape::fixed_array, 0, kStampedNumber, DATA_SHORT, false},
    {DATA_A_TS_USHORT, "A_TS_USHORT", Shape::fixed_array, 0, kStampedNumber, DATA_USHORT, false},
    {DATA_A_TS_UINT, "A_TS_UINT", Shape::fixed_array, 0, kStampedNumber, DATA_UINT, false},
    {DATA_A_TS_ULONG, "A_TS_ULONG", Shape::fixed_array, 0, kStampedNumber, DATA_ULONG, false},
};

// Type codes run to 1020: a direct index keeps a look-up one load.
constexpr int kLastType = DATA_A_TS_ULONG;
constexpr auto kIndex = [] {
  std::array<int16_t, kLastType + 1> index{};
  index.fill(-1);
  for (size_t i = 0; i < std::size(kRows); ++i) index[kRows[i].type] = static_cast<int16_t>(i);
  return index;
}();

const TypeRow* row_of(int type) {
  if (type < 0 || type > kLastType || kIndex[type] < 0) return nullptr;
  return &kRows[kIndex[type]];
}

}  // namespace

Shape shape_of(int type) {
  const TypeRow* row = row_of(type);
  return row ? row->shape : Shape::unknown;
}

size_t scalar_size(int type) {
  const TypeRow* row = row_of(type);
  return row ? row->scalar_bytes : 0;
}

size_t element_size(int type) {
  const TypeRow* row = row_of(type);
  return row ? row->element_bytes : 0;
}

const char* type_name(int type) {
  const TypeRow* row = row_of(type);
  return row ? row->name : "UNKNOWN";
}

int stamped_value_type(int type) {
  const TypeRow* row = row_of(type);
  return row ? row->stamped_value_type : 0;
}

bool is_numeric_array(int type) {
  const TypeRow* row = row_of(type);
  return row && row->numeric_array;
}

}  // namespace vanto::wire
