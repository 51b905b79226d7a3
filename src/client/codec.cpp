// The value codec: data-part layouts of every type, binding of a block to a
// data part, and the two stream message header layouts. Every count, length
// and offset read from bytes is checked against the size of those bytes.
#include "vanto/codec.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "vanto/errors.h"
#include "vanto/stream_view.h"
#include "wire.h"

namespace vanto::wire {

namespace {

class Writer {
 public:
  explicit Writer(size_t reserve = 0) { out_.reserve(reserve); }
  template <typename T>
  void put(const T& v) {
    bytes(&v, sizeof v);
  }
  void bytes(const void* p, size_t n) {
    if (n == 0) return;
    const auto* b = static_cast<const uint8_t*>(p);
    out_.insert(out_.end(), b, b + n);
  }
  void zeros(size_t n) { out_.insert(out_.end(), n, 0); }
  void text_nul(std::string_view s) {
    bytes(s.data(), s.size());
    zeros(1);
  }
  // Comment field of fixed width: at most width-1 characters and NUL padding.
  void comment_field(std::string_view s, size_t width) {
    const size_t n = std::min(s.size(), width - 1);
    bytes(s.data(), n);
    zeros(width - n);
  }
  size_t size() const { return out_.size(); }
  std::vector<uint8_t> take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};

std::string_view cut_comment(std::string_view s) {
  return s.substr(0, std::min(s.size(), kCommentMax));
}

// a * b + c fits in size? (no overflow)
bool fits(uint64_t a, uint64_t b, uint64_t c, size_t size) {
  if (b != 0 && a > (std::numeric_limits<uint64_t>::max() - c) / b) return false;
  return a * b + c <= size;
}

void put_ustr_record(Writer& w, const UstrItem& u) {
  w.put(u.i1);
  w.put(u.f1);
  w.put(u.f2);
  w.zeros(4);
  w.put(u.tm);
  w.put(static_cast<uint32_t>(u.text.size() + 1));  // the NUL is part of the string
  w.zeros(4 + 8);
}

void put_xyzs_record(Writer& w, const XyzsItem& p) {
  w.put(p.status);
  w.put(p.x);
  w.put(p.y);
  w.put(p.z);
  w.put(static_cast<uint32_t>(p.loc.size() + 1));
  w.zeros(4 + 8);
}

}  // namespace

std::vector<uint8_t> text_part(std::string_view text) {
  Writer w(text.size() + 1);
  w.text_nul(text);
  return w.take();
}

std::vector<uint8_t> ustr_part(const std::vector<UstrItem>& items) {
  Writer w;
  for (const auto& u : items) put_ustr_record(w, u);
  for (const auto& u : items) w.text_nul(u.text);
  return w.take();
}

std::vector<uint8_t> ts_ustr_part(const std::vector<Stamped>& items) {
  Writer w;
  for (const auto& s : items) {
    w.put(s.stamp);
    put_ustr_record(w, s.u);
  }
  for (const auto& s : items) w.text_nul(s.u.text);
  return w.take();
}

std::vector<uint8_t> xyzs_part(const std::vector<XyzsItem>& items) {
  Writer w;
  for (const auto& p : items) put_xyzs_record(w, p);
  for (const auto& p : items) w.text_nul(p.loc);
  return w.take();
}

std::vector<uint8_t> ts_xyzs_part(const std::vector<Stamped>& items) {
  Writer w;
  for (const auto& s : items) {
    w.put(s.stamp);
    put_xyzs_record(w, s.p);
  }
  for (const auto& s : items) w.text_nul(s.p.loc);
  return w.take();
}

std::vector<uint8_t> spectrum_part(std::string_view comment, int64_t tm, float start, float inc,
                                   uint32_t status, const float* values, size_t count) {
  comment = cut_comment(comment);
  Writer w(kSpectrumValuesOffset + count * 4);
  w.put(static_cast<uint32_t>(comment.size()));
  w.zeros(4 + 8);
  w.put(tm);
  w.put(start);
  w.put(inc);
  w.put(status);
  w.zeros(4);
  w.put(static_cast<uint32_t>(count));
  w.zeros(4 + 8);
  w.comment_field(comment, kSpectrumCommentField);
  w.bytes(values, count * sizeof(float));
  return w.take();
}

std::vector<uint8_t> gspectrum_part(const GSpectrumRec& f, std::string_view comment,
                                    const float* values, size_t count) {
  comment = cut_comment(comment);
  GSpectrumRec rec = f;
  rec.comment_length = static_cast<uint32_t>(comment.size());
  rec.pad0_ = rec.pad1_ = rec.pad2_ = rec.pad3_ = 0;
  rec.comment = nullptr;
  rec.count = static_cast<uint32_t>(count);
  rec.values = nullptr;
  Writer w(kGSpectrumValuesOffset + count * 4);
  w.put(rec);
  w.comment_field(comment, kSpectrumCommentField);
  w.bytes(values, count * sizeof(float));
  return w.take();
}

std::vector<uint8_t> image_part(const IMH& header, int64_t seconds, int64_t micros, int32_t status,
                                std::string_view comment, const uint8_t* pixels, size_t count) {
  // The comment ends at its first NUL on the wire.
  comment = comment.substr(0, std::min(comment.size(), comment.find('\0')));
  Writer w(kImageCommentOffset + comment.size() + 1 + count);
  w.put(header);
  w.put(seconds);
  w.put(micros);
  w.put(status);
  w.text_nul(comment);
  w.bytes(pixels, count);
  return w.take();
}

std::vector<uint8_t> bytes2d_part(int32_t x_dim, int32_t y_dim, int32_t x_offset, int32_t y_offset,
                                  int32_t option, const uint8_t* bytes) {
  const size_t n = x_dim > 0 && y_dim > 0 ? size_t(x_dim) * size_t(y_dim) : 0;
  Writer w(kByteDataOffset + n);
  w.put(x_dim > 0 ? x_dim : 0);
  w.put(y_dim > 0 ? y_dim : 0);
  w.put(x_offset);
  w.put(y_offset);
  w.put(option);
  w.bytes(bytes, n);
  return w.take();
}

std::vector<uint8_t> mda_part(int32_t dimn, const int32_t* dims, std::string_view comment,
                              const void* values, size_t count, bool as_double) {
  comment = cut_comment(comment);
  Writer w(kMdaValuesOffset + count * 8);
  dimn = std::clamp(dimn, 0, 6);
  w.put(dimn);
  for (int i = 0; i < 6; ++i) w.put(i < dimn && dims != nullptr ? dims[i] : int32_t{0});
  w.put(static_cast<int32_t>(comment.size()));
  w.put(static_cast<int32_t>(count));
  w.comment_field(comment, kSpectrumCommentField);
  w.bytes(values, count * (as_double ? 8 : 4));
  return w.take();
}

// --- reading through a block ------------------------------------------------

std::string bounded_text(const char* p, size_t max) {
  if (p == nullptr) return {};
  const void* nul = std::memchr(p, 0, max);
  return std::string(p, nul ? static_cast<const char*>(nul) - p : max);
}

std::string text_of(const EqDataBlock& b) {
  const DataPair& pair = b.data_u.d_char;
  return bounded_text(static_cast<const char*>(pair.ptr), pair.length);
}

uint32_t count_of(const EqDataBlock& b) {
  const auto& u = b.data_u;
  switch (shape_of(u.data_sel)) {
    case Shape::fixed_array:
    case Shape::ustr:
    case Shape::ts_ustr:
    case Shape::ts_xyzs: return u.d_array.ptr ? u.d_array.length : 0;
    case Shape::xyzs: return u.data_sel == DATA_XYZS ? 1 : (u.d_array.ptr ? u.d_array.length : 0);
    case Shape::spectrum: return u.d_spectrum.values ? u.d_spectrum.count : 0;
    case Shape::gspectrum: return u.d_gspectrum.values ? u.d_gspectrum.count : 0;
    case Shape::image: return u.d_image.pixels.ptr ? u.d_image.pixels.length : 0;
    case Shape::bytes2d: return u.d_byte_struct.bytes.ptr ? u.d_byte_struct.bytes.length : 0;
    case Shape::mda: return u.d_mda.values.ptr ? u.d_mda.values.length : 0;
    default: return 0;
  }
}

namespace {

UstrItem read_ustr(const uint8_t* rec) {
  UstrItem u;
  u.i1 = load<int32_t>(rec + 0);
  u.f1 = load<float>(rec + 4);
  u.f2 = load<float>(rec + 8);
  u.tm = load<int64_t>(rec + 16);
  const uint32_t len = load<uint32_t>(rec + 24);
  u.text = bounded_text(load<const char*>(rec + 32), len);
  return u;
}

XyzsItem read_xyzs(const uint8_t* rec) {
  XyzsItem p;
  p.status = load<int32_t>(rec + 0);
  p.x = load<float>(rec + 4);
  p.y = load<float>(rec + 8);
  p.z = load<float>(rec + 12);
  const uint32_t len = load<uint32_t>(rec + 16);
  p.loc = bounded_text(load<const char*>(rec + 24), len);
  return p;
}

}  // namespace

bool ustr_at(const EqDataBlock& b, int k, UstrItem* out) {
  const auto& u = b.data_u;
  if (shape_of(u.data_sel) != Shape::ustr || k < 0 || uint32_t(k) >= count_of(b)) return false;
  *out = read_ustr(static_cast<const uint8_t*>(u.d_array.ptr) + size_t(k) * kUstrRecord);
  return true;
}

bool stamped_at(const EqDataBlock& b, int k, Stamped* out) {
  const auto& u = b.data_u;
  const Shape s = shape_of(u.data_sel);
  if ((s != Shape::ts_ustr && s != Shape::ts_xyzs) || k < 0 || uint32_t(k) >= count_of(b)) {
    return false;
  }
  const size_t rec_size = s == Shape::ts_ustr ? kTsUstrRecord : kTsXyzsRecord;
  const auto* rec = static_cast<const uint8_t*>(u.d_array.ptr) + size_t(k) * rec_size;
  *out = Stamped{};
  out->stamp = load<TSStamp>(rec);
  if (s == Shape::ts_ustr) {
    out->u = read_ustr(rec + sizeof(TSStamp));
  } else {
    out->p = read_xyzs(rec + sizeof(TSStamp));
  }
  return true;
}

bool xyzs_at(const EqDataBlock& b, int k, XyzsItem* out) {
  const auto& u = b.data_u;
  if (u.data_sel == DATA_XYZS) {
    if (k != 0) return false;
    const XYZS& p = u.d_xyzs;
    out->status = p.status;
    out->x = p.x;
    out->y = p.y;
    out->z = p.z;
    out->loc = bounded_text(p.loc, p.loc_length);
    return true;
  }
  if (u.data_sel != DATA_A_XYZS || k < 0 || uint32_t(k) >= count_of(b)) return false;
  *out = read_xyzs(static_cast<const uint8_t*>(u.d_array.ptr) + size_t(k) * kXyzsRecord);
  return true;
}

// --- binding --------------------------------------------------------------------

namespace {

bool fail(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}

// Binds count records of rec_size bytes followed by their strings; the
// string length and pointer sit at len_at and ptr_at inside each record.
bool bind_records(DataPair& pair, uint32_t count, uint8_t* data, size_t size, size_t rec_size,
                  size_t len_at, size_t ptr_at, std::string* why) {
  if (!fits(count, rec_size, 0, size)) {
    return fail(why, "data part of " + std::to_string(size) + " bytes is too short for " +
                         std::to_string(count) + " records");
  }
  size_t offset = size_t(count) * rec_size;
  for (uint32_t k = 0; k < count; ++k) {
    uint8_t* rec = data + size_t(k) * rec_size;
    const uint32_t len = load<uint32_t>(rec + len_at);
    if (!fits(1, len, offset, size)) {
      return fail(why, "string of record " + std::to_string(k) + " runs past the data part");
    }
    store<char*>(rec + ptr_at, reinterpret_cast<char*>(data + offset));
    offset += len;
  }
  pair.length = count;
  pair.ptr = count > 0 ? data : nullptr;
  return true;
}

bool bind_scalar(EqDataBlock::DataU& u, int type, const uint8_t* data, size_t size,
                 std::string* why) {
  const size_t n = scalar_size(type);
  if (size < n)
    return fail(why, "value of " + std::to_string(n) + " bytes, got " + std::to_string(size));
  std::memcpy(&u.d_int, data, n);
  return true;
}

bool bind_text(EqDataBlock::DataU& u, uint8_t* data, size_t size, std::string* why) {
  const void* nul = size > 0 ? std::memchr(data, 0, size) : nullptr;
  if (nul == nullptr) return fail(why, "text is not terminated inside the data part");
  u.d_char.length = static_cast<uint32_t>(static_cast<const uint8_t*>(nul) - data);
  u.d_char.ptr = data;
  return true;
}

bool bind_fixed_array(EqDataBlock::DataU& u, int type, uint32_t count, uint8_t* data, size_t size,
                      std::string* why) {
  const size_t esize = element_size(type);
  if (!fits(count, esize, 0, size)) {
    return fail(why, std::to_string(count) + " elements of " + std::to_string(esize) +
                         " bytes do not fit " + std::to_string(size) + " bytes");
  }
  u.d_array.length = count;
  u.d_array.ptr = count > 0 ? data : nullptr;
  return true;
}

// One XYZS record with its location behind it.
bool bind_xyzs(EqDataBlock::DataU& u, uint8_t* data, size_t size, std::string* why) {
  if (size < kXyzsRecord) return fail(why, "XYZS record needs 32 bytes");
  const uint32_t len = load<uint32_t>(data + 16);
  if (!fits(1, len, kXyzsRecord, size)) return fail(why, "location runs past the data part");
  std::memcpy(&u.d_xyzs, data, 24);
  u.d_xyzs.loc = reinterpret_cast<char*>(data + kXyzsRecord);
  return true;
}

// Both spectrum records: the fixed fields copied (up to the comment and value
// pointers), the pointers set to the comment field and the values behind it.
template <typename Rec>
bool bind_spectrum(Rec& s, size_t copied, size_t comment_at, size_t values_at, uint8_t* data,
                   size_t size, std::string* why) {
  if (size < values_at) {
    return fail(why, "spectrum record needs " + std::to_string(values_at) + " bytes");
  }
  std::memcpy(&s, data, copied);
  if (s.comment_length > kSpectrumCommentField) return fail(why, "spectrum comment longer than 80");
  if (!fits(s.count, 4, values_at, size)) {
    return fail(why, "spectrum of " + std::to_string(s.count) + " values runs past the data part");
  }
  s.comment = reinterpret_cast<char*>(data + comment_at);
  s.values = reinterpret_cast<float*>(data + values_at);
  return true;
}

bool bind_image(EqDataBlock::DataU& u, uint8_t* data, size_t size, std::string* why) {
  if (size <= kImageCommentOffset) return fail(why, "image needs more than 120 bytes");
  const void* nul = std::memchr(data + kImageCommentOffset, 0, size - kImageCommentOffset);
  if (nul == nullptr) return fail(why, "image comment is not terminated");
  ImageRec& im = u.d_image;
  std::memcpy(&im.header, data, sizeof(IMH));
  im.seconds = load<int64_t>(data + kImageSecondsOffset);
  im.microseconds = load<int64_t>(data + kImageMicrosOffset);
  im.status = load<int32_t>(data + kImageStatusOffset);
  const size_t clen = static_cast<const uint8_t*>(nul) - (data + kImageCommentOffset);
  im.comment.length = static_cast<uint32_t>(clen + 1);
  im.comment.ptr = data + kImageCommentOffset;
  im.pixels.length = static_cast<uint32_t>(size - kImageCommentOffset - 1 - clen);
  im.pixels.ptr = data + kImageCommentOffset + clen + 1;
  return true;
}

bool bind_bytes2d(EqDataBlock::DataU& u, uint8_t* data, size_t size, std::string* why) {
  if (size < kByteDataOffset) return fail(why, "byte array needs 20 bytes");
  ByteRec& r = u.d_byte_struct;
  r.x_dim = load<int32_t>(data + 0);
  r.y_dim = load<int32_t>(data + 4);
  r.x_offset = load<int32_t>(data + 8);
  r.y_offset = load<int32_t>(data + 12);
  r.option = load<int32_t>(data + 16);
  if (r.x_dim < 0 || r.y_dim < 0) return fail(why, "negative byte array dimension");
  if (!fits(uint64_t(r.x_dim), uint64_t(r.y_dim), kByteDataOffset, size)) {
    return fail(why, "byte array runs past the data part");
  }
  r.bytes.length = static_cast<uint32_t>(int64_t(r.x_dim) * r.y_dim);
  r.bytes.ptr = data + kByteDataOffset;
  return true;
}

bool bind_mda(EqDataBlock::DataU& u, int type, uint8_t* data, size_t size, std::string* why) {
  if (size < kMdaValuesOffset) return fail(why, "multi-dimensional array needs 116 bytes");
  MdaRec& m = u.d_mda;
  m.dimn = load<int32_t>(data);
  std::memcpy(m.dims, data + 4, sizeof m.dims);
  const int32_t clen = load<int32_t>(data + kMdaCommentLenOffset);
  const int32_t n = load<int32_t>(data + kMdaCountOffset);
  if (m.dimn < 0 || m.dimn > 6) return fail(why, "dimension count outside 0..6");
  if (clen < 0 || clen > int32_t(kSpectrumCommentField)) return fail(why, "bad MDA comment length");
  const size_t esize = type == DATA_MDA_DOUBLE ? 8 : 4;
  if (n < 0 || !fits(uint64_t(n), esize, kMdaValuesOffset, size)) {
    return fail(why, "multi-dimensional array runs past the data part");
  }
  m.comment.length = static_cast<uint32_t>(clen);
  m.comment.ptr = data + kMdaCommentOffset;
  m.values.length = static_cast<uint32_t>(n);
  m.values.ptr = data + kMdaValuesOffset;
  return true;
}

// Fills u (zeroed, data_sel set) from the data part; false with why set.
bool bind_shape(EqDataBlock::DataU& u, int type, uint32_t count, uint8_t* data, size_t size,
                std::string* why) {
  switch (shape_of(type)) {
    case Shape::empty: return true;
    case Shape::scalar: return bind_scalar(u, type, data, size, why);
    case Shape::text: return bind_text(u, data, size, why);
    case Shape::fixed_array: return bind_fixed_array(u, type, count, data, size, why);
    case Shape::ustr: return bind_records(u.d_array, count, data, size, kUstrRecord, 24, 32, why);
    case Shape::ts_ustr:
      return bind_records(u.d_array, count, data, size, kTsUstrRecord, 16 + 24, 16 + 32, why);
    case Shape::ts_xyzs:
      return bind_records(u.d_array, count, data, size, kTsXyzsRecord, 16 + 16, 16 + 24, why);
    case Shape::xyzs:
      if (type == DATA_XYZS) return bind_xyzs(u, data, size, why);
      return bind_records(u.d_array, count, data, size, kXyzsRecord, 16, 24, why);
    case Shape::spectrum:
      return bind_spectrum(u.d_spectrum, 48, kSpectrumCommentOffset, kSpectrumValuesOffset, data,
                           size, why);
    case Shape::gspectrum:
      return bind_spectrum(u.d_gspectrum, 200, kGSpectrumCommentOffset, kGSpectrumValuesOffset,
                           data, size, why);
    case Shape::image: return bind_image(u, data, size, why);
    case Shape::bytes2d: return bind_bytes2d(u, data, size, why);
    case Shape::mda: return bind_mda(u, type, data, size, why);
    case Shape::unknown: break;
  }
  return fail(why, "unknown data type " + std::to_string(type));
}

}  // namespace

bool bind(EqDataBlock::DataU& u, int type, uint32_t count, uint8_t* data, size_t size,
          std::string* why) {
  // Built aside, so that a refused part leaves u as it was.
  EqDataBlock::DataU fresh{};
  fresh.data_sel = type;
  if (!bind_shape(fresh, type, count, data, size, why)) return false;
  u = fresh;
  return true;
}

// --- encoding through a block --------------------------------------------------

namespace {

std::string comment_of(const char* comment, size_t length) {
  return bounded_text(comment, std::min<size_t>(length, kSpectrumCommentField));
}

std::vector<uint8_t> encode_scalar(const EqDataBlock::DataU& u) {
  const auto* p = reinterpret_cast<const uint8_t*>(&u.d_int);
  return std::vector<uint8_t>(p, p + scalar_size(u.data_sel));
}

std::vector<uint8_t> encode_fixed_array(const EqDataBlock::DataU& u, uint32_t n) {
  if (n == 0) return {};
  const auto* p = static_cast<const uint8_t*>(u.d_array.ptr);
  return std::vector<uint8_t>(p, p + size_t(n) * element_size(u.data_sel));
}

std::vector<uint8_t> encode_ustrs(const EqDataBlock& b, uint32_t n) {
  std::vector<UstrItem> items(n);
  for (uint32_t k = 0; k < n; ++k) ustr_at(b, int(k), &items[k]);
  return ustr_part(items);
}

std::vector<uint8_t> encode_stamped(const EqDataBlock& b, uint32_t n) {
  std::vector<Stamped> items(n);
  for (uint32_t k = 0; k < n; ++k) stamped_at(b, int(k), &items[k]);
  return shape_of(b.data_u.data_sel) == Shape::ts_ustr ? ts_ustr_part(items) : ts_xyzs_part(items);
}

std::vector<uint8_t> encode_xyzs(const EqDataBlock& b, uint32_t n) {
  std::vector<XyzsItem> items(n);
  for (uint32_t k = 0; k < n; ++k) xyzs_at(b, int(k), &items[k]);
  return xyzs_part(items);
}

std::vector<uint8_t> encode_image(const ImageRec& im, uint32_t n) {
  return image_part(im.header, im.seconds, im.microseconds, im.status,
                    bounded_text(static_cast<const char*>(im.comment.ptr), im.comment.length),
                    static_cast<const uint8_t*>(im.pixels.ptr), n);
}

std::vector<uint8_t> encode_bytes2d(const ByteRec& r, uint32_t n) {
  const auto* bytes = static_cast<const uint8_t*>(r.bytes.ptr);
  if (n == 0 || int64_t(r.x_dim) * r.y_dim != int64_t(n)) {
    // A block whose count disagrees with its dimensions is sent as one row.
    return bytes2d_part(int32_t(n), n > 0 ? 1 : 0, r.x_offset, r.y_offset, r.option, bytes);
  }
  return bytes2d_part(r.x_dim, r.y_dim, r.x_offset, r.y_offset, r.option, bytes);
}

std::vector<uint8_t> encode_mda(const MdaRec& m, int type, uint32_t n) {
  return mda_part(m.dimn, m.dims,
                  comment_of(static_cast<const char*>(m.comment.ptr), m.comment.length),
                  m.values.ptr, n, type == DATA_MDA_DOUBLE);
}

// The header count of a block: one for single values and records whose own
// fields count their elements, the element count otherwise.
uint32_t header_count(const EqDataBlock& b) {
  switch (shape_of(b.data_u.data_sel)) {
    case Shape::empty:
    case Shape::unknown: return 0;
    case Shape::scalar:
    case Shape::text:
    case Shape::spectrum:
    case Shape::gspectrum:
    case Shape::mda: return 1;
    default: return count_of(b);
  }
}

}  // namespace

std::vector<uint8_t> encode_block(const EqDataBlock& b, uint32_t* count) {
  const auto& u = b.data_u;
  const int type = u.data_sel;
  const uint32_t n = count_of(b);
  if (count) *count = header_count(b);
  switch (shape_of(type)) {
    case Shape::empty:
    case Shape::unknown: return {};
    case Shape::scalar: return encode_scalar(u);
    case Shape::text: return text_part(text_of(b));
    case Shape::fixed_array: return encode_fixed_array(u, n);
    case Shape::ustr: return encode_ustrs(b, n);
    case Shape::ts_ustr:
    case Shape::ts_xyzs: return encode_stamped(b, n);
    case Shape::xyzs: return encode_xyzs(b, n);
    case Shape::spectrum: {
      const SpectrumRec& s = u.d_spectrum;
      return spectrum_part(comment_of(s.comment, s.comment_length), s.tm, s.s_start, s.s_inc,
                           s.status, s.values, n);
    }
    case Shape::gspectrum: {
      const GSpectrumRec& s = u.d_gspectrum;
      return gspectrum_part(s, comment_of(s.comment, s.comment_length), s.values, n);
    }
    case Shape::image: return encode_image(u.d_image, n);
    case Shape::bytes2d: return encode_bytes2d(u.d_byte_struct, n);
    case Shape::mda: return encode_mda(u.d_mda, type, n);
  }
  return {};
}

}  // namespace vanto::wire

