// EqData: one typed value (or error) of a channel.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vanto/export.h"
#include "vanto/types.h"

namespace vanto {

enum class Owning { no, yes };

// View of a DATA_STRUCTURE value: raw bytes, shown as hexadecimal text.
class Structure {
 public:
  Structure(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
  size_t size() const { return size_; }
  const uint8_t* data() const { return bytes_; }

 private:
  const uint8_t* bytes_;
  size_t size_;
};
VANTO_EXPORT std::string to_string(const Structure& s);

// View of DATA_MDA_FLOAT / DATA_MDA_DOUBLE.
struct Mda {
  int dimn = 0;
  int dims[6] = {0, 0, 0, 0, 0, 0};
  std::string comment;
  std::vector<double> values;  // row by row
};

// A spectrum inside its container (EqData::spectrum()).
struct SpectrumView {
  std::string_view comment;  // up to its first NUL
  int64_t time = 0;          // seconds
  float start = 0;
  float increment = 0;
  uint32_t status = 0;
  int count = 0;  // number of values

  // Value i (0 <= i < count).
  float value(int i) const {
    float v;
    std::memcpy(&v, value_bytes + size_t(i) * sizeof(float), sizeof v);
    return v;
  }
  // A copy of all values.
  std::vector<float> values() const {
    std::vector<float> copy(size_t(count > 0 ? count : 0));
    if (!copy.empty()) std::memcpy(copy.data(), value_bytes, copy.size() * sizeof(float));
    return copy;
  }

  // The values as they lie in the container: in a value decoded in place
  // from a message they may sit at an odd address, so they are read through
  // value() and values(), never as a float array.
  const unsigned char* value_bytes = nullptr;
};

// One value of a channel: type id, error code and text, time stamp, event id
// and the value itself. Copying is explicit (copy_from); moving is allowed.
//
// Text forms (get_string / set_from_string) are defined per type in
// docs/text-forms.md and round-trip. Every "get" that takes a buffer writes at
// most size-1 characters and a NUL, and returns buf.
class VANTO_EXPORT EqData {
 public:
  EqData();
  // A container over a block that somebody else filled (the stream decoder):
  // the block is copied, and the memory its pointers refer to is only
  // borrowed: the container reads it and never frees it. `borrowed` false
  // makes the container copy that memory into storage of its own.
  EqData(EqDataBlock* block, bool borrowed);
  EqData(const EqData&) = delete;
  EqData& operator=(const EqData&) = delete;
  EqData(EqData&&) noexcept;
  EqData& operator=(EqData&&) noexcept;
  ~EqData();

  // Empties the container: DATA_NULL, no error, no value, time 0.
  void init();
  // Makes this a deep copy of other (type, error, value, time, event id).
  void copy_from(const EqData* other);
  void copy_from(const EqData& other) { copy_from(&other); }

  // The raw block; after a decoder filled it in place, accessors read it.
  EqDataBlock* data_block() { return &blk_; }
  const EqDataBlock* data_block() const { return &blk_; }

  // --- type, error, identity -------------------------------------------
  int type() const { return blk_.data_u.data_sel; }
  // Sets the type and an empty value of that type (length 0, or 1 for scalars).
  void set_type(int type);
  static const char* type_string(int type);  // "INT", "FLOAT", "A_TDS", ...
  const char* type_string() const { return type_string(type()); }

  int error() const { return blk_.error; }
  // Sets an error code and its text; the value is cleared.
  void error(int code, const std::string& text);
  const std::string& error_text() const { return error_text_; }

  int64_t get_time() const { return blk_.tm; }
  uint32_t get_time_usec() const { return blk_.tm_usec; }
  void set_time(int64_t seconds, uint32_t usec = 0);
  int64_t get_event_id() const;
  void set_event_id(int64_t id);

  // Number of elements: 1 for scalars and single records, the element count
  // for arrays, strlen for STRING/TEXT/XML, pixel bytes for images, 0 empty.
  int length() const;
  // Number of records/elements of an array type (A_XY, A_USTR, ...).
  int array_length() const;

