// Writing values as text (docs/text-forms.md): get_string, get_string_arg
// and get_string_extra. eqdata_parse.cpp reads the same forms back.
#include <algorithm>
#include <charconv>

#include "vanto/eqdata.h"
#include "vanto/errors.h"
#include "vanto/timestamp.h"
#include "wire.h"

namespace vanto {

using wire::kRecordSeparatorOpen;
using wire::kRecordSeparators;
using wire::load;
using wire::Shape;
using wire::shape_of;

namespace {

// --- formatting ----------------------------------------------------------------

template <typename T>
std::string num_text(T v) {
  if constexpr (std::is_same_v<T, bool>) {
    return v ? "1" : "0";
  } else {
    char buf[64];
    // Shortest text that reads back to the same value (floats too).
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
  }
}

// Text of the number of type t (scalar or array element type) at p.
std::string elem_text(int t, const uint8_t* p) {
  switch (t) {
    case DATA_SHORT:
    case DATA_A_SHORT:
    case DATA_A_TS_SHORT: return num_text(load<int16_t>(p));
    case DATA_USHORT:
    case DATA_A_USHORT:
    case DATA_A_TS_USHORT: return num_text(load<uint16_t>(p));
    case DATA_INT:
    case DATA_A_INT:
    case DATA_A_TS_INT: return num_text(load<int32_t>(p));
    case DATA_UINT:
    case DATA_A_UINT:
    case DATA_A_TS_UINT: return num_text(load<uint32_t>(p));
    case DATA_LONG:
    case DATA_A_LONG:
    case DATA_A_TS_LONG: return num_text(load<int64_t>(p));
    case DATA_ULONG:
    case DATA_A_ULONG:
    case DATA_A_TS_ULONG: return num_text(load<uint64_t>(p));
    case DATA_FLOAT:
    case DATA_A_FLOAT:
    case DATA_A_TS_FLOAT: return num_text(load<float>(p));
    case DATA_DOUBLE:
    case DATA_A_DOUBLE:
    case DATA_A_TS_DOUBLE: return num_text(load<double>(p));
    case DATA_BOOL: return num_text(load<int32_t>(p) != 0);
    case DATA_A_BOOL:
    case DATA_A_TS_BOOL: return num_text(load<uint8_t>(p) != 0);
    default: return num_text(unsigned(load<uint8_t>(p)));
  }
}

std::string stamp_text(const TSStamp& s) {
  return num_text(s.sec) + " " + num_text(s.msec) + " " + num_text(s.status);
}

std::string ustr_text(const wire::UstrItem& u) {
  return num_text(u.i1) + " " + num_text(u.f1) + " " + num_text(u.f2) + " " + num_text(u.tm) + " " +
         u.text;
}

std::string xyzs_text(const wire::XyzsItem& p) {
  return num_text(p.status) + " " + num_text(p.x) + " " + num_text(p.y) + " " + num_text(p.z) +
         " " + p.loc;
}

bool is_opaque(int t) {
  return shape_of(t) == Shape::fixed_array && wire::element_size(t) == 1 && t != DATA_A_BOOL;
}

const char kHex[] = "0123456789abcdef";

std::string hex_byte(uint8_t b) { return {kHex[b >> 4], kHex[b & 15]}; }

// Element k of a fixed-size element array as text.
std::string fixed_elem_text(int t, const uint8_t* base, uint32_t k) {
  const uint8_t* e = base + size_t(k) * wire::element_size(t);
  if (is_opaque(t)) return hex_byte(*e);
  switch (t) {
    case DATA_A_XY: return num_text(load<float>(e)) + " " + num_text(load<float>(e + 4));
    case DATA_A_TDS: {
      const TDS r = load<TDS>(e);
      return num_text(r.tm) + " " + num_text(r.value) + " " + num_text(unsigned(r.status));
    }
    default: break;
  }
  if (t >= DATA_A_TS_BOOL) {
    const TSStamp st = load<TSStamp>(e);
    const uint8_t* v = e + sizeof(TSStamp);
    std::string s = stamp_text(st) + " ";
    switch (t) {
      case DATA_A_TS_XY: return s + num_text(load<float>(v)) + " " + num_text(load<float>(v + 4));
      case DATA_A_TS_IIII:
        for (int i = 0; i < 4; ++i) {
          if (i) s += ' ';
          s += num_text(load<int32_t>(v + 4 * i));
        }
        return s;
      case DATA_A_TS_IFFF:
        s += num_text(load<int32_t>(v));
        for (int i = 1; i < 4; ++i) {
          s += ' ';
          s += num_text(load<float>(v + 4 * i));
        }
        return s;
      default: return s + elem_text(t, v);
    }
  }
  return elem_text(t, e);
}

void copy_out(const std::string& s, char* buf, int size) {
  if (buf == nullptr || size <= 0) return;
  const size_t n = std::min(s.size(), size_t(size) - 1);
  std::memcpy(buf, s.data(), n);
  buf[n] = '\0';
}

}  // namespace

// --- get_string ------------------------------------------------------------------

std::string EqData::get_string() const {
  if (error() != 0) return error_text_.empty() ? get_error_string(error()) : error_text_;
  const int t = type();
  const auto& u = blk_.data_u;
  switch (shape_of(t)) {
    case Shape::empty:
    case Shape::unknown: return {};
    case Shape::scalar: {
      const auto* p = reinterpret_cast<const uint8_t*>(&u.d_int);
      if (t == DATA_IIII || t == DATA_IFFF || t == DATA_TTII || t == DATA_XY || t == DATA_TDS) {
        if (t == DATA_TDS) {
          return num_text(u.d_tds.tm) + " " + num_text(u.d_tds.value) + " " +
                 num_text(unsigned(u.d_tds.status));
        }
        const int fields = t == DATA_XY ? 2 : 4;
        std::string s;
        for (int i = 0; i < fields; ++i) {
          if (i) s += ' ';
          s += get_string_element_(i);
        }
        return s;
      }
      return elem_text(t, p);
    }
    case Shape::text: return wire::text_of(blk_);
    case Shape::image: {
      const IMH& h = u.d_image.header;
      return "IMAGE " + num_text(h.width) + "x" + num_text(h.height) + " bpp:" + num_text(h.bpp) +
             " bytes:" + num_text(wire::count_of(blk_));
    }
    default: break;
  }
  const uint32_t n = wire::count_of(blk_);
  if (is_opaque(t)) {
    std::string s;
    const auto* p = static_cast<const uint8_t*>(u.d_array.ptr);
    for (uint32_t k = 0; k < n; ++k) s += hex_byte(p[k]);
    return s;
  }
  const Shape s = shape_of(t);
  const char sep =
      s == Shape::ustr || s == Shape::ts_ustr || s == Shape::xyzs || s == Shape::ts_xyzs ? '\n'
                                                                                         : ' ';
  std::string out;
  for (uint32_t k = 0; k < n; ++k) {
    if (k) out += sep;
    out += get_string_element_(int(k));
  }
  return out;
}

// The "[key=value,...]" block that set_from_string reads before the values of
// a spectrum, MDA or byte array: its description, which get_string leaves
// out. Empty when the description is the one a bare list of values gets.
std::string EqData::header_block_() const {
  const auto& u = blk_.data_u;
  const std::string comment = get_string_arg_(0);
  std::string items;
  auto item = [&items](const char* key, const std::string& value) {
    items += (items.empty() ? "" : ",") + std::string(key) + "=" + value;
  };
  switch (shape_of(type())) {
    case Shape::spectrum: {
      const SpectrumRec& r = u.d_spectrum;
      if (r.s_start == 0 && r.s_inc == 0 && r.status == 0 && r.tm == 0 && comment.empty()) break;
      item("start", num_text(r.s_start));
      item("inc", num_text(r.s_inc));
      item("status", num_text(r.status));
      item("tm", num_text(r.tm));
      break;
    }
    case Shape::gspectrum: {
      const GSpectrumRec& r = u.d_gspectrum;
      item("start", num_text(r.s_start));
      item("inc", num_text(r.s_inc));
      item("status", num_text(r.status));
      item("tm", num_text(r.tm));
      item("groups", num_text(r.groups));
      item("group_size", num_text(r.group_size));
      item("group_inc", num_text(r.group_inc));
      break;
    }
    case Shape::mda: {
      const MdaRec& r = u.d_mda;
      if (r.dimn == 1 && r.dims[0] == int32_t(wire::count_of(blk_)) && comment.empty()) break;
      std::string dims;
      for (int k = 0; k < r.dimn && k < 6; ++k) dims += (k ? "x" : "") + num_text(r.dims[k]);
      item("dims", dims);
      break;
    }
    case Shape::bytes2d: {
      const ByteRec& r = u.d_byte_struct;
      const int32_t n = int32_t(wire::count_of(blk_));
      if (r.x_dim == n && r.y_dim == (n > 0 ? 1 : 0) && r.x_offset == 0 && r.y_offset == 0 &&
          r.option == 0) {
        break;
      }
      item("x_dim", num_text(r.x_dim));
      item("y_dim", num_text(r.y_dim));
      item("x_offset", num_text(r.x_offset));
      item("y_offset", num_text(r.y_offset));
      item("option", num_text(r.option));
      break;
    }
    default: return {};
  }
  // The comment takes the rest of the block, so it comes last.
  if (!comment.empty()) item("comment", comment);
  return items.empty() ? std::string() : "[" + items + "]";
}

std::optional<std::string> EqData::get_string_line() const {
  const Shape s = shape_of(type());
  const bool records =
      (s == Shape::ustr || s == Shape::ts_ustr || s == Shape::xyzs || s == Shape::ts_xyzs) &&
      type() != DATA_USTR && type() != DATA_XYZS;
  const std::string plain = get_string();
  if (error() != 0 || !records) {
    if (plain.find_first_of("\n\r") != std::string::npos) return std::nullopt;
    const std::string header = error() != 0 ? std::string() : header_block_();
    if (header.empty()) return plain;
    if (header.find_first_of("\n\r") != std::string::npos) return std::nullopt;
    return plain.empty() ? header : header + " " + plain;
  }
  const uint32_t n = wire::count_of(blk_);
  std::vector<std::string> recs;
  for (uint32_t k = 0; k < n; ++k) recs.push_back(get_string_element_(int(k)));
  // A record holding a line break (its text was set through the API, or came
  // from a server) has no one-line form, as a text holding one has none.
  if (std::any_of(recs.begin(), recs.end(), [](const std::string& r) {
        return r.find_first_of("\n\r") != std::string::npos;
      }))
    return std::nullopt;
  // One record reads back from its own text, unless that text is empty (an
  // empty A_STRING or KEYVAL text would read back as no record at all) or
  // looks like the separator form.
  if (n < 2 && !(n == 1 && plain.empty()) && plain.rfind(kRecordSeparatorOpen, 0) != 0)
    return plain;
  for (const char sep : std::string_view(kRecordSeparators)) {
    const bool free = std::none_of(recs.begin(), recs.end(), [sep](const std::string& r) {
      return r.find(sep) != std::string::npos;
    });
    if (!free) continue;
    std::string line = std::string(kRecordSeparatorOpen) + sep + "] ";
    for (uint32_t k = 0; k < n; ++k) {
      if (k) line += sep;
      line += recs[k];
    }
    return line;
  }
  return std::nullopt;
}

std::string EqData::get_string_element_(int index) const {
  const int t = type();
  const auto& u = blk_.data_u;
  if (index < 0) return {};
  switch (shape_of(t)) {
    case Shape::scalar: {
      if (t == DATA_IIII || t == DATA_TTII) return num_text(get_long(index));
      if (t == DATA_IFFF) return index == 0 ? num_text(get_int(0)) : num_text(get_float(index));
      if (t == DATA_XY) return num_text(get_float(index));
      return index == 0 ? get_string() : std::string();
    }
    case Shape::text: return index == 0 ? wire::text_of(blk_) : std::string();
    default: break;
  }
  if (uint32_t(index) >= wire::count_of(blk_)) return {};
  switch (shape_of(t)) {
    case Shape::fixed_array:
      return fixed_elem_text(t, static_cast<const uint8_t*>(u.d_array.ptr), uint32_t(index));
    case Shape::ustr: {
      wire::UstrItem item;
      wire::ustr_at(blk_, index, &item);
      return t == DATA_A_STRING || t == DATA_KEYVAL ? item.text : ustr_text(item);
    }
    case Shape::ts_ustr: {
      wire::Stamped st;
      wire::stamped_at(blk_, index, &st);
      return stamp_text(st.stamp) + " " + (t == DATA_A_TS_USTR ? ustr_text(st.u) : st.u.text);
    }
    case Shape::xyzs: {
      wire::XyzsItem item;
      wire::xyzs_at(blk_, index, &item);
      return xyzs_text(item);
    }
    case Shape::ts_xyzs: {
      wire::Stamped st;
      wire::stamped_at(blk_, index, &st);
      return stamp_text(st.stamp) + " " + xyzs_text(st.p);
    }
    case Shape::spectrum:
    case Shape::gspectrum: return num_text(get_float(index));
    case Shape::mda:
      return t == DATA_MDA_DOUBLE ? num_text(get_double(index)) : num_text(get_float(index));
    case Shape::image:
    case Shape::bytes2d: return num_text(get_uint(index));
    default: return {};
  }
}

char* EqData::get_string(char* buf, int size) const {
  copy_out(get_string(), buf, size);
  return buf;
}

char* EqData::get_string(int index, char* buf, int size) const {
  copy_out(error() != 0 ? get_string() : get_string_element_(index), buf, size);
  return buf;
}

std::string EqData::get_string_arg_(int index) const {
  if (error() != 0) return get_string();
  const int t = type();
  const auto& u = blk_.data_u;
  switch (shape_of(t)) {
    case Shape::text: return index == 0 ? wire::text_of(blk_) : std::string();
    case Shape::spectrum:
      return wire::bounded_text(u.d_spectrum.comment, std::min<size_t>(u.d_spectrum.comment_length,
                                                                       kSpectrumCommentField));
    case Shape::gspectrum:
      return wire::bounded_text(
          u.d_gspectrum.comment,
          std::min<size_t>(u.d_gspectrum.comment_length, kSpectrumCommentField));
    case Shape::image:
      return wire::bounded_text(static_cast<const char*>(u.d_image.comment.ptr),
                                u.d_image.comment.length);
    case Shape::mda:
      return wire::bounded_text(static_cast<const char*>(u.d_mda.comment.ptr),
                                std::min<size_t>(u.d_mda.comment.length, kSpectrumCommentField));
    case Shape::ustr: {
      wire::UstrItem item;
      return wire::ustr_at(blk_, index, &item) ? item.text : std::string();
    }
    case Shape::ts_ustr: {
      wire::Stamped st;
      return wire::stamped_at(blk_, index, &st) ? st.u.text : std::string();
    }
    case Shape::xyzs: {
      wire::XyzsItem item;
      return wire::xyzs_at(blk_, index, &item) ? item.loc : std::string();
    }
    case Shape::ts_xyzs: {
      wire::Stamped st;
      return wire::stamped_at(blk_, index, &st) ? st.p.loc : std::string();
    }
    default: return {};
  }
}

char* EqData::get_string_arg(char* buf, int size) const {
  copy_out(get_string_arg_(0), buf, size);
  return buf;
}

char* EqData::get_string_arg(int index, char* buf, int size) const {
  copy_out(get_string_arg_(index), buf, size);
  return buf;
}

char* EqData::get_string_extra(int index, char* buf, int size) const {
  int64_t sec = 0;
  std::string s;
  if (error() == 0 && get_tsd(&sec, nullptr, index)) {
    s = format_localtime(Timestamp{sec, 0}, "%Y-%m-%d %H:%M:%S");
  }
  copy_out(s, buf, size);
  return buf;
}

}  // namespace vanto
