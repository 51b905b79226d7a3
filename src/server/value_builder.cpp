#include "value_builder.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "config.h"
#include "numeric_value.h"
#include "vanto/codec.h"
#include "wire.h"

namespace vantoserver {

using namespace vanto;

namespace {

[[noreturn]] void fail(const toml::node& where, const std::string& what) {
  const auto& source = where.source();
  throw ConfigError((source.path ? *source.path : std::string("config")) + ":" +
                    std::to_string(source.begin.line) + ": " + what);
}

double number(const toml::node& node) {
  if (const auto* i = node.as_integer()) return static_cast<double>(i->get());
  if (const auto* f = node.as_floating_point()) return f->get();
  if (const auto* b = node.as_boolean()) return b->get() ? 1.0 : 0.0;
  fail(node, "a number is needed here");
}

// A number as an integer of type T: a TOML integer exactly, a float truncated
// toward zero. A number beyond the range of T is refused, never wrapped.
template <typename T>
T integer(const toml::node& node) {
  using limits = std::numeric_limits<T>;
  if (const auto* i = node.as_integer()) {
    if (std::in_range<T>(i->get())) return static_cast<T>(i->get());
  } else {
    const double v = std::trunc(number(node));
    // Both bounds are powers of two (or 0), exact in a double.
    const double beyond = static_cast<double>(limits::max() / 2 + 1) * 2.0;
    if (v >= static_cast<double>(limits::min()) && v < beyond) return static_cast<T>(v);
  }
  fail(node, "a number from " + std::to_string(limits::min()) + " to " +
                 std::to_string(limits::max()) + " is needed here");
}

template <typename T>
T integer_or(const toml::table& table, const char* key, T fallback) {
  const toml::node* node = table.get(key);
  return node ? integer<T>(*node) : fallback;
}

// A number as a float; a finite number beyond the float range is refused.
float single(const toml::node& node) {
  const double v = number(node);
  if (std::isfinite(v) && std::fabs(v) > FLT_MAX) fail(node, "a number beyond the float range");
  return static_cast<float>(v);
}

float single_or(const toml::table& table, const char* key, float fallback) {
  const toml::node* node = table.get(key);
  return node ? single(*node) : fallback;
}

// The elements of the array at key, which must have want of them (any number
// when want is 0); want null elements when the key is missing.
std::vector<const toml::node*> elements_of(const toml::table& table, const char* key,
                                           size_t want = 0) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return std::vector<const toml::node*>(want, nullptr);
  const auto* array = node->as_array();
  if (array == nullptr) fail(*node, "an array of numbers is needed here");
  if (want != 0 && array->size() != want)
    fail(*node, std::string("\"") + key + "\" needs " + std::to_string(want) + " numbers");
  std::vector<const toml::node*> out;
  out.reserve(array->size());
  for (const toml::node& element : *array) out.push_back(&element);
  return out;
}

// An element of elements_of: 0 for a missing one.
template <typename T>
T integer_at(const toml::node* node) {
  return node ? integer<T>(*node) : T{};
}
float single_at(const toml::node* node) { return node ? single(*node) : 0.0f; }

// A number into element index of a value of a numeric scalar or array type.
void put_number(EqData& out, int type, const toml::node* node, int index) {
  if (out.type() != type) out.set_type(type);
  switch (type) {
    case DATA_INT:
    case DATA_A_INT: out.set_int(integer_at<int32_t>(node), index); return;
    case DATA_FLOAT:
    case DATA_A_FLOAT: out.set_float(single_at(node), index); return;
    case DATA_SHORT:
    case DATA_A_SHORT: out.set_short(integer_at<int16_t>(node), index); return;
    case DATA_USHORT:
    case DATA_A_USHORT: out.set_ushort(integer_at<uint16_t>(node), index); return;
    case DATA_UINT:
    case DATA_A_UINT: out.set_uint(integer_at<uint32_t>(node), index); return;
    case DATA_LONG:
    case DATA_A_LONG: out.set_long(integer_at<int64_t>(node), index); return;
    case DATA_ULONG:
    case DATA_A_ULONG: out.set_ulong(integer_at<uint64_t>(node), index); return;
    default: set_number(out, type, node ? number(*node) : 0.0, index); return;  // DOUBLE, BOOL
  }
}

std::string text_or(const toml::table& table, const char* key, const std::string& fallback,
                    const Placeholders& names) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return fallback;
  const auto* s = node->as_string();
  if (s == nullptr) fail(*node, std::string("\"") + key + "\" must be a string");
  return expand(s->get(), names);
}