  // --- text forms --------------------------------------------------------
  // Whole value as text; the error text when error() != 0.
  char* get_string(char* buf, int size) const;
  std::string get_string() const;
  // Element index as text (arrays, histories, spectra).
  char* get_string(int index, char* buf, int size) const;
  // The string argument of a value: the text of STRING/TEXT, the comment of a
  // spectrum, image or MDA, the text of (the first) USTR, the location of
  // XYZS; the error text on error; empty for types without one.
  char* get_string_arg(char* buf, int size) const;
  char* get_string_arg(int index, char* buf, int size) const;
  // Extra text of a history point: its time as "YYYY-MM-DD HH:MM:SS" local.
  char* get_string_extra(int index, char* buf, int size) const;
  // Parses text in the form of the current type (set_type first). Returns 0,
  // or ill_parameter when the text is no value of that type; the container
  // then holds that error.
  int set_from_string(const char* text);
  int set_from_string(const std::string& text) { return set_from_string(text.c_str()); }
  // The whole value on one line, for files that keep one value per line. An
  // array of records with more than one record becomes "[sep=C] r1Cr2...",
  // C being a character that none of its records holds; set_from_string
  // reads that form back. A spectrum, MDA or byte array whose description
  // differs from that of its bare values is preceded by its "[key=value,...]"
  // block. Other values give get_string. Nothing when the
  // value has no one-line form (a text or a record holding a line break, or records that
  // hold every candidate separator).
  std::optional<std::string> get_string_line() const;

  // --- scalars and fixed-size arrays --------------------------------------
  template <typename T>
  T get_value() const;  // int, float, double, long, bool, int64_t, ... of element 0

  int get_int(int index = 0) const;
  float get_float(int index = 0) const;
  double get_double(int index = 0) const;
  int64_t get_long(int index = 0) const;
  uint32_t get_uint(int index = 0) const;
  uint64_t get_ulong(int index = 0) const;
  int16_t get_short(int index = 0) const;
  uint16_t get_ushort(int index = 0) const;
  bool get_bool(int index = 0) const;

  // Typed setters: index 0 of a scalar type sets the value; for an array type
  // the array grows as needed. Each keeps the current type if it can hold the
  // value and otherwise switches to the scalar type named by the setter.
  void set_int(int value, int index = 0);
  void set_float(float value, int index = 0);
  void set_double(double value, int index = 0);
  void set_long(int64_t value, int index = 0);
  void set_uint(uint32_t value, int index = 0);
  void set_ulong(uint64_t value, int index = 0);
  void set_short(int16_t value, int index = 0);
  void set_ushort(uint16_t value, int index = 0);
  void set_bool(bool value, int index = 0);
  void set_string(const std::string& text);  // DATA_STRING unless TEXT/XML set

  // Whole arrays at once (type set by the call).
  void set_int_array(const int32_t* values, int count);
  void set_float_array(const float* values, int count);
  void set_double_array(const double* values, int count);
  void set_byte_array(const uint8_t* bytes, int x_dim, int y_dim, int x_offset = 0,
                      int y_offset = 0, int option = 0);

  // --- records -------------------------------------------------------------
  void set_iiii(int a, int b, int c, int d);
  void set_ifff(int i, float f1, float f2, float f3);
  void set_xy(float x, float y, int index = 0);
  bool get_xy(float* x, float* y, int index = 0) const;
  void set_ttii(int64_t tm1, int64_t tm2, int i1, int i2);
  bool get_ttii(int64_t* tm1, int64_t* tm2, int* i1, int* i2) const;

  // USTR: with type DATA_A_USTR the record is put at index (the array grows);
  // otherwise the value becomes a single DATA_USTR.
  void set_ustr(int i1, float f1, float f2, int64_t tm, const char* text, int index = 0);
  bool get_ustr(int* i1, float* f1, float* f2, int64_t* tm, char** text, int index = 0) const;
  USTR get_ustr(int index = 0) const;  // str_data points into the container

  void set_xyzs(int status, float x, float y, float z, const char* loc, int index = 0);
  bool get_xyzs(XYZS* out, int index = 0) const;

  // XML (and TEXT) documents of any length.
  void set_xml(const char* text);
  std::string get_xml() const;

