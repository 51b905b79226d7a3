// Reading values from their text forms (docs/text-forms.md): what
// set_from_string accepts is what get_string writes.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

#include "vanto/eqdata.h"
#include "vanto/errors.h"
#include "wire.h"

namespace vanto {

using wire::load;
using wire::Shape;
using wire::shape_of;
using wire::kRecordSeparatorOpen;
using wire::kRecordSeparators;

namespace {

bool is_opaque(int t) {
  return shape_of(t) == Shape::fixed_array && wire::element_size(t) == 1 && t != DATA_A_BOOL;
}


// --- parsing ---------------------------------------------------------------------

bool is_sep(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ','; }

std::vector<std::string_view> tokens(std::string_view s) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && is_sep(s[i])) ++i;
    const size_t start = i;
    while (i < s.size() && !is_sep(s[i])) ++i;
    if (i > start) out.push_back(s.substr(start, i - start));
  }
  return out;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// One whole token as a T; no sign for unsigned types, no trailing characters.
template <typename T>
std::optional<T> parse(std::string_view s) {
  if (s.size() > 1 && s[0] == '+' && s[1] != '-') s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  if constexpr (std::is_same_v<T, bool>) {
    std::string low(s);
    for (char& c : low) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (low == "1" || low == "true") return true;
    if (low == "0" || low == "false") return false;
    return std::nullopt;
  } else {
    T v{};
    const auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size()) return std::nullopt;
    return v;
  }
}

// Parses token into the element of type t at p.
bool parse_elem(int t, std::string_view tok, uint8_t* p) {
  switch (t) {
    case DATA_SHORT: case DATA_A_SHORT: case DATA_A_TS_SHORT: {
      auto v = parse<int16_t>(tok); if (!v) return false; wire::store(p, *v); return true;
    }
    case DATA_USHORT: case DATA_A_USHORT: case DATA_A_TS_USHORT: {
      auto v = parse<uint16_t>(tok); if (!v) return false; wire::store(p, *v); return true;
    }
    case DATA_INT: case DATA_A_INT: case DATA_A_TS_INT: {
      auto v = parse<int32_t>(tok); if (!v) return false; wire::store(p, *v); return true;
    }
    case DATA_UINT: case DATA_A_UINT: case DATA_A_TS_UINT: {
      auto v = parse<uint32_t>(tok); if (!v) return false; wire::store(p, *v); return true;
    }
    case DATA_LONG: case DATA_A_LONG: case DATA_A_TS_LONG: {
      auto v = parse<int64_t>(tok); if (!v) return false; wire::store(p, *v); return true;
    }
    case DATA_ULONG: case DATA_A_ULONG: case DATA_A_TS_ULONG: {
      auto v = parse<uint64_t>(tok); if (!v) return false; wire::store(p, *v); return true;
    }
    case DATA_FLOAT: case DATA_A_FLOAT: case DATA_A_TS_FLOAT: {
      auto v = parse<float>(tok); if (!v) return false; wire::store(p, *v); return true;
    }
    case DATA_DOUBLE: case DATA_A_DOUBLE: case DATA_A_TS_DOUBLE: {
      auto v = parse<double>(tok); if (!v) return false; wire::store(p, *v); return true;
    }
    case DATA_BOOL: {
      auto v = parse<bool>(tok); if (!v) return false; wire::store(p, int32_t(*v)); return true;
    }
    case DATA_A_BOOL: case DATA_A_TS_BOOL: {
      auto v = parse<bool>(tok); if (!v) return false; wire::store(p, uint8_t(*v)); return true;
    }
    default:
      return false;
  }
}

// Parses n fields into a record, each field a (type, offset) pair.
struct Field {
  int type;  // DATA_INT, DATA_FLOAT, DATA_LONG, ... (scalar element types)
  size_t offset;
};

bool parse_fields(const std::vector<std::string_view>& toks, size_t first,
                  const std::vector<Field>& fields, uint8_t* rec) {
  if (first + fields.size() > toks.size()) return false;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (!parse_elem(fields[i].type, toks[first + i], rec + fields[i].offset)) return false;
  }
  return true;
}

