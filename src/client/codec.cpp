// The value codec: data-part layouts of every type, binding of a block to a
// data part, and the two stream message header layouts. Every count, length
// and offset read from bytes is checked against the size of those bytes.
#include "vanto/codec.h"

#include <algorithm>
#include <limits>

#include "vanto/errors.h"
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

std::vector<uint8_t> image_part(const IMH& header, int64_t seconds, int64_t micros,
                                int32_t status, std::string_view comment, const uint8_t* pixels,
                                size_t count) {
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

std::vector<uint8_t> bytes2d_part(int32_t x_dim, int32_t y_dim, int32_t x_offset,
                                  int32_t y_offset, int32_t option, const uint8_t* bytes) {
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
    case Shape::fixed_array: case Shape::ustr: case Shape::ts_ustr: case Shape::ts_xyzs:
      return u.d_array.ptr ? u.d_array.length : 0;
    case Shape::xyzs:
      return u.data_sel == DATA_XYZS ? 1 : (u.d_array.ptr ? u.d_array.length : 0);
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

}  // namespace

bool bind(EqDataBlock::DataU& u, int type, uint32_t count, uint8_t* data, size_t size,
          std::string* why) {
  EqDataBlock::DataU fresh{};
  fresh.data_sel = type;
  switch (shape_of(type)) {
    case Shape::empty:
      break;
    case Shape::scalar: {
      const size_t n = scalar_size(type);
      if (size < n) return fail(why, "value of " + std::to_string(n) + " bytes, got " + std::to_string(size));
      std::memcpy(&fresh.d_int, data, n);
      break;
    }
    case Shape::text: {
      const void* nul = size > 0 ? std::memchr(data, 0, size) : nullptr;
      if (nul == nullptr) return fail(why, "text is not terminated inside the data part");
      fresh.d_char.length = static_cast<uint32_t>(static_cast<const uint8_t*>(nul) - data);
      fresh.d_char.ptr = data;
      break;
    }
    case Shape::fixed_array: {
      const size_t esize = element_size(type);
      if (!fits(count, esize, 0, size)) {
        return fail(why, std::to_string(count) + " elements of " + std::to_string(esize) +
                             " bytes do not fit " + std::to_string(size) + " bytes");
      }
      fresh.d_array.length = count;
      fresh.d_array.ptr = count > 0 ? data : nullptr;
      break;
    }
    case Shape::ustr:
      if (!bind_records(fresh.d_array, count, data, size, kUstrRecord, 24, 32, why)) return false;
      break;
    case Shape::ts_ustr:
      if (!bind_records(fresh.d_array, count, data, size, kTsUstrRecord, 16 + 24, 16 + 32, why)) {
        return false;
      }
      break;
    case Shape::ts_xyzs:
      if (!bind_records(fresh.d_array, count, data, size, kTsXyzsRecord, 16 + 16, 16 + 24, why)) {
        return false;
      }
      break;
    case Shape::xyzs:
      if (type == DATA_XYZS) {
        if (size < kXyzsRecord) return fail(why, "XYZS record needs 32 bytes");
        const uint32_t len = load<uint32_t>(data + 16);
        if (!fits(1, len, kXyzsRecord, size)) return fail(why, "location runs past the data part");
        std::memcpy(&fresh.d_xyzs, data, 24);
        fresh.d_xyzs.loc = reinterpret_cast<char*>(data + kXyzsRecord);
      } else if (!bind_records(fresh.d_array, count, data, size, kXyzsRecord, 16, 24, why)) {
        return false;
      }
      break;
    case Shape::spectrum: {
      if (size < kSpectrumValuesOffset) return fail(why, "spectrum record needs 136 bytes");
      SpectrumRec& s = fresh.d_spectrum;
      std::memcpy(&s, data, 48);
      if (s.comment_length > kSpectrumCommentField) return fail(why, "spectrum comment longer than 80");
      if (!fits(s.count, 4, kSpectrumValuesOffset, size)) {
        return fail(why, "spectrum of " + std::to_string(s.count) + " values runs past the data part");
      }
      s.comment = reinterpret_cast<char*>(data + kSpectrumCommentOffset);
      s.values = reinterpret_cast<float*>(data + kSpectrumValuesOffset);
      break;
    }
    case Shape::gspectrum: {
      if (size < kGSpectrumValuesOffset) return fail(why, "grouped spectrum record needs 288 bytes");
      GSpectrumRec& s = fresh.d_gspectrum;
      std::memcpy(&s, data, 200);
      if (s.comment_length > kSpectrumCommentField) return fail(why, "spectrum comment longer than 80");
      if (!fits(s.count, 4, kGSpectrumValuesOffset, size)) {
        return fail(why, "spectrum of " + std::to_string(s.count) + " values runs past the data part");
      }
      s.comment = reinterpret_cast<char*>(data + kGSpectrumCommentOffset);
      s.values = reinterpret_cast<float*>(data + kGSpectrumValuesOffset);
      break;
    }
    case Shape::image: {
      if (size <= kImageCommentOffset) return fail(why, "image needs more than 120 bytes");
      const void* nul = std::memchr(data + kImageCommentOffset, 0, size - kImageCommentOffset);
      if (nul == nullptr) return fail(why, "image comment is not terminated");
      ImageRec& im = fresh.d_image;
      std::memcpy(&im.header, data, sizeof(IMH));
      im.seconds = load<int64_t>(data + kImageSecondsOffset);
      im.microseconds = load<int64_t>(data + kImageMicrosOffset);
      im.status = load<int32_t>(data + kImageStatusOffset);
      const size_t clen = static_cast<const uint8_t*>(nul) - (data + kImageCommentOffset);
      im.comment.length = static_cast<uint32_t>(clen + 1);
      im.comment.ptr = data + kImageCommentOffset;
      im.pixels.length = static_cast<uint32_t>(size - kImageCommentOffset - 1 - clen);
      im.pixels.ptr = data + kImageCommentOffset + clen + 1;
      break;
    }
    case Shape::bytes2d: {
      if (size < kByteDataOffset) return fail(why, "byte array needs 20 bytes");
      ByteRec& r = fresh.d_byte_struct;
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
      break;
    }
    case Shape::mda: {
      if (size < kMdaValuesOffset) return fail(why, "multi-dimensional array needs 116 bytes");
      MdaRec& m = fresh.d_mda;
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
      break;
    }
    case Shape::unknown:
      return fail(why, "unknown data type " + std::to_string(type));
  }
  u = fresh;
  return true;
}

// --- encoding through a block --------------------------------------------------

std::vector<uint8_t> encode_block(const EqDataBlock& b, uint32_t* count) {
  const auto& u = b.data_u;
  const int type = u.data_sel;
  uint32_t n = count_of(b);
  std::vector<uint8_t> out;
  switch (shape_of(type)) {
    case Shape::empty: case Shape::unknown:
      n = 0;
      break;
    case Shape::scalar: {
      const auto* p = reinterpret_cast<const uint8_t*>(&u.d_int);
      out.assign(p, p + scalar_size(type));
      n = 1;
      break;
    }
    case Shape::text:
      out = text_part(text_of(b));
      n = 1;
      break;
    case Shape::fixed_array: {
      const auto* p = static_cast<const uint8_t*>(u.d_array.ptr);
      if (n > 0) out.assign(p, p + size_t(n) * element_size(type));
      break;
    }
    case Shape::ustr: {
      std::vector<UstrItem> items(n);
      for (uint32_t k = 0; k < n; ++k) ustr_at(b, int(k), &items[k]);
      out = ustr_part(items);
      break;
    }
    case Shape::ts_ustr: case Shape::ts_xyzs: {
      std::vector<Stamped> items(n);
      for (uint32_t k = 0; k < n; ++k) stamped_at(b, int(k), &items[k]);
      out = shape_of(type) == Shape::ts_ustr ? ts_ustr_part(items) : ts_xyzs_part(items);
      break;
    }
    case Shape::xyzs: {
      std::vector<XyzsItem> items(n);
      for (uint32_t k = 0; k < n; ++k) xyzs_at(b, int(k), &items[k]);
      out = xyzs_part(items);
      break;
    }
    case Shape::spectrum: {
      const SpectrumRec& s = u.d_spectrum;
      out = spectrum_part(bounded_text(s.comment, std::min<size_t>(s.comment_length, kSpectrumCommentField)),
                          s.tm, s.s_start, s.s_inc, s.status, s.values, n);
      n = 1;
      break;
    }
    case Shape::gspectrum: {
      const GSpectrumRec& s = u.d_gspectrum;
      out = gspectrum_part(s, bounded_text(s.comment, std::min<size_t>(s.comment_length, kSpectrumCommentField)),
                           s.values, n);
      n = 1;
      break;
    }
    case Shape::image: {
      const ImageRec& im = u.d_image;
      out = image_part(im.header, im.seconds, im.microseconds, im.status,
                       bounded_text(static_cast<const char*>(im.comment.ptr), im.comment.length),
                       static_cast<const uint8_t*>(im.pixels.ptr), n);
      break;
    }
    case Shape::bytes2d: {
      const ByteRec& r = u.d_byte_struct;
      if (n == 0 || int64_t(r.x_dim) * r.y_dim != int64_t(n)) {
        // A block whose count disagrees with its dimensions is sent as one row.
        out = bytes2d_part(int32_t(n), n > 0 ? 1 : 0, r.x_offset, r.y_offset, r.option,
                           static_cast<const uint8_t*>(r.bytes.ptr));
      } else {
        out = bytes2d_part(r.x_dim, r.y_dim, r.x_offset, r.y_offset, r.option,
                           static_cast<const uint8_t*>(r.bytes.ptr));
      }
      break;
    }
    case Shape::mda: {
      const MdaRec& m = u.d_mda;
      out = mda_part(m.dimn, m.dims,
                     bounded_text(static_cast<const char*>(m.comment.ptr),
                                  std::min<size_t>(m.comment.length, kSpectrumCommentField)),
                     m.values.ptr, n, type == DATA_MDA_DOUBLE);
      n = 1;
      break;
    }
  }
  if (count) *count = n;
  return out;
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

// Fixed header offsets.
constexpr size_t kV2Name = 4, kV2Type = 68, kV2Len = 72, kV2Ident = 80, kV2Sec = 88,
                 kV2Usec = 96, kV2Stat = 100, kV2Info = 104, kV2Res0 = 108, kV2Res1 = 112;
constexpr size_t kV1Type = 4, kV1Len = 8, kV1Ident = 16, kV1Sec = 24, kV1Usec = 28,
                 kV1Stat = 32, kV1Sechi = 36;
constexpr uint16_t kSecHiFlag = 0x8000;

uint32_t status_word(const EqData& value, const StreamInfo& info) {
  const uint32_t err = static_cast<uint32_t>(value.error()) & 0xFFFF;
  return err != 0 ? (err << 16) | (info.stat & 0xFFFF) : info.stat;
}

}  // namespace

std::vector<uint8_t> Codec::encode_message(const EqData& value, const StreamInfo& info,
                                           int layout) {
  uint32_t count = 0;
  const std::vector<uint8_t> part = encode_data(value, &count);
  std::vector<uint8_t> msg;
  if (layout == 1) {
    msg.assign(kHeaderV1Size, 0);
    uint8_t* h = msg.data();
    const uint64_t sec = static_cast<uint64_t>(info.sec);
    const uint32_t sechi = static_cast<uint32_t>(sec >> 32);
    wire::store<int16_t>(h, 1);
    wire::store<uint16_t>(h + 2, uint16_t(kHeaderV1Size | (sechi != 0 ? kSecHiFlag : 0)));
    wire::store<int32_t>(h + kV1Type, value.type());
    wire::store<int64_t>(h + kV1Len, count);
    wire::store<int64_t>(h + kV1Ident, info.ident);
    wire::store<uint32_t>(h + kV1Sec, static_cast<uint32_t>(sec));
    wire::store<uint32_t>(h + kV1Usec, info.usec);
    wire::store<uint32_t>(h + kV1Stat, status_word(value, info));
    wire::store<uint32_t>(h + kV1Sechi, sechi);
  } else {
    msg.assign(kHeaderV2Size, 0);
    uint8_t* h = msg.data();
    wire::store<int16_t>(h, 2);
    wire::store<int16_t>(h + 2, int16_t(kHeaderV2Size));
    const size_t name_len = std::min<size_t>(info.name.size(), 63);  // NUL stays in the field
    std::memcpy(h + kV2Name, info.name.data(), name_len);
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
  msg.insert(msg.end(), part.begin(), part.end());
  return msg;
}

int Codec::decode_message(const uint8_t* msg, size_t size, EqData& out, StreamInfo& info) {
  info = StreamInfo{};
  auto refuse = [&out](const std::string& why) {
    out.init();
    out.error(bad_frame, "bad frame: " + why);
    return static_cast<int>(bad_frame);
  };
  if (msg == nullptr || size < 4) return refuse("message shorter than a header");
  const int16_t vers = wire::load<int16_t>(msg);
  const uint16_t size_field = wire::load<uint16_t>(msg + 2);
  size_t header_len = 0;
  int type = 0;
  uint32_t count = 0;
  if (vers == 1) {
    if (size < kHeaderV1Size) return refuse("message shorter than its 40-byte header");
    header_len = size_field & 0x7FFF;
    uint64_t sec = wire::load<uint32_t>(msg + kV1Sec);
    if (size_field & kSecHiFlag) sec |= uint64_t(wire::load<uint32_t>(msg + kV1Sechi)) << 32;
    info.sec = static_cast<int64_t>(sec);
    info.usec = wire::load<uint32_t>(msg + kV1Usec);
    info.stat = wire::load<uint32_t>(msg + kV1Stat);
    info.ident = wire::load<int64_t>(msg + kV1Ident);
    type = wire::load<int32_t>(msg + kV1Type);
    count = static_cast<uint32_t>(wire::load<uint64_t>(msg + kV1Len));
    if (header_len < kHeaderV1Size) return refuse("header length below 40");
  } else {
    if (size < kHeaderV2Size) return refuse("message shorter than its 120-byte header");
    header_len = size_field;
    info.name = wire::bounded_text(reinterpret_cast<const char*>(msg + kV2Name), 64);
    info.sec = wire::load<int64_t>(msg + kV2Sec);
    info.usec = wire::load<uint32_t>(msg + kV2Usec);
    info.stat = wire::load<uint32_t>(msg + kV2Stat);
    info.res0 = wire::load<uint32_t>(msg + kV2Res0);
    info.res1 = wire::load<uint32_t>(msg + kV2Res1);
    info.ident = wire::load<int64_t>(msg + kV2Ident);
    type = wire::load<int32_t>(msg + kV2Type);
    count = static_cast<uint32_t>(wire::load<uint64_t>(msg + kV2Len));
    if (header_len < kHeaderV2Size) return refuse("header length below 120");
  }
  if (header_len > size) return refuse("header length beyond the message");

  out.init();
  const int rc = decode_data(out, type, count, msg + header_len, size - header_len);
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