std::vector<double> numbers(const toml::node& node) {
  const auto* array = node.as_array();
  if (array == nullptr) fail(node, "an array of numbers is needed here");
  std::vector<double> out;
  out.reserve(array->size());
  for (const toml::node& element : *array) out.push_back(number(element));
  return out;
}

std::vector<double> numbers_of(const toml::table& table, const char* key, size_t want = 0) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return std::vector<double>(want, 0.0);
  std::vector<double> out = numbers(*node);
  if (want != 0 && out.size() != want)
    fail(*node, std::string("\"") + key + "\" needs " + std::to_string(want) + " numbers");
  return out;
}

const toml::table& table_of(const toml::node& node) {
  const auto* table = node.as_table();
  if (table == nullptr) fail(node, "a table is needed here");
  return *table;
}

wire::UstrItem ustr_of(const toml::table& t, const Placeholders& names) {
  return {integer_or<int32_t>(t, "i1", 0), single_or(t, "f1", 0), single_or(t, "f2", 0),
          integer_or<int64_t>(t, "tm", 0), text_or(t, "text", "", names)};
}

wire::XyzsItem xyzs_of(const toml::table& t, const Placeholders& names) {
  return {integer_or<int32_t>(t, "status", 0), single_or(t, "x", 0), single_or(t, "y", 0),
          single_or(t, "z", 0), text_or(t, "loc", "", names)};
}

// Each element of the "value" array as a table.
template <typename Fn>
void each_table(const toml::table& property, Fn&& fn) {
  const toml::node* node = property.get("value");
  if (node == nullptr) return;
  const auto* array = node->as_array();
  if (array == nullptr) fail(*node, "\"value\" must be an array of tables");
  for (const toml::node& element : *array) fn(table_of(element));
}

// Arrays are laid out in one pass and read back through the codec: setting
// their elements one by one copies the whole array for every element, and a
// configured array of 200,000 numbers kept the server from starting for
// minutes.
void adopt_part(const toml::table& p, EqData& value, int type, size_t count,
                const std::vector<uint8_t>& part) {
  if (Codec::decode_data(value, type, static_cast<uint32_t>(count), part.data(), part.size()) != 0)
    fail(p, "cannot build the value: " + value.error_text());
}

template <typename T>
void put_element(uint8_t* at, T v) {
  std::memcpy(at, &v, sizeof v);
}

// A number into the element of a numeric array type at `at`.
void put_array_number(int type, const toml::node& node, uint8_t* at) {
  switch (type) {
    case DATA_A_INT: return put_element(at, integer<int32_t>(node));
    case DATA_A_FLOAT: return put_element(at, single(node));
    case DATA_A_DOUBLE: return put_element(at, number(node));
    case DATA_A_SHORT: return put_element(at, integer<int16_t>(node));
    case DATA_A_USHORT: return put_element(at, integer<uint16_t>(node));
    case DATA_A_UINT: return put_element(at, integer<uint32_t>(node));
    case DATA_A_LONG: return put_element(at, integer<int64_t>(node));
    case DATA_A_ULONG: return put_element(at, integer<uint64_t>(node));
    case DATA_A_BOOL: return put_element(at, static_cast<uint8_t>(number(node) != 0));
    default: fail(node, std::string("no number array: ") + EqData::type_string(type));
  }
}

std::vector<uint8_t> bytes_of(const toml::table& property, size_t count) {
  std::vector<uint8_t> out;
  if (const toml::node* node = property.get("value")) {
    // A byte from -128 to 255 (-1 is 255).
    for (const toml::node* byte : elements_of(property, "value")) {
      const auto v = integer<int16_t>(*byte);
      if (v < -128 || v > 255) fail(*byte, "a byte from -128 to 255 is needed here");
      out.push_back(static_cast<uint8_t>(v & 0xff));
    }
    if (count != 0 && out.size() != count)
      fail(*node, "\"value\" needs " + std::to_string(count) + " bytes");
  } else {
    out.resize(count);
  }
  return out;
}