// Field lists of the fixed records (offsets inside the record or element).
std::vector<Field> record_fields(int t) {
  const std::vector<Field> stamp = {{DATA_LONG, 0}, {DATA_INT, 8}, {DATA_UINT, 12}};
  auto with_stamp = [&stamp](std::vector<Field> value) {
    std::vector<Field> all = stamp;
    for (Field f : value) all.push_back({f.type, f.offset + sizeof(TSStamp)});
    return all;
  };
  switch (t) {
    case DATA_XY: case DATA_A_XY: return {{DATA_FLOAT, 0}, {DATA_FLOAT, 4}};
    case DATA_IIII: return {{DATA_INT, 0}, {DATA_INT, 4}, {DATA_INT, 8}, {DATA_INT, 12}};
    case DATA_IFFF: return {{DATA_INT, 0}, {DATA_FLOAT, 4}, {DATA_FLOAT, 8}, {DATA_FLOAT, 12}};
    case DATA_TTII: return {{DATA_LONG, 0}, {DATA_LONG, 8}, {DATA_INT, 16}, {DATA_INT, 20}};
    case DATA_TDS: case DATA_A_TDS:
      return {{DATA_LONG, 0}, {DATA_FLOAT, 8}, {DATA_A_BOOL /*byte*/, 12}};
    case DATA_A_TS_XY: return with_stamp({{DATA_FLOAT, 0}, {DATA_FLOAT, 4}});
    case DATA_A_TS_IIII:
      return with_stamp({{DATA_INT, 0}, {DATA_INT, 4}, {DATA_INT, 8}, {DATA_INT, 12}});
    case DATA_A_TS_IFFF:
      return with_stamp({{DATA_INT, 0}, {DATA_FLOAT, 4}, {DATA_FLOAT, 8}, {DATA_FLOAT, 12}});
    default:
      if (t >= DATA_A_TS_BOOL && wire::element_size(t) == sizeof(TSStamp) + 8) {
        return with_stamp({{t, 0}});
      }
      return {{t, 0}};
  }
}

// The status byte of a history point is 0..255, not a bool.
bool parse_record(int t, const std::vector<std::string_view>& toks, size_t first, uint8_t* rec) {
  std::vector<Field> fields = record_fields(t);
  for (size_t i = 0; i < fields.size(); ++i) {
    if ((t == DATA_TDS || t == DATA_A_TDS) && i == 2) {
      if (first + i >= toks.size()) return false;
      auto v = parse<uint8_t>(toks[first + i]);
      if (!v) return false;
      rec[fields[i].offset] = *v;
      continue;
    }
    if (first + i >= toks.size() || !parse_elem(fields[i].type, toks[first + i], rec + fields[i].offset)) {
      return false;
    }
  }
  return true;
}