  // Spectrum: comment, time (seconds), start, increment, status, values.
  void set_spectrum(const char* comment, int64_t tm, float start, float inc, uint32_t status,
                    const float* values, int count);
  // The spectrum (DATA_SPECTRUM or DATA_GSPECTRUM) as a view into the
  // container; nothing for other types. The view is valid while the
  // container is neither changed nor destroyed.
  std::optional<SpectrumView> spectrum() const;
  // Grouped spectrum parameters (DATA_GSPECTRUM only).
  bool get_spec_groups(int* groups, int* group_size, float* group_inc) const;
  void set_gspectrum(const char* comment, int64_t tm, float start, float inc, uint32_t status,
                     int groups, int group_size, float group_inc, const float* values, int count);

  // Images. get_image gives a pointer to the pixel bytes (inside the
  // container) and their count; hdr may be null.
  void set_image(const IMH& header, int64_t seconds, int64_t micros, int32_t status,
                 const char* comment, const uint8_t* pixels, int byte_count);
  bool get_image_header(IMH* header) const;
  bool get_image(uint8_t** pixels, int* byte_count, IMH* header) const;
  bool get_image_timestamp_and_status(int64_t* seconds, int64_t* micros, int32_t* status) const;

  bool get_byte(int* x_dim, int* y_dim, int* x_offset, int* y_offset, int* option,
                uint8_t** bytes) const;

  // History points.
  void set_tds(int64_t tm, float value, uint8_t status, int index = 0);
  bool get_tds(int64_t* tm, float* value, uint8_t* status, int index = 0) const;
  // Stamp of point index of any history type (A_TDS or A_TS_*).
  bool get_tsd(int64_t* seconds, int* msec, int index = 0) const;
  // Time-stamped points; set_ts_* switch to the matching DATA_A_TS_* type.
  void set_ts(int64_t seconds, int msec, uint32_t status, double value, int index);
  bool get_ts_bool(int64_t* seconds, int* msec, uint32_t* status, bool* value, int index) const;
  bool get_ts_int(int64_t* seconds, int* msec, uint32_t* status, int* value, int index) const;
  bool get_ts_float(int64_t* seconds, int* msec, uint32_t* status, float* value, int index) const;
  bool get_ts_double(int64_t* seconds, int* msec, uint32_t* status, double* value, int index) const;

  // Multi-dimensional arrays.
  void set_mda(int dimn, const int* dims, const char* comment, const double* values, int count,
               bool as_double);
  Mda get_mda() const;   // DATA_MDA_FLOAT
  Mda get_mdad() const;  // DATA_MDA_DOUBLE

  // Structures and key/value lists.
  void set_structure(const uint8_t* bytes, int size);
  Structure get_structure(Owning owning) const;

 private:
  // Points the block's pointers at the owned storage after it changed.
  void rebind();
  void clear_value();
  // Takes a data part of type as the value (owned copy); 0 or bad_frame.
  int adopt(int type, uint32_t count, const std::vector<uint8_t>& part);
  // Makes the value a scalar of type from its data-part bytes.
  void set_scalar(int type, const void* bytes);
  // Text of element index (the whole value for index 0 of a scalar).
  std::string get_string_element_(int index) const;
  std::string header_block_() const;
  std::string get_string_arg_(int index) const;

  EqDataBlock blk_{};
  std::vector<uint64_t> store_;  // owned value bytes (8-byte aligned)
  bool borrowed_ = false;        // block pointers refer to foreign memory
  std::string error_text_;

  friend class Codec;
  friend struct ElementNumbers;  // writes one element's number (eqdata.cpp)
};

template <>
int EqData::get_value<int>() const;
template <>
float EqData::get_value<float>() const;
template <>
double EqData::get_value<double>() const;
template <>
long EqData::get_value<long>() const;
template <>
unsigned EqData::get_value<unsigned>() const;
template <>
bool EqData::get_value<bool>() const;
template <>
short EqData::get_value<short>() const;
template <>
unsigned short EqData::get_value<unsigned short>() const;
template <>
unsigned long EqData::get_value<unsigned long>() const;
template <>
long long EqData::get_value<long long>() const;
template <>
unsigned long long EqData::get_value<unsigned long long>() const;

}  // namespace vanto