void build_image(const toml::table& p, Channel& channel, const Placeholders& names,
                 int64_t now_sec) {
  IMH h{};
  h.width = integer_or<int32_t>(p, "width", 2);
  h.height = integer_or<int32_t>(p, "height", 2);
  h.bpp = integer_or<int32_t>(p, "bpp", 1);
  if (h.width < 1 || h.height < 1 || h.bpp < 1 || h.bpp > 8 ||
      static_cast<int64_t>(h.width) * h.height * h.bpp > (64 << 20))
    fail(p, "image size out of range (1..64 MiB, bpp 1..8)");
  h.aoi_width = h.width;
  h.aoi_height = h.height;
  h.ebitpp = integer_or<int32_t>(p, "ebitpp", 8 * h.bpp);
  h.hbin = h.vbin = 1;
  h.frame = integer_or<int32_t>(p, "frame", 1);
  h.scale_x = h.scale_y = 1.0f;
  h.source_format = h.image_format = integer_or<int32_t>(p, "format", 0);
  const size_t count = static_cast<size_t>(h.width) * h.height * h.bpp;
  h.length = static_cast<int32_t>(count);
  std::vector<uint8_t> pixels;
  if (text_or(p, "pattern", "", names) == "gradient") {
    pixels.resize(count);
    for (size_t i = 0; i < count; ++i) {
      const size_t pixel = i / h.bpp;
      pixels[i] = static_cast<uint8_t>((pixel % h.width + pixel / h.width) & 0xff);
    }
  } else {
    pixels = bytes_of(p, count);
  }
  const std::string comment = text_or(p, "comment", "", names);
  channel.initial().set_image(h, now_sec, 0, 0, comment.c_str(), pixels.data(),
                              static_cast<int>(pixels.size()));
}

void build_history(const toml::table& p, Channel& channel, int64_t now_sec) {
  const toml::table empty;
  const toml::node* node = p.get("history");
  const toml::table& h = node ? table_of(*node) : empty;
  const auto capacity = integer_or<int64_t>(h, "capacity", 7200);
  const auto period = integer_or<int32_t>(h, "period", 1);
  const auto prefill = integer_or<int64_t>(h, "prefill", 0);
  if (capacity < 1 || capacity > 10'000'000 || period < 1 || prefill < 0)
    fail(node ? *node : static_cast<const toml::node&>(p),
         "history needs capacity 1..10000000, period >= 1 s, prefill >= 0");
  auto history = std::make_unique<History>(channel.type(), static_cast<size_t>(capacity), period);
  // Pre-filled points end one period before now; the clock adds the rest.
  // Only the newest capacity of them stay in the ring, so only those are
  // made (a prefill of 10^18 must not keep the start busy).
  const int64_t points = prefill;
  const int64_t step = period;
  const Dynamic source = channel.dynamic == Dynamic::none ? Dynamic::sine : channel.dynamic;
  for (int64_t k = std::min(points, capacity); k >= 1; --k) {
    const int64_t sec = now_sec - k * step;
    const double v = channel.waveform.at(source, static_cast<double>(sec), points - k, points - k);
    history->push(HistoryPoint{sec, 0, 0, v});
  }
  channel.attach_history(std::move(history));
}

void build_text(const toml::table& p, EqData& value, int type, const Placeholders& names) {
  const std::string text = text_or(p, "value", "", names);
  value.set_type(type);
  if (type == DATA_XML)
    value.set_xml(text.c_str());
  else
    value.set_string(text);
}

