// Reading values from their text forms (docs/text-forms.md): what
// set_from_string accepts is what get_string writes.
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <optional>

#include "vanto/eqdata.h"
#include "vanto/errors.h"
#include "wire.h"

namespace vanto {

using wire::kRecordSeparatorOpen;
using wire::kRecordSeparators;
using wire::load;
using wire::Shape;
using wire::shape_of;

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
    case DATA_SHORT:
    case DATA_A_SHORT:
    case DATA_A_TS_SHORT: {
      auto v = parse<int16_t>(tok);
      if (!v) return false;
      wire::store(p, *v);
      return true;
    }
    case DATA_USHORT:
    case DATA_A_USHORT:
    case DATA_A_TS_USHORT: {
      auto v = parse<uint16_t>(tok);
      if (!v) return false;
      wire::store(p, *v);
      return true;
    }
    case DATA_INT:
    case DATA_A_INT:
    case DATA_A_TS_INT: {
      auto v = parse<int32_t>(tok);
      if (!v) return false;
      wire::store(p, *v);
      return true;
    }
    case DATA_UINT:
    case DATA_A_UINT:
    case DATA_A_TS_UINT: {
      auto v = parse<uint32_t>(tok);
      if (!v) return false;
      wire::store(p, *v);
      return true;
    }
    case DATA_LONG:
    case DATA_A_LONG:
    case DATA_A_TS_LONG: {
      auto v = parse<int64_t>(tok);
      if (!v) return false;
      wire::store(p, *v);
      return true;
    }
    case DATA_ULONG:
    case DATA_A_ULONG:
    case DATA_A_TS_ULONG: {
      auto v = parse<uint64_t>(tok);
      if (!v) return false;
      wire::store(p, *v);
      return true;
    }
    case DATA_FLOAT:
    case DATA_A_FLOAT:
    case DATA_A_TS_FLOAT: {
      auto v = parse<float>(tok);
      if (!v) return false;
      wire::store(p, *v);
      return true;
    }
    case DATA_DOUBLE:
    case DATA_A_DOUBLE:
    case DATA_A_TS_DOUBLE: {
      auto v = parse<double>(tok);
      if (!v) return false;
      wire::store(p, *v);
      return true;
    }
    case DATA_BOOL: {
      auto v = parse<bool>(tok);
      if (!v) return false;
      wire::store(p, int32_t(*v));
      return true;
    }
    case DATA_A_BOOL:
    case DATA_A_TS_BOOL: {
      auto v = parse<bool>(tok);
      if (!v) return false;
      wire::store(p, uint8_t(*v));
      return true;
    }
    default: return false;
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
    case DATA_XY:
    case DATA_A_XY: return {{DATA_FLOAT, 0}, {DATA_FLOAT, 4}};
    case DATA_IIII: return {{DATA_INT, 0}, {DATA_INT, 4}, {DATA_INT, 8}, {DATA_INT, 12}};
    case DATA_IFFF: return {{DATA_INT, 0}, {DATA_FLOAT, 4}, {DATA_FLOAT, 8}, {DATA_FLOAT, 12}};
    case DATA_TTII: return {{DATA_LONG, 0}, {DATA_LONG, 8}, {DATA_INT, 16}, {DATA_INT, 20}};
    case DATA_TDS:
    case DATA_A_TDS: return {{DATA_LONG, 0}, {DATA_FLOAT, 8}, {DATA_A_BOOL /*byte*/, 12}};
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
    if (first + i >= toks.size() ||
        !parse_elem(fields[i].type, toks[first + i], rec + fields[i].offset)) {
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
  if (s.size() < open.size() + 2 || s.substr(0, open.size()) != open || s[open.size() + 1] != ']' ||
      std::string_view(kRecordSeparators).find(s[open.size()]) == std::string_view::npos) {
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

// -1 when hi and lo are no pair of hexadecimal digits.
int parse_hex_byte(char hi, char lo) {
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  const int h = digit(hi), l = digit(lo);
  return h < 0 || l < 0 ? -1 : h * 16 + l;
}

// A value read from text, as the data part that EqData::adopt takes.
struct ParsedPart {
  uint32_t count = 0;
  std::vector<uint8_t> bytes;
};

// A scalar or single record: exactly its fields, blank separated.
std::optional<std::array<uint8_t, 32>> scalar_from_text(int t, std::string_view text) {
  const auto toks = tokens(text);
  std::array<uint8_t, 32> rec{};
  const size_t want = record_fields(t).size();
  if (toks.size() != want || !parse_record(t, toks, 0, rec.data())) return std::nullopt;
  // A scalar that is no record accepts no separators inside its one token.
  if (want == 1 && trim(text).size() != toks[0].size()) return std::nullopt;
  return rec;
}

// A byte array of opaque bytes: hexadecimal pairs, blanks anywhere between
// them.
std::optional<ParsedPart> hex_bytes_from_text(std::string_view text) {
  std::string hex;
  for (auto tok : tokens(text)) hex += tok;
  if (hex.size() % 2 != 0) return std::nullopt;
  ParsedPart part;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int v = parse_hex_byte(hex[i], hex[i + 1]);
    if (v < 0) return std::nullopt;
    part.bytes.push_back(uint8_t(v));
  }
  part.count = uint32_t(part.bytes.size());
  return part;
}

// An array of numbers or fixed records: the records' fields one after the
// other.
std::optional<ParsedPart> fixed_array_from_text(int t, std::string_view text) {
  if (is_opaque(t)) return hex_bytes_from_text(text);
  const auto toks = tokens(text);
  const size_t esize = wire::element_size(t);
  const size_t per = record_fields(t).size();
  if (toks.size() % per != 0) return std::nullopt;
  const size_t n = toks.size() / per;
  ParsedPart part;
  part.bytes.assign(n * esize, 0);
  for (size_t k = 0; k < n; ++k) {
    if (!parse_record(t, toks, k * per, part.bytes.data() + k * esize)) return std::nullopt;
  }
  part.count = uint32_t(n);
  return part;
}

// One line of a record with a text (USTR, XYZS and their stamped and
// array forms): the stamp's fields (stamped types), the record's numbers,
// then the rest of the line as its text.
struct RecordLine {
  std::vector<std::string_view> toks;
  std::string rest;
  size_t stamp_fields = 0;  // 3 for stamped types
  size_t fields = 0;        // numbers of the record (0: text only)
};

bool split_record_line(int t, std::string_view line, RecordLine* r) {
  const Shape s = shape_of(t);
  r->stamp_fields = (s == Shape::ts_ustr || s == Shape::ts_xyzs) ? 3 : 0;
  r->fields = 0;
  if (s == Shape::ustr) r->fields = (t == DATA_A_STRING || t == DATA_KEYVAL) ? 0 : 4;
  if (s == Shape::ts_ustr) r->fields = t == DATA_A_TS_USTR ? 4 : 0;
  if (s == Shape::xyzs || s == Shape::ts_xyzs) r->fields = 4;
  r->toks.clear();
  if (r->stamp_fields + r->fields == 0) {
    r->rest = std::string(line);
    return true;
  }
  return leading_tokens(line, r->stamp_fields + r->fields, &r->toks, &r->rest);
}

bool parse_stamp(const RecordLine& r, TSStamp* stamp) {
  uint8_t bytes[sizeof(TSStamp)] = {};
  if (!parse_fields(r.toks, 0, {{DATA_LONG, 0}, {DATA_INT, 8}, {DATA_UINT, 12}}, bytes))
    return false;
  std::memcpy(stamp, bytes, sizeof bytes);
  return true;
}

bool parse_ustr_item(const RecordLine& r, wire::UstrItem* item) {
  if (r.fields != 0) {
    uint8_t rec[24] = {};
    if (!parse_fields(r.toks, r.stamp_fields,
                      {{DATA_INT, 0}, {DATA_FLOAT, 4}, {DATA_FLOAT, 8}, {DATA_LONG, 16}}, rec))
      return false;
    item->i1 = load<int32_t>(rec);
    item->f1 = load<float>(rec + 4);
    item->f2 = load<float>(rec + 8);
    item->tm = load<int64_t>(rec + 16);
  }
  item->text = r.rest;
  return true;
}

bool parse_xyzs_item(const RecordLine& r, wire::XyzsItem* item) {
  uint8_t rec[16] = {};
  if (!parse_fields(r.toks, r.stamp_fields,
                    {{DATA_INT, 0}, {DATA_FLOAT, 4}, {DATA_FLOAT, 8}, {DATA_FLOAT, 12}}, rec))
    return false;
  item->status = load<int32_t>(rec);
  item->x = load<float>(rec + 4);
  item->y = load<float>(rec + 8);
  item->z = load<float>(rec + 12);
  item->loc = r.rest;
  return true;
}

// Records with a text: a single record is one line; an array has one record
// per line or the one-line "[sep=C]" form.
std::optional<ParsedPart> text_records_from_text(int t, std::string_view text) {
  const Shape s = shape_of(t);
  const bool single = t == DATA_USTR || t == DATA_XYZS;
  const std::vector<std::string_view> recs = single ? lines(text) : record_lines(text);
  if (single && recs.size() != 1) return std::nullopt;
  const bool with_ustr = s == Shape::ustr || s == Shape::ts_ustr;
  std::vector<wire::UstrItem> ustrs;
  std::vector<wire::XyzsItem> points;
  std::vector<wire::Stamped> stamped;
  RecordLine r;
  for (std::string_view line : recs) {
    if (!split_record_line(t, line, &r)) return std::nullopt;
    wire::Stamped st;
    if (r.stamp_fields != 0 && !parse_stamp(r, &st.stamp)) return std::nullopt;
    if (with_ustr) {
      wire::UstrItem item;
      if (!parse_ustr_item(r, &item)) return std::nullopt;
      if (s == Shape::ustr) {
        ustrs.push_back(std::move(item));
        continue;
      }
      st.u = std::move(item);
    } else {
      wire::XyzsItem item;
      if (!parse_xyzs_item(r, &item)) return std::nullopt;
      if (s == Shape::xyzs) {
        points.push_back(std::move(item));
        continue;
      }
      st.p = std::move(item);
    }
    stamped.push_back(std::move(st));
  }
  switch (s) {
    case Shape::ustr: return ParsedPart{uint32_t(ustrs.size()), wire::ustr_part(ustrs)};
    case Shape::xyzs: return ParsedPart{uint32_t(points.size()), wire::xyzs_part(points)};
    case Shape::ts_ustr: return ParsedPart{uint32_t(stamped.size()), wire::ts_ustr_part(stamped)};
    default: return ParsedPart{uint32_t(stamped.size()), wire::ts_xyzs_part(stamped)};
  }
}

// The keys of a "[key=value,...]" header, with their defaults.
struct HeaderFields {
  std::string comment;
  int64_t tm = 0;
  float start = 0, inc = 0, group_inc = 0;
  uint32_t status = 0;
  int32_t groups = 0, group_size = 0;
  int32_t dims[6] = {0, 0, 0, 0, 0, 0};
  int dimn = -1;  // no "dims" key
  int32_t x_dim = -1, y_dim = -1, x_offset = 0, y_offset = 0, option = 0;
};

template <typename T>
bool parse_into(std::string_view text, T& into) {
  const std::optional<T> parsed = parse<T>(text);
  if (parsed) into = *parsed;
  return parsed.has_value();
}

// "2x3x4": one to six extents.
bool parse_dims(std::string_view text, HeaderFields& f) {
  f.dimn = 0;
  for (;;) {
    const size_t x = text.find('x');
    const std::optional<int32_t> d = parse<int32_t>(text.substr(0, x));
    if (!d || *d < 0 || f.dimn == 6) return false;
    f.dims[f.dimn++] = *d;
    if (x == std::string_view::npos) return true;
    text.remove_prefix(x + 1);
  }
}

// False for an unknown key or a value that is no value of the key.
bool read_header_item(const std::string& key, const std::string& value, HeaderFields& f) {
  if (key == "comment") {
    f.comment = value;
    return true;
  }
  if (key == "tm") return parse_into(value, f.tm);
  if (key == "start") return parse_into(value, f.start);
  if (key == "inc") return parse_into(value, f.inc);
  if (key == "status") return parse_into(value, f.status);
  if (key == "groups") return parse_into(value, f.groups);
  if (key == "group_size") return parse_into(value, f.group_size);
  if (key == "group_inc") return parse_into(value, f.group_inc);
  if (key == "x_dim") return parse_into(value, f.x_dim);
  if (key == "y_dim") return parse_into(value, f.y_dim);
  if (key == "x_offset") return parse_into(value, f.x_offset);
  if (key == "y_offset") return parse_into(value, f.y_offset);
  if (key == "option") return parse_into(value, f.option);
  if (key == "dims") return parse_dims(value, f);
  return false;
}

// Every token as a T; nothing when one is no T.
template <typename T>
std::optional<std::vector<T>> numbers_of(const std::vector<std::string_view>& toks) {
  std::vector<T> values;
  values.reserve(toks.size());
  for (auto tok : toks) {
    const std::optional<T> v = parse<T>(tok);
    if (!v) return std::nullopt;
    values.push_back(*v);
  }
  return values;
}

int set_byte_array_from(EqData& d, const std::vector<std::string_view>& toks, HeaderFields& f) {
  const auto bytes = numbers_of<uint8_t>(toks);
  if (!bytes) return ill_parameter;
  const int64_t n = int64_t(bytes->size());
  if (f.x_dim < 0 && f.y_dim < 0) {
    f.x_dim = int32_t(n);
    f.y_dim = n > 0 ? 1 : 0;
  } else if (f.x_dim < 0 || f.y_dim < 0 || int64_t(f.x_dim) * f.y_dim != n) {
    return ill_parameter;
  }
  d.set_byte_array(bytes->data(), f.x_dim, f.y_dim, f.x_offset, f.y_offset, f.option);
  return ok;
}

int set_mda_from(EqData& d, const std::vector<std::string_view>& toks, HeaderFields& f) {
  const bool as_double = d.type() == DATA_MDA_DOUBLE;
  std::vector<double> values;
  if (as_double) {
    auto parsed = numbers_of<double>(toks);
    if (!parsed) return ill_parameter;
    values = std::move(*parsed);
  } else {
    // Each value must be a float: what does not fit one is refused.
    const auto parsed = numbers_of<float>(toks);
    if (!parsed) return ill_parameter;
    values.assign(parsed->begin(), parsed->end());
  }
  if (f.dimn < 0) {
    f.dimn = 1;
    f.dims[0] = int32_t(values.size());
  }
  d.set_mda(f.dimn, f.dims, f.comment.c_str(), values.data(), int(values.size()), as_double);
  return ok;
}

int set_spectrum_from(EqData& d, const std::vector<std::string_view>& toks, const HeaderFields& f) {
  const auto values = numbers_of<float>(toks);
  if (!values) return ill_parameter;
  if (d.type() == DATA_GSPECTRUM) {
    d.set_gspectrum(f.comment.c_str(), f.tm, f.start, f.inc, f.status, f.groups, f.group_size,
                    f.group_inc, values->data(), int(values->size()));
  } else {
    d.set_spectrum(f.comment.c_str(), f.tm, f.start, f.inc, f.status, values->data(),
                   int(values->size()));
  }
  return ok;
}

// Spectra, grouped spectra, MDA and byte arrays: an optional
// "[key=value,...]" header, then the values.
int set_from_header_text(EqData& d, std::string_view text) {
  Header h;
  if (!split_header(text, &h)) return ill_parameter;
  HeaderFields fields;
  for (const auto& [key, value] : h.items) {
    if (!read_header_item(key, value, fields)) return ill_parameter;
  }
  const auto toks = tokens(h.body);
  switch (d.type()) {
    case DATA_A_BYTE: return set_byte_array_from(d, toks, fields);
    case DATA_MDA_DOUBLE:
    case DATA_MDA_FLOAT: return set_mda_from(d, toks, fields);
    default: return set_spectrum_from(d, toks, fields);
  }
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
  auto adopt_parsed = [this, t, &refuse](const std::optional<ParsedPart>& part) {
    if (!part) return refuse();
    adopt(t, part->count, part->bytes);
    return static_cast<int>(ok);
  };
  blk_.error = 0;
  error_text_.clear();

  switch (shape_of(t)) {
    case Shape::text: adopt(t, 1, wire::text_part(text)); return ok;
    case Shape::empty:
      if (!trim(text).empty()) return refuse();
      set_type(t);
      return ok;
    case Shape::unknown:
    case Shape::image: return refuse();
    case Shape::scalar: {
      const auto rec = scalar_from_text(t, text);
      if (!rec) return refuse();
      set_scalar(t, rec->data());
      return ok;
    }
    case Shape::fixed_array: return adopt_parsed(fixed_array_from_text(t, text));
    case Shape::ustr:
    case Shape::ts_ustr:
    case Shape::xyzs:
    case Shape::ts_xyzs: return adopt_parsed(text_records_from_text(t, text));
    case Shape::spectrum:
    case Shape::gspectrum:
    case Shape::mda:
    case Shape::bytes2d: return set_from_header_text(*this, text) == ok ? ok : refuse();
  }
  return refuse();
}

}  // namespace vanto