std::vector<std::string_view> lines(std::string_view s) {
  std::vector<std::string_view> out;
  if (s.empty()) return out;
  size_t start = 0;
  while (start <= s.size()) {
    size_t nl = s.find('\n', start);
    if (nl == std::string_view::npos) nl = s.size();
    std::string_view line = s.substr(start, nl - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    out.push_back(line);
    start = nl + 1;
  }
  // A final newline ends the last record rather than starting an empty one.
  if (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

// The records of an array of records: the one-line form "[sep=C] r1Cr2..."
// (every piece a record, empty ones too), else one record per line.
std::vector<std::string_view> record_lines(std::string_view s) {
  const std::string_view open = kRecordSeparatorOpen;
  if (s.size() < open.size() + 2 || s.substr(0, open.size()) != open ||
      s[open.size() + 1] != ']' || std::string_view(kRecordSeparators).find(s[open.size()]) ==
                                       std::string_view::npos) {
    return lines(s);
  }
  const char sep = s[open.size()];
  s.remove_prefix(open.size() + 2);
  if (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  std::vector<std::string_view> out;
  for (;;) {
    const size_t end = s.find(sep);
    out.push_back(s.substr(0, end));
    if (end == std::string_view::npos) return out;
    s.remove_prefix(end + 1);
  }
}

// Splits "a b c ... rest": n leading blank-separated tokens, then exactly one
// blank, then the rest of the line as text (may be empty or hold blanks).
bool leading_tokens(std::string_view line, size_t n, std::vector<std::string_view>* toks,
                    std::string* rest) {
  toks->clear();
  size_t i = 0;
  for (size_t k = 0; k < n; ++k) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i == start) return false;
    toks->push_back(line.substr(start, i - start));
  }
  if (i < line.size()) ++i;  // the one separator before the text
  *rest = std::string(line.substr(i));
  return true;
}

// "[key=value,...]" header of spectra, MDA and byte arrays: the text from a
// leading "[" to the last "]". A "comment=" key takes the rest of the header.
struct Header {
  std::vector<std::pair<std::string, std::string>> items;
  std::string_view body;  // what follows the header
};

bool split_header(std::string_view text, Header* h) {
  std::string_view s = trim(text);
  h->items.clear();
  h->body = s;
  if (s.empty() || s.front() != '[') return true;
  const size_t close = s.rfind(']');
  if (close == std::string_view::npos) return false;
  std::string_view inner = s.substr(1, close - 1);
  h->body = s.substr(close + 1);
  while (!inner.empty()) {
    const size_t eq = inner.find('=');
    if (eq == std::string_view::npos) return false;
    std::string key(trim(inner.substr(0, eq)));
    inner.remove_prefix(eq + 1);
    std::string value;
    if (key == "comment") {
      value = std::string(inner);
      inner = {};
    } else {
      const size_t comma = inner.find(',');
      value = std::string(trim(inner.substr(0, comma)));
      inner = comma == std::string_view::npos ? std::string_view{} : inner.substr(comma + 1);
    }
    h->items.emplace_back(key, value);
  }
  return true;
}

}  // namespace

// --- set_from_string ----------------------------------------------------------------

int EqData::set_from_string(const char* text_in) {
  const std::string_view text = text_in ? text_in : "";
  const int t = type();
  auto refuse = [this, t, text]() {
    const std::string shown(text.substr(0, 40));
    error(ill_parameter, "illegal parameter: '" + shown + (text.size() > 40 ? "...'" : "'") +
                             " is no " + type_string(t) + " value");
    return static_cast<int>(ill_parameter);
  };
  blk_.error = 0;
  error_text_.clear();

  switch (shape_of(t)) {
    case Shape::text:
      adopt(t, 1, wire::text_part(text));
      return ok;
    case Shape::empty:
      if (!trim(text).empty()) return refuse();
      set_type(t);
      return ok;
    case Shape::unknown: case Shape::image:
      return refuse();
    case Shape::scalar: {
      const auto toks = tokens(text);
      uint8_t rec[32] = {};
      const size_t want = record_fields(t).size();
      if (toks.size() != want || !parse_record(t, toks, 0, rec)) return refuse();
      // A scalar that is no record accepts no separators inside its one token.
      if (want == 1 && trim(text).size() != toks[0].size()) return refuse();
      set_scalar(t, rec);
      return ok;
    }
    case Shape::fixed_array: {
      const auto toks = tokens(text);
      const size_t esize = wire::element_size(t);
      std::vector<uint8_t> part;
      if (is_opaque(t)) {
        std::string hex;
        for (auto tok : toks) hex += tok;
        if (hex.size() % 2 != 0) return refuse();
        for (size_t i = 0; i < hex.size(); i += 2) {
          auto v = parse_hex_byte_(hex[i], hex[i + 1]);
          if (v < 0) return refuse();
          part.push_back(uint8_t(v));
        }
        adopt(t, uint32_t(part.size()), part);
        return ok;
      }
      const size_t per = record_fields(t).size();
      if (toks.size() % per != 0) return refuse();
      const size_t n = toks.size() / per;
      part.assign(n * esize, 0);
      for (size_t k = 0; k < n; ++k) {
        if (!parse_record(t, toks, k * per, part.data() + k * esize)) return refuse();
      }
      adopt(t, uint32_t(n), part);
      return ok;
    }
    case Shape::ustr: case Shape::ts_ustr: case Shape::xyzs: case Shape::ts_xyzs: {
      const Shape s = shape_of(t);
      const bool single = t == DATA_USTR || t == DATA_XYZS;
      std::vector<std::string_view> recs = single ? lines(text) : record_lines(text);
      if (single) {
        if (recs.size() != 1) return refuse();
      }
      std::vector<wire::UstrItem> ustrs;
      std::vector<wire::XyzsItem> points;
      std::vector<wire::Stamped> stamped;
      for (std::string_view line : recs) {
        const size_t stamp_fields = (s == Shape::ts_ustr || s == Shape::ts_xyzs) ? 3 : 0;
        size_t fields = 0;
        if (s == Shape::ustr) fields = (t == DATA_A_STRING || t == DATA_KEYVAL) ? 0 : 4;
        if (s == Shape::ts_ustr) fields = t == DATA_A_TS_USTR ? 4 : 0;
        if (s == Shape::xyzs || s == Shape::ts_xyzs) fields = 4;
        std::vector<std::string_view> toks;
        std::string rest;
        if (stamp_fields + fields == 0) {
          rest = std::string(line);
        } else if (!leading_tokens(line, stamp_fields + fields, &toks, &rest)) {
          return refuse();
        }
        wire::Stamped st;
        if (stamp_fields) {
          uint8_t stamp[sizeof(TSStamp)] = {};
          if (!parse_fields(toks, 0, {{DATA_LONG, 0}, {DATA_INT, 8}, {DATA_UINT, 12}}, stamp)) {
            return refuse();
          }
          std::memcpy(&st.stamp, stamp, sizeof stamp);
        }
        if (s == Shape::ustr || s == Shape::ts_ustr) {
          wire::UstrItem item;
          if (fields) {
            uint8_t rec[24] = {};
            if (!parse_fields(toks, stamp_fields,
                              {{DATA_INT, 0}, {DATA_FLOAT, 4}, {DATA_FLOAT, 8}, {DATA_LONG, 16}}, rec)) {
              return refuse();
            }
            item.i1 = load<int32_t>(rec);
            item.f1 = load<float>(rec + 4);
            item.f2 = load<float>(rec + 8);
            item.tm = load<int64_t>(rec + 16);
          }
          item.text = rest;
          if (s == Shape::ustr) {
            ustrs.push_back(std::move(item));
          } else {
            st.u = std::move(item);
            stamped.push_back(std::move(st));
          }
        } else {
          wire::XyzsItem item;
          uint8_t rec[16] = {};
          if (!parse_fields(toks, stamp_fields,
                            {{DATA_INT, 0}, {DATA_FLOAT, 4}, {DATA_FLOAT, 8}, {DATA_FLOAT, 12}}, rec)) {
            return refuse();
          }
          item.status = load<int32_t>(rec);
          item.x = load<float>(rec + 4);
          item.y = load<float>(rec + 8);
          item.z = load<float>(rec + 12);
          item.loc = rest;
          if (s == Shape::xyzs) {
            points.push_back(std::move(item));
          } else {
            st.p = std::move(item);
            stamped.push_back(std::move(st));
          }
        }
      }
      if (s == Shape::ustr) {
        adopt(t, uint32_t(ustrs.size()), wire::ustr_part(ustrs));
      } else if (s == Shape::xyzs) {
        adopt(t, uint32_t(points.size()), wire::xyzs_part(points));
      } else if (s == Shape::ts_ustr) {
        adopt(t, uint32_t(stamped.size()), wire::ts_ustr_part(stamped));
      } else {
        adopt(t, uint32_t(stamped.size()), wire::ts_xyzs_part(stamped));
      }
      return ok;
    }
    case Shape::spectrum: case Shape::gspectrum: case Shape::mda: case Shape::bytes2d:
      return set_from_header_text_(text) == ok ? ok : refuse();
  }
  return refuse();
}

int EqData::parse_hex_byte_(char hi, char lo) {
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  const int h = digit(hi), l = digit(lo);
  return h < 0 || l < 0 ? -1 : h * 16 + l;
}

// Spectra, grouped spectra, MDA and byte arrays: an optional "[key=value,...]"
// header, then the values.
int EqData::set_from_header_text_(std::string_view text) {
  const int t = type();
  Header h;
  if (!split_header(text, &h)) return ill_parameter;
  const auto toks = tokens(h.body);
  std::string comment;
  int64_t tm = 0;
  float start = 0, inc = 0, group_inc = 0;
  uint32_t status = 0;
  int32_t groups = 0, group_size = 0;
  int32_t dims[6] = {0, 0, 0, 0, 0, 0};
  int dimn = -1;
  int32_t x_dim = -1, y_dim = -1, x_offset = 0, y_offset = 0, option = 0;
  for (const auto& [key, value] : h.items) {
    bool good = true;
    auto take = [&good](auto parsed, auto& into) {
      if (parsed) {
        into = *parsed;
      } else {
        good = false;
      }
    };
    if (key == "comment") {
      comment = value;
    } else if (key == "tm") {
      take(parse<int64_t>(value), tm);
    } else if (key == "start") {
      take(parse<float>(value), start);
    } else if (key == "inc") {
      take(parse<float>(value), inc);
    } else if (key == "status") {
      take(parse<uint32_t>(value), status);
    } else if (key == "groups") {
      take(parse<int32_t>(value), groups);
    } else if (key == "group_size") {
      take(parse<int32_t>(value), group_size);
    } else if (key == "group_inc") {
      take(parse<float>(value), group_inc);
    } else if (key == "x_dim") {
      take(parse<int32_t>(value), x_dim);
    } else if (key == "y_dim") {
      take(parse<int32_t>(value), y_dim);
    } else if (key == "x_offset") {
      take(parse<int32_t>(value), x_offset);
    } else if (key == "y_offset") {
      take(parse<int32_t>(value), y_offset);
    } else if (key == "option") {
      take(parse<int32_t>(value), option);
    } else if (key == "dims") {
      // "2x3x4": one to six extents
      dimn = 0;
      std::string_view rest = value;
      while (good) {
        const size_t x = rest.find('x');
        auto d = parse<int32_t>(rest.substr(0, x));
        if (!d || *d < 0 || dimn == 6) {
          good = false;
          break;
        }
        dims[dimn++] = *d;
        if (x == std::string_view::npos) break;
        rest.remove_prefix(x + 1);
      }
    } else {
      good = false;
    }
    if (!good) return ill_parameter;
  }
  if (t == DATA_A_BYTE) {
    std::vector<uint8_t> bytes;
    for (auto tok : toks) {
      auto v = parse<uint8_t>(tok);
      if (!v) return ill_parameter;
      bytes.push_back(*v);
    }
    const int64_t n = int64_t(bytes.size());
    if (x_dim < 0 && y_dim < 0) {
      x_dim = int32_t(n);
      y_dim = n > 0 ? 1 : 0;
    } else if (x_dim < 0 || y_dim < 0 || int64_t(x_dim) * y_dim != n) {
      return ill_parameter;
    }
    set_byte_array(bytes.data(), x_dim, y_dim, x_offset, y_offset, option);
    return ok;
  }
  if (t == DATA_MDA_DOUBLE || t == DATA_MDA_FLOAT) {
    std::vector<double> values;
    for (auto tok : toks) {
      std::optional<double> v;
      if (t == DATA_MDA_FLOAT) {
        auto f = parse<float>(tok);
        if (f) v = *f;
      } else {
        v = parse<double>(tok);
      }
      if (!v) return ill_parameter;
      values.push_back(*v);
    }
    if (dimn < 0) {
      dimn = 1;
      dims[0] = int32_t(values.size());
    }
    set_mda(dimn, dims, comment.c_str(), values.data(), int(values.size()), t == DATA_MDA_DOUBLE);
    return ok;
  }
  std::vector<float> values;
  for (auto tok : toks) {
    auto v = parse<float>(tok);
    if (!v) return ill_parameter;
    values.push_back(*v);
  }
  if (t == DATA_GSPECTRUM) {
    set_gspectrum(comment.c_str(), tm, start, inc, status, groups, group_size, group_inc,
                  values.data(), int(values.size()));
  } else {
    set(comment.c_str(), tm, start, inc, status, values.data(), int(values.size()));
  }
  return ok;
}

}  // namespace vanto