// The types of a few numbers of fixed count: IIII, IFFF, XY, TTII, TDS.
void build_tuple(const toml::table& p, EqData& value, int type) {
  switch (type) {
    case DATA_IIII: {
      const auto n = elements_of(p, "value", 4);
      value.set_iiii(integer_at<int32_t>(n[0]), integer_at<int32_t>(n[1]),
                     integer_at<int32_t>(n[2]), integer_at<int32_t>(n[3]));
      return;
    }
    case DATA_IFFF: {
      const auto n = elements_of(p, "value", 4);
      value.set_ifff(integer_at<int32_t>(n[0]), single_at(n[1]), single_at(n[2]), single_at(n[3]));
      return;
    }
    case DATA_XY: {
      const auto n = elements_of(p, "value", 2);
      value.set_type(DATA_XY);
      value.set_xy(single_at(n[0]), single_at(n[1]));
      return;
    }
    case DATA_TTII: {
      const auto n = elements_of(p, "value", 4);
      value.set_ttii(integer_at<int64_t>(n[0]), integer_at<int64_t>(n[1]),
                     integer_at<int32_t>(n[2]), integer_at<int32_t>(n[3]));
      return;
    }
    case DATA_TDS: {
      const auto n = elements_of(p, "value", 3);
      value.set_type(DATA_TDS);
      value.set_tds(integer_at<int64_t>(n[0]), single_at(n[1]), integer_at<uint8_t>(n[2]));
      return;
    }
  }
}

// USTR and XYZS: one record from a table, or an array of them from an array
// of tables.
void build_records(const toml::table& p, EqData& value, int type, const Placeholders& names) {
  const toml::node* v = p.get("value");
  value.set_type(type);
  switch (type) {
    case DATA_USTR: {
      const wire::UstrItem u = ustr_of(v ? table_of(*v) : toml::table{}, names);
      value.set_ustr(u.i1, u.f1, u.f2, u.tm, u.text.c_str(), 0);
      return;
    }
    case DATA_A_USTR: {
      std::vector<wire::UstrItem> items;
      each_table(p, [&](const toml::table& t) { items.push_back(ustr_of(t, names)); });
      adopt_part(p, value, type, items.size(), wire::ustr_part(items));
      return;
    }
    case DATA_XYZS: {
      const wire::XyzsItem x = xyzs_of(v ? table_of(*v) : toml::table{}, names);
      value.set_xyzs(x.status, x.x, x.y, x.z, x.loc.c_str(), 0);
      return;
    }
    case DATA_A_XYZS: {
      std::vector<wire::XyzsItem> items;
      each_table(p, [&](const toml::table& t) { items.push_back(xyzs_of(t, names)); });
      adopt_part(p, value, type, items.size(), wire::xyzs_part(items));
      return;
    }
  }
}

void build_number_array(const toml::table& p, EqData& value, int type) {
  const auto n = elements_of(p, "value");
  const size_t size = wire::element_size(type);
  std::vector<uint8_t> part(n.size() * size);
  for (size_t i = 0; i < n.size(); ++i) put_array_number(type, *n[i], part.data() + i * size);
  value.set_type(type);
  adopt_part(p, value, type, n.size(), part);
}

void build_xy_array(const toml::table& p, EqData& value) {
  value.set_type(DATA_A_XY);
  const toml::node* v = p.get("value");
  const auto* array = v ? v->as_array() : nullptr;
  if (v && array == nullptr) fail(*v, "\"value\" must be an array of [x, y] pairs");
  std::vector<uint8_t> part;
  if (array)
    for (const toml::node& pair : *array) {
      const auto* xy = pair.as_array();
      if (xy == nullptr || xy->size() != 2) fail(pair, "an [x, y] pair is needed here");
      part.resize(part.size() + 8);
      put_element(part.data() + part.size() - 8, single((*xy)[0]));
      put_element(part.data() + part.size() - 4, single((*xy)[1]));
    }
  adopt_part(p, value, DATA_A_XY, part.size() / 8, part);
}

void build_byte_array(const toml::table& p, EqData& value) {
  const int x = integer_or<int32_t>(p, "x_dim", 1);
  const int y = integer_or<int32_t>(p, "y_dim", 1);
  if (x < 0 || y < 0 || static_cast<int64_t>(x) * y > (64 << 20)) fail(p, "bad x_dim/y_dim");
  const auto bytes = bytes_of(p, static_cast<size_t>(x) * y);
  value.set_byte_array(bytes.data(), x, y);
}