namespace vanto {

std::vector<uint8_t> Codec::encode_data(const EqData& value, uint32_t* count) {
  return wire::encode_block(value.blk_, count);
}

int Codec::decode_data(EqData& out, int type, uint32_t count, const uint8_t* data, size_t size) {
  // Copy first: data may point into out's own storage.
  std::vector<uint64_t> store((size + 7) / 8 + 1, 0);
  if (size > 0) std::memcpy(store.data(), data, size);
  EqDataBlock::DataU u{};
  std::string why;
  if (!wire::bind(u, type, count, reinterpret_cast<uint8_t*>(store.data()), size, &why)) {
    out.error(bad_frame, "bad frame: " + why);
    out.blk_.data_u.data_sel = type;
    return bad_frame;
  }
  out.store_ = std::move(store);  // the heap block moves; u's pointers stay valid
  out.blk_.data_u = u;
  out.borrowed_ = false;
  out.blk_.error = 0;
  out.error_text_.clear();
  return ok;
}

namespace {

// Fixed header offsets (the size field, the name and the flag of layout 1 are
// public: stream_view.h).
constexpr size_t kV2Type = 68, kV2Len = 72, kV2Ident = 80, kV2Sec = 88, kV2Usec = 96, kV2Stat = 100,
                 kV2Info = 104, kV2Res0 = 108, kV2Res1 = 112;
constexpr size_t kV1Type = 4, kV1Len = 8, kV1Ident = 16, kV1Sec = 24, kV1Usec = 28, kV1Stat = 32,
                 kV1Sechi = 36;

uint32_t status_word(const EqData& value, const StreamInfo& info) {
  const uint32_t err = static_cast<uint32_t>(value.error()) & 0xFFFF;
  return err != 0 ? (err << 16) | (info.stat & 0xFFFF) : info.stat;
}

void write_header_v1(uint8_t* h, const EqData& value, const StreamInfo& info, uint32_t count) {
  const uint64_t sec = static_cast<uint64_t>(info.sec);
  const uint32_t sechi = static_cast<uint32_t>(sec >> 32);
  wire::store<int16_t>(h, 1);
  wire::store<uint16_t>(h + kHeaderSizeOffset,
                        uint16_t(kHeaderV1Size | (sechi != 0 ? kHeaderSecondsHighFlag : 0)));
  wire::store<int32_t>(h + kV1Type, value.type());
  wire::store<int64_t>(h + kV1Len, count);
  wire::store<int64_t>(h + kV1Ident, info.ident);
  wire::store<uint32_t>(h + kV1Sec, static_cast<uint32_t>(sec));
  wire::store<uint32_t>(h + kV1Usec, info.usec);
  wire::store<uint32_t>(h + kV1Stat, status_word(value, info));
  wire::store<uint32_t>(h + kV1Sechi, sechi);
}

void write_header_v2(uint8_t* h, const EqData& value, const StreamInfo& info, uint32_t count) {
  wire::store<int16_t>(h, 2);
  wire::store<int16_t>(h + kHeaderSizeOffset, int16_t(kHeaderV2Size));
  // The NUL stays in the field.
  const size_t name_len = std::min<size_t>(info.name.size(), kHeaderNameField - 1);
  std::memcpy(h + kHeaderNameOffset, info.name.data(), name_len);
  wire::store<int32_t>(h + kV2Type, value.type());
  wire::store<int64_t>(h + kV2Len, count);
  wire::store<int64_t>(h + kV2Ident, info.ident);
  wire::store<int64_t>(h + kV2Sec, info.sec);
  wire::store<uint32_t>(h + kV2Usec, info.usec);
  wire::store<uint32_t>(h + kV2Stat, status_word(value, info));
  wire::store<uint32_t>(h + kV2Info, 0);
  wire::store<uint32_t>(h + kV2Res0, info.res0);
  wire::store<uint32_t>(h + kV2Res1, info.res1);
}

void read_header_v1(const uint8_t* msg, uint16_t size_field, StreamHeader& out) {
  out.layout = 1;
  out.length = size_field & ~kHeaderSecondsHighFlag;
  out.seconds_high = (size_field & kHeaderSecondsHighFlag) != 0;
  uint64_t sec = wire::load<uint32_t>(msg + kV1Sec);
  if (out.seconds_high) sec |= uint64_t(wire::load<uint32_t>(msg + kV1Sechi)) << 32;
  out.sec = static_cast<int64_t>(sec);
  out.usec = wire::load<uint32_t>(msg + kV1Usec);
  out.stat = wire::load<uint32_t>(msg + kV1Stat);
  out.ident = wire::load<int64_t>(msg + kV1Ident);
  out.type = wire::load<int32_t>(msg + kV1Type);
  out.count = static_cast<uint32_t>(wire::load<uint64_t>(msg + kV1Len));
}

void read_header_v2(const uint8_t* msg, uint16_t size_field, StreamHeader& out) {
  out.layout = 2;
  out.length = size_field;
  const char* name = reinterpret_cast<const char*>(msg + kHeaderNameOffset);
  out.name = std::string_view(name, strnlen(name, kHeaderNameField));
  out.sec = wire::load<int64_t>(msg + kV2Sec);
  out.usec = wire::load<uint32_t>(msg + kV2Usec);
  out.stat = wire::load<uint32_t>(msg + kV2Stat);
  out.res0 = wire::load<uint32_t>(msg + kV2Res0);
  out.res1 = wire::load<uint32_t>(msg + kV2Res1);
  out.ident = wire::load<int64_t>(msg + kV2Ident);
  out.type = wire::load<int32_t>(msg + kV2Type);
  out.count = static_cast<uint32_t>(wire::load<uint64_t>(msg + kV2Len));
}

std::string header_fault_text(HeaderFault fault, const StreamHeader& header) {
  const size_t fixed = header.layout == 1 ? kHeaderV1Size : kHeaderV2Size;
  switch (fault) {
    case HeaderFault::none: break;
    case HeaderFault::truncated:
      if (header.layout == 0) return "message shorter than a header";
      return "message shorter than its " + std::to_string(fixed) + "-byte header";
    case HeaderFault::bad_length:
      if (header.length < fixed) return "header length below " + std::to_string(fixed);
      return "header length beyond the message";
  }
  return {};
}

}  // namespace

HeaderFault read_stream_header(const uint8_t* msg, size_t size, StreamHeader& out) {
  out = StreamHeader{};
  if (msg == nullptr || size < kHeaderSizeOffset + 2) return HeaderFault::truncated;
  const int16_t vers = wire::load<int16_t>(msg);
  const uint16_t size_field = wire::load<uint16_t>(msg + kHeaderSizeOffset);
  out.layout = vers == 1 ? 1 : 2;
  const size_t fixed = out.layout == 1 ? kHeaderV1Size : kHeaderV2Size;
  if (size < fixed) return HeaderFault::truncated;
  if (out.layout == 1) {
    read_header_v1(msg, size_field, out);
  } else {
    read_header_v2(msg, size_field, out);
  }
  if (out.length < fixed || out.length > size) return HeaderFault::bad_length;
  return HeaderFault::none;
}

bool bind_data_part(EqDataBlock::DataU& u, int type, uint32_t count, uint8_t* data, size_t size,
                    std::string* why) {
  return wire::bind(u, type, count, data, size, why);
}

std::vector<uint8_t> Codec::encode_message(const EqData& value, const StreamInfo& info,
                                           int layout) {
  uint32_t count = 0;
  const std::vector<uint8_t> part = encode_data(value, &count);
  std::vector<uint8_t> msg(layout == 1 ? kHeaderV1Size : kHeaderV2Size, 0);
  if (layout == 1) {
    write_header_v1(msg.data(), value, info, count);
  } else {
    write_header_v2(msg.data(), value, info, count);
  }
  msg.insert(msg.end(), part.begin(), part.end());
  return msg;
}

int Codec::decode_message(const uint8_t* msg, size_t size, EqData& out, StreamInfo& info) {
  info = StreamInfo{};
  StreamHeader header;
  const HeaderFault fault = read_stream_header(msg, size, header);
  if (fault != HeaderFault::none) {
    out.init();
    out.error(bad_frame, "bad frame: " + header_fault_text(fault, header));
    return bad_frame;
  }
  info.name = std::string(header.name);
  info.ident = header.ident;
  info.sec = header.sec;
  info.usec = header.usec;
  info.stat = header.stat;
  info.res0 = header.res0;
  info.res1 = header.res1;

  out.init();
  const int rc =
      decode_data(out, header.type, header.count, msg + header.length, size - header.length);
  out.blk_.tm = info.sec;
  out.blk_.tm_usec = info.usec;
  out.set_event_id(info.ident);
  if (rc != ok) return rc;
  const int code = static_cast<int>(info.stat >> 16);
  if (code != 0) {
    // The value travels with the error, as the sender put it.
    out.blk_.error = code;
    out.error_text_ = get_error_string(code);
  }
  return ok;
}

}  // namespace vanto
