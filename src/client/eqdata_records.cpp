// EqData records: strings, USTR, XYZS, XY, TTII, spectra, images, byte
// arrays, history points, multi-dimensional arrays and structures. Getters
// read through the block (which may point into foreign memory); setters build
// a data part and let the codec bind the block to an owned copy of it.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "vanto/eqdata.h"
#include "vanto/errors.h"
#include "wire.h"

namespace vanto {

using wire::load;
using wire::Shape;
using wire::shape_of;

namespace {

char g_empty_text[1] = "";

// Gives a fixed-size element array of type t as bytes, grown to hold index.
std::vector<uint8_t> elements_with(const EqDataBlock& b, int t, int index) {
  const size_t esize = wire::element_size(t);
  const uint32_t count = b.data_u.data_sel == t ? wire::count_of(b) : 0;
  std::vector<uint8_t> part(size_t(count) * esize);
  if (count > 0) std::memcpy(part.data(), b.data_u.d_array.ptr, part.size());
  if (size_t(index) >= count) part.resize((size_t(index) + 1) * esize, 0);
  return part;
}

// Largest index a record setter grows an array to.
constexpr int kMaxRecordIndex = 1 << 20;

bool valid_index(int index) { return index >= 0 && index < kMaxRecordIndex; }

}  // namespace

// --- texts ------------------------------------------------------------------

void EqData::set_string(const std::string& text) {
  const int t = type() == DATA_TEXT || type() == DATA_XML ? type() : DATA_STRING;
  adopt(t, 1, wire::text_part(text));
}

void EqData::set_xml(const char* text) {
  const int t = type() == DATA_TEXT ? DATA_TEXT : DATA_XML;
  adopt(t, 1, wire::text_part(text ? text : ""));
}

std::string EqData::get_xml() const {
  if (shape_of(type()) == Shape::text) return wire::text_of(blk_);
  return get_string();
}

// --- small records ------------------------------------------------------------

void EqData::set_iiii(int a, int b, int c, int d) {
  const IIII r{{a, b, c, d}};
  set_scalar(DATA_IIII, &r);
}

void EqData::set_ifff(int i, float f1, float f2, float f3) {
  const IFFF r{i, {f1, f2, f3}};
  set_scalar(DATA_IFFF, &r);
}

void EqData::set_xy(float x, float y, int index) {
  const XY r{x, y};
  if (type() != DATA_A_XY && index == 0) {
    set_scalar(DATA_XY, &r);
    return;
  }
  if (!valid_index(index)) return;
  std::vector<uint8_t> part = elements_with(blk_, DATA_A_XY, index);
  wire::store(part.data() + size_t(index) * sizeof(XY), r);
  adopt(DATA_A_XY, uint32_t(part.size() / sizeof(XY)), part);
}

bool EqData::get_xy(float* x, float* y, int index) const {
  XY r{};
  const auto& u = blk_.data_u;
  if (type() == DATA_XY && index == 0) {
    r = u.d_xy;
  } else if ((type() == DATA_A_XY || type() == DATA_A_TS_XY) && index >= 0 &&
             uint32_t(index) < wire::count_of(blk_)) {
    const size_t esize = wire::element_size(type());
    const size_t at = type() == DATA_A_TS_XY ? sizeof(TSStamp) : 0;
    r = load<XY>(static_cast<const uint8_t*>(u.d_array.ptr) + size_t(index) * esize + at);
  } else {
    return false;
  }
  if (x) *x = r.x;
  if (y) *y = r.y;
  return true;
}

void EqData::set_ttii(int64_t tm1, int64_t tm2, int i1, int i2) {
  const TTII r{tm1, tm2, i1, i2};
  set_scalar(DATA_TTII, &r);
}

bool EqData::get_ttii(int64_t* tm1, int64_t* tm2, int* i1, int* i2) const {
  if (type() != DATA_TTII) return false;
  const TTII& r = blk_.data_u.d_ttii;
  if (tm1) *tm1 = r.tm1;
  if (tm2) *tm2 = r.tm2;
  if (i1) *i1 = r.i1;
  if (i2) *i2 = r.i2;
  return true;
}

// --- USTR -------------------------------------------------------------------

void EqData::set_ustr(int i1, float f1, float f2, int64_t tm, const char* text, int index) {
  const int t = type();
  const bool array = t == DATA_A_USTR || t == DATA_A_STRING || t == DATA_KEYVAL;
  wire::UstrItem item{i1, f1, f2, tm, text ? text : ""};
  if (!array) {
    adopt(DATA_USTR, 1, wire::ustr_part({item}));
    return;
  }
  if (!valid_index(index)) return;
  std::vector<wire::UstrItem> items(wire::count_of(blk_));
  for (size_t k = 0; k < items.size(); ++k) wire::ustr_at(blk_, int(k), &items[k]);
  if (size_t(index) >= items.size()) items.resize(size_t(index) + 1);
  items[size_t(index)] = std::move(item);
  adopt(t, uint32_t(items.size()), wire::ustr_part(items));
}

// Address of record index of a ustr or ts_ustr value, or null.
static const uint8_t* ustr_record(const EqDataBlock& b, int index) {
  const Shape s = shape_of(b.data_u.data_sel);
  if ((s != Shape::ustr && s != Shape::ts_ustr) || index < 0 ||
      uint32_t(index) >= wire::count_of(b)) {
    return nullptr;
  }
  const auto* base = static_cast<const uint8_t*>(b.data_u.d_array.ptr);
  return s == Shape::ustr ? base + size_t(index) * wire::kUstrRecord
                          : base + size_t(index) * wire::kTsUstrRecord + sizeof(TSStamp);
}

bool EqData::get_ustr(int* i1, float* f1, float* f2, int64_t* tm, char** text, int index) const {
  const USTR r = get_ustr(index);
  if (ustr_record(blk_, index) == nullptr) return false;
  if (i1) *i1 = r.i1_data;
  if (f1) *f1 = r.f1_data;
  if (f2) *f2 = r.f2_data;
  if (tm) *tm = r.tm;
  if (text) *text = r.str_data;
  return true;
}

USTR EqData::get_ustr(int index) const {
  USTR r{};
  r.str_data = g_empty_text;
  const uint8_t* rec = ustr_record(blk_, index);
  if (rec == nullptr) return r;
  r.i1_data = load<int32_t>(rec + 0);
  r.f1_data = load<float>(rec + 4);
  r.f2_data = load<float>(rec + 8);
  r.tm = load<int64_t>(rec + 16);
  r.str_length = load<uint32_t>(rec + 24);
  char* p = load<char*>(rec + 32);
  r.str_data = p ? p : g_empty_text;
  if (!p) r.str_length = 0;
  return r;
}

// --- XYZS -------------------------------------------------------------------

void EqData::set_xyzs(int status, float x, float y, float z, const char* loc, int index) {
  wire::XyzsItem item{status, x, y, z, loc ? loc : ""};
  if (type() != DATA_A_XYZS) {
    adopt(DATA_XYZS, 1, wire::xyzs_part({item}));
    return;
  }
  if (!valid_index(index)) return;
  std::vector<wire::XyzsItem> items(wire::count_of(blk_));
  for (size_t k = 0; k < items.size(); ++k) wire::xyzs_at(blk_, int(k), &items[k]);
  if (size_t(index) >= items.size()) items.resize(size_t(index) + 1);
  items[size_t(index)] = std::move(item);
  adopt(DATA_A_XYZS, uint32_t(items.size()), wire::xyzs_part(items));
}

bool EqData::get_xyzs(XYZS* out, int index) const {
  if (out == nullptr) return false;
  const auto& u = blk_.data_u;
  if (type() == DATA_XYZS && index == 0) {
    *out = u.d_xyzs;
  } else if (type() == DATA_A_XYZS && index >= 0 && uint32_t(index) < wire::count_of(blk_)) {
    *out =
        load<XYZS>(static_cast<const uint8_t*>(u.d_array.ptr) + size_t(index) * wire::kXyzsRecord);
  } else {
    return false;
  }
  if (out->loc == nullptr) {
    out->loc = g_empty_text;
    out->loc_length = 0;
  }
  return true;
}

// --- spectra ------------------------------------------------------------------

void EqData::set_spectrum(const char* comment, int64_t tm, float start, float inc, uint32_t status,
                          const float* values, int count) {
  count = values == nullptr ? 0 : std::max(count, 0);
  adopt(DATA_SPECTRUM, 1,
        wire::spectrum_part(comment ? comment : "", tm, start, inc, status, values, size_t(count)));
}

namespace {
// The fields a spectrum and a grouped spectrum share.
template <typename Rec>
SpectrumView spectrum_view_of(const Rec& s, uint32_t count) {
  SpectrumView view;
  if (s.comment != nullptr) {
    const size_t field = std::min<size_t>(s.comment_length, kSpectrumCommentField);
    view.comment = std::string_view(s.comment, strnlen(s.comment, field));
  }
  view.time = s.tm;
  view.start = s.s_start;
  view.increment = s.s_inc;
  view.status = s.status;
  view.value_bytes = reinterpret_cast<const unsigned char*>(s.values);
  view.count = view.value_bytes == nullptr ? 0 : int(std::min<uint32_t>(count, INT32_MAX));
  return view;
}
}  // namespace

std::optional<SpectrumView> EqData::spectrum() const {
  if (type() == DATA_SPECTRUM)
    return spectrum_view_of(blk_.data_u.d_spectrum, wire::count_of(blk_));
  if (type() == DATA_GSPECTRUM)
    return spectrum_view_of(blk_.data_u.d_gspectrum, wire::count_of(blk_));
  return std::nullopt;
}

bool EqData::get_spec_groups(int* groups, int* group_size, float* group_inc) const {
  if (type() != DATA_GSPECTRUM) return false;
  const GSpectrumRec& s = blk_.data_u.d_gspectrum;
  if (groups) *groups = s.groups;
  if (group_size) *group_size = s.group_size;
  if (group_inc) *group_inc = s.group_inc;
  return true;
}

void EqData::set_gspectrum(const char* comment, int64_t tm, float start, float inc, uint32_t status,
                           int groups, int group_size, float group_inc, const float* values,
                           int count) {
  count = values == nullptr ? 0 : std::max(count, 0);
  GSpectrumRec f{};
  f.tm = tm;
  f.s_start = start;
  f.s_inc = inc;
  f.status = status;
  f.groups = groups;
  f.group_size = group_size;
  f.group_inc = group_inc;
  adopt(DATA_GSPECTRUM, 1, wire::gspectrum_part(f, comment ? comment : "", values, size_t(count)));
}

// --- images and byte arrays ---------------------------------------------------------

void EqData::set_image(const IMH& header, int64_t seconds, int64_t micros, int32_t status,
                       const char* comment, const uint8_t* pixels, int byte_count) {
  byte_count = pixels == nullptr ? 0 : std::max(byte_count, 0);
  adopt(DATA_IMAGE, 1,
        wire::image_part(header, seconds, micros, status, comment ? comment : "", pixels,
                         size_t(byte_count)));
}

bool EqData::get_image_header(IMH* header) const {
  if (type() != DATA_IMAGE) return false;
  if (header) *header = blk_.data_u.d_image.header;
  return true;
}

bool EqData::get_image(uint8_t** pixels, int* byte_count, IMH* header) const {
  if (type() != DATA_IMAGE) return false;
  const ImageRec& im = blk_.data_u.d_image;
  if (pixels) *pixels = static_cast<uint8_t*>(im.pixels.ptr);
  if (byte_count) *byte_count = int(std::min<uint32_t>(wire::count_of(blk_), INT32_MAX));
  if (header) *header = im.header;
  return true;
}

bool EqData::get_image_timestamp_and_status(int64_t* seconds, int64_t* micros,
                                            int32_t* status) const {
  if (type() != DATA_IMAGE) return false;
  const ImageRec& im = blk_.data_u.d_image;
  if (seconds) *seconds = im.seconds;
  if (micros) *micros = im.microseconds;
  if (status) *status = im.status;
  return true;
}

void EqData::set_byte_array(const uint8_t* bytes, int x_dim, int y_dim, int x_offset, int y_offset,
                            int option) {
  if (bytes == nullptr || x_dim <= 0 || y_dim <= 0) x_dim = y_dim = 0;
  adopt(DATA_A_BYTE, uint32_t(int64_t(x_dim) * y_dim),
        wire::bytes2d_part(x_dim, y_dim, x_offset, y_offset, option, bytes));
}

bool EqData::get_byte(int* x_dim, int* y_dim, int* x_offset, int* y_offset, int* option,
                      uint8_t** bytes) const {
  if (type() != DATA_A_BYTE) return false;
  const ByteRec& r = blk_.data_u.d_byte_struct;
  if (x_dim) *x_dim = r.x_dim;
  if (y_dim) *y_dim = r.y_dim;
  if (x_offset) *x_offset = r.x_offset;
  if (y_offset) *y_offset = r.y_offset;
  if (option) *option = r.option;
  if (bytes) *bytes = static_cast<uint8_t*>(r.bytes.ptr);
  return true;
}

// --- history points -------------------------------------------------------------

void EqData::set_tds(int64_t tm, float value, uint8_t status, int index) {
  TDS r{};
  r.tm = tm;
  r.value = value;
  r.status = status;
  if (type() != DATA_A_TDS && index == 0) {
    set_scalar(DATA_TDS, &r);
    return;
  }
  if (!valid_index(index)) return;
  std::vector<uint8_t> part = elements_with(blk_, DATA_A_TDS, index);
  wire::store(part.data() + size_t(index) * sizeof(TDS), r);
  adopt(DATA_A_TDS, uint32_t(part.size() / sizeof(TDS)), part);
}

bool EqData::get_tds(int64_t* tm, float* value, uint8_t* status, int index) const {
  TDS r{};
  if (type() == DATA_TDS && index == 0) {
    r = blk_.data_u.d_tds;
  } else if (type() == DATA_A_TDS && index >= 0 && uint32_t(index) < wire::count_of(blk_)) {
    r = load<TDS>(static_cast<const uint8_t*>(blk_.data_u.d_array.ptr) +
                  size_t(index) * sizeof(TDS));
  } else {
    return false;
  }
  if (tm) *tm = r.tm;
  if (value) *value = r.value;
  if (status) *status = r.status;
  return true;
}

// Stamp of point index of a time-stamped array (fixed or record elements).
static bool ts_stamp(const EqDataBlock& b, int index, TSStamp* out) {
  const int t = b.data_u.data_sel;
  if (t < DATA_A_TS_BOOL || index < 0 || uint32_t(index) >= wire::count_of(b)) return false;
  const Shape s = shape_of(t);
  size_t rec;
  if (s == Shape::fixed_array) {
    rec = wire::element_size(t);
  } else if (s == Shape::ts_ustr) {
    rec = wire::kTsUstrRecord;
  } else if (s == Shape::ts_xyzs) {
    rec = wire::kTsXyzsRecord;
  } else {
    return false;
  }
  if (t == DATA_A_TS_SPECTRUM || t == DATA_A_TS_GSPECTRUM || t == DATA_KEYVAL) return false;
  *out = load<TSStamp>(static_cast<const uint8_t*>(b.data_u.d_array.ptr) + size_t(index) * rec);
  return true;
}

bool EqData::get_tsd(int64_t* seconds, int* msec, int index) const {
  if (type() == DATA_A_TDS || type() == DATA_TDS) {
    int64_t tm;
    if (!get_tds(&tm, nullptr, nullptr, index)) return false;
    if (seconds) *seconds = tm;
    if (msec) *msec = 0;
    return true;
  }
  TSStamp st{};
  if (!ts_stamp(blk_, index, &st)) return false;
  if (seconds) *seconds = st.sec;
  if (msec) *msec = st.msec;
  return true;
}

namespace {

// The time-stamped arrays of plain numbers (A_TS_INT, ...), whose values are
// read and written as numbers.
bool is_numeric_ts(int t) { return wire::stamped_value_type(t) != 0; }

}  // namespace

void EqData::set_ts(int64_t seconds, int msec, uint32_t status, double value, int index) {
  if (!valid_index(index)) return;
  const int t = is_numeric_ts(type()) ? type() : DATA_A_TS_DOUBLE;
  std::vector<uint8_t> part = elements_with(blk_, t, index);
  const size_t esize = wire::element_size(t);
  uint8_t* e = part.data() + size_t(index) * esize;
  const TSStamp st{seconds, msec, status};
  wire::store(e, st);
  // The value slot holds the element's own type, written through the number
  // conversion of a scratch container so every type converts the same way.
  EqData scratch;
  scratch.set_double(value);
  uint8_t* slot = e + sizeof(TSStamp);
  std::memset(slot, 0, esize - sizeof(TSStamp));
  switch (t) {
    case DATA_A_TS_BOOL: wire::store(slot, uint8_t(scratch.get_bool())); break;
    case DATA_A_TS_INT: wire::store(slot, scratch.get_int()); break;
    case DATA_A_TS_FLOAT: wire::store(slot, scratch.get_float()); break;
    case DATA_A_TS_LONG: wire::store(slot, scratch.get_long()); break;
    case DATA_A_TS_SHORT: wire::store(slot, scratch.get_short()); break;
    case DATA_A_TS_USHORT: wire::store(slot, scratch.get_ushort()); break;
    case DATA_A_TS_UINT: wire::store(slot, scratch.get_uint()); break;
    case DATA_A_TS_ULONG: wire::store(slot, scratch.get_ulong()); break;
    default: wire::store(slot, value); break;
  }
  adopt(t, uint32_t(part.size() / esize), part);
}

bool EqData::get_ts_bool(int64_t* seconds, int* msec, uint32_t* status, bool* value,
                         int index) const {
  double v;
  if (!get_ts_double(seconds, msec, status, &v, index)) return false;
  if (value) *value = get_bool(index);
  return true;
}

bool EqData::get_ts_int(int64_t* seconds, int* msec, uint32_t* status, int* value,
                        int index) const {
  if (!get_ts_double(seconds, msec, status, nullptr, index)) return false;
  if (value) *value = get_int(index);
  return true;
}

bool EqData::get_ts_float(int64_t* seconds, int* msec, uint32_t* status, float* value,
                          int index) const {
  if (!get_ts_double(seconds, msec, status, nullptr, index)) return false;
  if (value) *value = get_float(index);
  return true;
}

bool EqData::get_ts_double(int64_t* seconds, int* msec, uint32_t* status, double* value,
                           int index) const {
  if (type() == DATA_A_TDS) {
    int64_t tm;
    float v;
    uint8_t st;
    if (!get_tds(&tm, &v, &st, index)) return false;
    if (seconds) *seconds = tm;
    if (msec) *msec = 0;
    if (status) *status = st;
    if (value) *value = v;
    return true;
  }
  if (!is_numeric_ts(type())) return false;
  TSStamp st{};
  if (!ts_stamp(blk_, index, &st)) return false;
  if (seconds) *seconds = st.sec;
  if (msec) *msec = st.msec;
  if (status) *status = st.status;
  if (value) *value = get_double(index);
  return true;
}

// --- multi-dimensional arrays --------------------------------------------------------

void EqData::set_mda(int dimn, const int* dims, const char* comment, const double* values,
                     int count, bool as_double) {
  count = values == nullptr ? 0 : std::max(count, 0);
  int32_t d[6] = {0, 0, 0, 0, 0, 0};
  dimn = std::clamp(dimn, 0, 6);
  for (int i = 0; i < dimn && dims != nullptr; ++i) d[i] = dims[i];
  if (as_double) {
    adopt(DATA_MDA_DOUBLE, 1,
          wire::mda_part(dimn, d, comment ? comment : "", values, size_t(count), true));
  } else {
    std::vector<float> f(values, values + count);
    adopt(DATA_MDA_FLOAT, 1,
          wire::mda_part(dimn, d, comment ? comment : "", f.data(), f.size(), false));
  }
}

Mda EqData::get_mda() const {
  Mda m;
  if (shape_of(type()) != Shape::mda) return m;
  const MdaRec& r = blk_.data_u.d_mda;
  m.dimn = std::clamp(r.dimn, 0, 6);
  std::copy(r.dims, r.dims + 6, m.dims);
  m.comment = wire::bounded_text(static_cast<const char*>(r.comment.ptr),
                                 std::min<size_t>(r.comment.length, kSpectrumCommentField));
  const uint32_t n = wire::count_of(blk_);
  m.values.reserve(n);
  for (uint32_t i = 0; i < n; ++i) m.values.push_back(get_double(int(i)));
  return m;
}

Mda EqData::get_mdad() const { return get_mda(); }

// --- structures -------------------------------------------------------------------

void EqData::set_structure(const uint8_t* bytes, int size) {
  size = bytes == nullptr ? 0 : std::max(size, 0);
  adopt(DATA_STRUCTURE, uint32_t(size), std::vector<uint8_t>(bytes, bytes + size));
}

Structure EqData::get_structure(Owning /*owning*/) const {
  // Either way the bytes stay the container's (or its block's owner's).
  if (wire::element_size(type()) != 1 || shape_of(type()) != Shape::fixed_array) {
    return Structure(nullptr, 0);
  }
  return Structure(static_cast<const uint8_t*>(blk_.data_u.d_array.ptr), wire::count_of(blk_));
}

std::string to_string(const Structure& s) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(s.size() * 2);
  for (size_t i = 0; i < s.size(); ++i) {
    out += kHex[s.data()[i] >> 4];
    out += kHex[s.data()[i] & 15];
  }
  return out;
}

}  // namespace vanto