void build_mda(const toml::table& p, EqData& value, int type, const Placeholders& names) {
  const auto dims_n = elements_of(p, "dims");
  if (dims_n.empty() || dims_n.size() > 6) fail(p, "\"dims\" needs 1 to 6 numbers");
  std::vector<int> dims;
  for (const toml::node* dim : dims_n) dims.push_back(integer<int32_t>(*dim));
  const auto n = numbers_of(p, "value");
  const std::string comment = text_or(p, "comment", "", names);
  value.set_mda(static_cast<int>(dims.size()), dims.data(), comment.c_str(), n.data(),
                static_cast<int>(n.size()), type == DATA_MDA_DOUBLE);
}

void build_spectrum(const toml::table& p, EqData& value, int type, const Placeholders& names,
                    int64_t now_sec) {
  std::vector<float> values;
  for (const toml::node* v : elements_of(p, "value")) values.push_back(single(*v));
  const std::string comment = text_or(p, "comment", "", names);
  const float start = single_or(p, "start", 0);
  const float inc = single_or(p, "increment", 1);
  const auto status = integer_or<uint32_t>(p, "status", 0);
  if (type == DATA_SPECTRUM)
    value.set_spectrum(comment.c_str(), now_sec, start, inc, status, values.data(),
                       static_cast<int>(values.size()));
  else
    value.set_gspectrum(
        comment.c_str(), now_sec, start, inc, status, integer_or<int32_t>(p, "groups", 1),
        integer_or<int32_t>(p, "group_size", static_cast<int32_t>(values.size())),
        single_or(p, "group_inc", 0), values.data(), static_cast<int>(values.size()));
}

}  // namespace

std::string expand(std::string text, const Placeholders& names) {
  for (const auto& [key, replacement] : names) {
    const std::string pattern = "{" + key + "}";
    for (size_t at = text.find(pattern); at != std::string::npos;
         at = text.find(pattern, at + replacement.size()))
      text.replace(at, pattern.size(), replacement);
  }
  return text;
}

void build_value(const toml::table& p, Channel& channel, const Placeholders& names,
                 int64_t now_sec) {
  EqData& value = channel.initial();
  const int type = channel.type();
  if (is_numeric_scalar(type)) {
    const toml::node* v = p.get("value");
    put_number(value, type, v, 0);
    return;
  }
  if (is_history_type(type)) {
    build_history(p, channel, now_sec);
    return;
  }
  switch (type) {
    case DATA_STRING:
    case DATA_TEXT:
    case DATA_XML: build_text(p, value, type, names); return;
    case DATA_IIII:
    case DATA_IFFF:
    case DATA_XY:
    case DATA_TTII:
    case DATA_TDS: build_tuple(p, value, type); return;
    case DATA_USTR:
    case DATA_A_USTR:
    case DATA_XYZS:
    case DATA_A_XYZS: build_records(p, value, type, names); return;
    case DATA_A_INT:
    case DATA_A_FLOAT:
    case DATA_A_DOUBLE:
    case DATA_A_SHORT:
    case DATA_A_USHORT:
    case DATA_A_UINT:
    case DATA_A_LONG:
    case DATA_A_ULONG:
    case DATA_A_BOOL: build_number_array(p, value, type); return;
    case DATA_A_XY: build_xy_array(p, value); return;
    case DATA_A_BYTE: build_byte_array(p, value); return;
    case DATA_STRUCTURE: {
      const auto bytes = bytes_of(p, 0);
      value.set_structure(bytes.data(), static_cast<int>(bytes.size()));
      return;
    }
    case DATA_MDA_FLOAT:
    case DATA_MDA_DOUBLE: build_mda(p, value, type, names); return;
    case DATA_SPECTRUM:
    case DATA_GSPECTRUM: build_spectrum(p, value, type, names, now_sec); return;
    case DATA_IMAGE: build_image(p, channel, names, now_sec); return;
    default: fail(p, std::string("type ") + EqData::type_string(type) + " cannot be configured");
  }
}

}  // namespace vantoserver
