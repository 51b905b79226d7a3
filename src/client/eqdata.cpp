// EqData core: lifetime, type, error, time, event id, counts and numbers.
#include "vanto/eqdata.h"

#include <cmath>
#include <limits>
#include <type_traits>

#include "vanto/codec.h"
#include "vanto/errors.h"
#include "wire.h"

namespace vanto {

using wire::load;
using wire::Shape;
using wire::shape_of;

EqData::EqData() = default;

EqData::EqData(EqDataBlock* block, bool borrowed) {
  if (block == nullptr) return;
  blk_ = *block;
  borrowed_ = true;
  if (!borrowed) {
    // Take a copy of everything the block refers to.
    uint32_t count = 0;
    const std::vector<uint8_t> part = wire::encode_block(blk_, &count);
    const int32_t err = blk_.error;
    adopt(blk_.data_u.data_sel, count, part);
    blk_.error = err;
    if (err != 0) error_text_ = get_error_string(err);
  }
}

EqData::EqData(EqData&& other) noexcept
    : blk_(other.blk_),
      store_(std::move(other.store_)),  // the heap block moves, pointers stay valid
      borrowed_(other.borrowed_),
      error_text_(std::move(other.error_text_)) {
  other.blk_ = EqDataBlock{};
  other.store_.clear();
  other.borrowed_ = false;
  other.error_text_.clear();
}

EqData& EqData::operator=(EqData&& other) noexcept {
  if (this != &other) {
    blk_ = other.blk_;
    store_ = std::move(other.store_);
    borrowed_ = other.borrowed_;
    error_text_ = std::move(other.error_text_);
    other.blk_ = EqDataBlock{};
    other.store_.clear();
    other.borrowed_ = false;
    other.error_text_.clear();
  }
  return *this;
}

EqData::~EqData() = default;

void EqData::init() {
  blk_ = EqDataBlock{};
  store_.clear();
  borrowed_ = false;
  error_text_.clear();
}

void EqData::copy_from(const EqData* other) {
  if (other == nullptr || other == this) return;
  uint32_t count = 0;
  const std::vector<uint8_t> part = wire::encode_block(other->blk_, &count);
  init();
  adopt(other->type(), count, part);
  blk_.tm = other->blk_.tm;
  blk_.tm_usec = other->blk_.tm_usec;
  blk_.mp_lo = other->blk_.mp_lo;
  blk_.mp_hi = other->blk_.mp_hi;
  blk_.error = other->blk_.error;
  error_text_ = other->error_text_;
}

int EqData::adopt(int type, uint32_t count, const std::vector<uint8_t>& part) {
  return Codec::decode_data(*this, type, count, part.data(), part.size());
}

void EqData::rebind() {
  std::string why;
  auto* data = reinterpret_cast<uint8_t*>(store_.data());
  const uint32_t count = wire::count_of(blk_);
  if (!wire::bind(blk_.data_u, type(), count, data, store_.size() * 8, &why)) clear_value();
}

void EqData::clear_value() {
  const int t = type();
  blk_.data_u = EqDataBlock::DataU{};
  blk_.data_u.data_sel = t;
  store_.clear();
  borrowed_ = false;
}

void EqData::set_scalar(int t, const void* bytes) {
  blk_.data_u = EqDataBlock::DataU{};
  blk_.data_u.data_sel = t;
  std::memcpy(&blk_.data_u.d_int, bytes, wire::scalar_size(t));
  store_.clear();
  borrowed_ = false;
  blk_.error = 0;
  error_text_.clear();
}

void EqData::set_type(int t) {
  blk_.error = 0;
  error_text_.clear();
  switch (shape_of(t)) {
    case Shape::scalar: {
      const uint8_t zeros[32] = {};
      set_scalar(t, zeros);
      return;
    }
    case Shape::text: adopt(t, 1, wire::text_part("")); return;
    case Shape::spectrum: adopt(t, 1, wire::spectrum_part("", 0, 0, 0, 0, nullptr, 0)); return;
    case Shape::gspectrum:
      adopt(t, 1, wire::gspectrum_part(GSpectrumRec{}, "", nullptr, 0));
      return;
    case Shape::image: adopt(t, 1, wire::image_part(IMH{}, 0, 0, 0, "", nullptr, 0)); return;
    case Shape::bytes2d: adopt(t, 0, wire::bytes2d_part(0, 0, 0, 0, 0, nullptr)); return;
    case Shape::mda:
      adopt(t, 1, wire::mda_part(0, nullptr, "", nullptr, 0, t == DATA_MDA_DOUBLE));
      return;
    case Shape::xyzs:
      if (t == DATA_XYZS) {
        adopt(t, 1, wire::xyzs_part({wire::XyzsItem{}}));
        return;
      }
      [[fallthrough]];
    default:
      // Arrays start empty; unknown types carry only their id.
      store_.clear();
      borrowed_ = false;
      blk_.data_u = EqDataBlock::DataU{};
      blk_.data_u.data_sel = t;
  }
}

const char* EqData::type_string(int t) { return wire::type_name(t); }

void EqData::error(int code, const std::string& text) {
  clear_value();
  blk_.error = code;
  error_text_ = text.empty() && code != 0 ? get_error_string(code) : text;
}

void EqData::set_time(int64_t seconds, uint32_t usec) {
  blk_.tm = seconds;
  blk_.tm_usec = usec;
}

int64_t EqData::get_event_id() const {
  return static_cast<int64_t>((uint64_t(blk_.mp_hi) << 32) | blk_.mp_lo);
}

void EqData::set_event_id(int64_t id) {
  blk_.mp_lo = static_cast<uint32_t>(uint64_t(id));
  blk_.mp_hi = static_cast<uint32_t>(uint64_t(id) >> 32);
}

int EqData::length() const {
  switch (shape_of(type())) {
    case Shape::empty:
    case Shape::unknown: return 0;
    case Shape::scalar: return 1;
    case Shape::text: return blk_.data_u.d_char.ptr ? int(blk_.data_u.d_char.length) : 0;
    default: return static_cast<int>(std::min<uint32_t>(wire::count_of(blk_), INT32_MAX));
  }
}

int EqData::array_length() const { return length(); }

// --- numbers ------------------------------------------------------------------

namespace {

// One element's number with the kind it was read as, so 64-bit integers keep
// every digit.
struct Num {
  enum Kind { sint, uint, real } kind = sint;
  int64_t i = 0;
  uint64_t u = 0;
  double f = 0;
  static Num of_int(int64_t v) {
    Num n;
    n.kind = sint;
    n.i = v;
    return n;
  }
  static Num of_uint(uint64_t v) {
    Num n;
    n.kind = uint;
    n.u = v;
    return n;
  }
  static Num of_real(double v) {
    Num n;
    n.kind = real;
    n.f = v;
    return n;
  }
};

template <typename T>
Num num_of(T v) {
  if constexpr (std::is_floating_point_v<T>) {
    return Num::of_real(v);
  } else if constexpr (std::is_signed_v<T>) {
    return Num::of_int(v);
  } else {
    return Num::of_uint(v);
  }
}

// Converts without undefined behaviour: reals are clamped into an integer
// type's range (NaN gives 0) and into a float's range.
template <typename T>
T num_to(const Num& n) {
  if constexpr (std::is_same_v<T, bool>) {
    return n.kind == Num::real ? n.f != 0 : n.kind == Num::sint ? n.i != 0 : n.u != 0;
  } else if constexpr (std::is_floating_point_v<T>) {
    double d = n.kind == Num::real ? n.f : n.kind == Num::sint ? double(n.i) : double(n.u);
    if constexpr (std::is_same_v<T, float>) {
      constexpr double fmax = std::numeric_limits<float>::max();
      if (std::isfinite(d) && std::fabs(d) > fmax) {
        return d > 0 ? std::numeric_limits<float>::infinity()
                     : -std::numeric_limits<float>::infinity();
      }
    }
    return static_cast<T>(d);
  } else {
    if (n.kind == Num::real) {
      if (std::isnan(n.f)) return 0;
      if (n.f <= double(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
      if (n.f >= double(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
      return static_cast<T>(n.f);
    }
    return n.kind == Num::sint ? static_cast<T>(n.i) : static_cast<T>(n.u);
  }
}

// True when n survives the trip through T unchanged.
template <typename T>
bool holds(const Num& n) {
  const T t = num_to<T>(n);
  if (n.kind == Num::real) {
    if (std::isnan(n.f)) return std::is_floating_point_v<T>;
    if constexpr (std::is_integral_v<T>) {
      // Clamped values are not held; 2^63 and 2^64 compare equal after rounding.
      if (n.f >= 9223372036854775807.0 || n.f < -9223372036854775807.0) return false;
    }
    return double(t) == n.f;
  }
  if constexpr (std::is_floating_point_v<T>) {
    const double d = t;
    if (n.kind == Num::sint) {
      return d >= -9223372036854775808.0 && d < 9223372036854775808.0 && int64_t(d) == n.i;
    }
    return d >= 0 && d < 18446744073709551616.0 && uint64_t(d) == n.u;
  } else {
    const Num back = num_of(t);
    const bool neg_n = n.kind == Num::sint && n.i < 0;
    const bool neg_b = back.kind == Num::sint && back.i < 0;
    if (neg_n != neg_b) return false;
    if (neg_n) return n.i == back.i;
    const uint64_t a = n.kind == Num::sint ? uint64_t(n.i) : n.u;
    const uint64_t b = back.kind == Num::sint ? uint64_t(back.i) : back.u;
    return a == b;
  }
}

// Number of the element of type t at p.
Num load_elem(int t, const uint8_t* p) {
  switch (t) {
    case DATA_A_SHORT:
    case DATA_SHORT: return num_of(load<int16_t>(p));
    case DATA_A_USHORT:
    case DATA_USHORT: return num_of(load<uint16_t>(p));
    case DATA_A_INT:
    case DATA_INT:
    case DATA_BOOL: return num_of(load<int32_t>(p));
    case DATA_A_UINT:
    case DATA_UINT: return num_of(load<uint32_t>(p));
    case DATA_A_LONG:
    case DATA_LONG: return num_of(load<int64_t>(p));
    case DATA_A_ULONG:
    case DATA_ULONG: return num_of(load<uint64_t>(p));
    case DATA_A_FLOAT:
    case DATA_FLOAT: return num_of(load<float>(p));
    case DATA_A_DOUBLE:
    case DATA_DOUBLE: return num_of(load<double>(p));
    default: return num_of(load<uint8_t>(p));  // byte elements
  }
}

void store_elem(int t, uint8_t* p, const Num& n) {
  switch (t) {
    case DATA_A_SHORT:
    case DATA_SHORT: wire::store(p, num_to<int16_t>(n)); break;
    case DATA_A_USHORT:
    case DATA_USHORT: wire::store(p, num_to<uint16_t>(n)); break;
    case DATA_A_INT:
    case DATA_INT: wire::store(p, num_to<int32_t>(n)); break;
    case DATA_BOOL: wire::store(p, int32_t(num_to<bool>(n))); break;
    case DATA_A_UINT:
    case DATA_UINT: wire::store(p, num_to<uint32_t>(n)); break;
    case DATA_A_LONG:
    case DATA_LONG: wire::store(p, num_to<int64_t>(n)); break;
    case DATA_A_ULONG:
    case DATA_ULONG: wire::store(p, num_to<uint64_t>(n)); break;
    case DATA_A_FLOAT:
    case DATA_FLOAT: wire::store(p, num_to<float>(n)); break;
    case DATA_A_DOUBLE:
    case DATA_DOUBLE: wire::store(p, num_to<double>(n)); break;
    case DATA_A_BOOL: wire::store(p, uint8_t(num_to<bool>(n))); break;
    default: wire::store(p, num_to<uint8_t>(n)); break;
  }
}

bool holds_in(int t, const Num& n) {
  switch (t) {
    case DATA_SHORT:
    case DATA_A_SHORT: return holds<int16_t>(n);
    case DATA_USHORT:
    case DATA_A_USHORT: return holds<uint16_t>(n);
    case DATA_INT:
    case DATA_A_INT: return holds<int32_t>(n);
    case DATA_UINT:
    case DATA_A_UINT: return holds<uint32_t>(n);
    case DATA_LONG:
    case DATA_A_LONG: return holds<int64_t>(n);
    case DATA_ULONG:
    case DATA_A_ULONG: return holds<uint64_t>(n);
    case DATA_FLOAT:
    case DATA_A_FLOAT: return holds<float>(n);
    case DATA_DOUBLE:
    case DATA_A_DOUBLE: return holds<double>(n);
    case DATA_BOOL:
    case DATA_A_BOOL: return holds<bool>(n);
    default: return false;
  }
}

// Offset of the value inside a time-stamped element.
constexpr size_t kTsValue = sizeof(TSStamp);

// Largest array a setter grows to (elements); an index beyond it is refused.
constexpr int kMaxGrow = 1 << 24;

// The number of element index of d, whatever its type; false when the
// element does not exist or is no number.
bool read_num(const EqData& d, int index, Num* out) {
  const EqDataBlock& blk = *d.data_block();
  if (index < 0) return false;
  const int t = d.type();
  const auto& u = blk.data_u;
  const auto* scalar = reinterpret_cast<const uint8_t*>(&u.d_int);
  switch (t) {
    case DATA_INT:
    case DATA_FLOAT:
    case DATA_DOUBLE:
    case DATA_SHORT:
    case DATA_USHORT:
    case DATA_LONG:
    case DATA_ULONG:
    case DATA_UINT:
    case DATA_BOOL:
      if (index != 0) return false;
      *out = load_elem(t, scalar);
      return true;
    case DATA_IIII:
      if (index > 3) return false;
      *out = num_of(u.d_iiii.i[index]);
      return true;
    case DATA_IFFF:
      if (index > 3) return false;
      *out = index == 0 ? num_of(u.d_ifff.i) : num_of(u.d_ifff.f[index - 1]);
      return true;
    case DATA_XY:
      if (index > 1) return false;
      *out = num_of(index == 0 ? u.d_xy.x : u.d_xy.y);
      return true;
    case DATA_TTII:
      if (index > 3) return false;
      *out = index == 0   ? num_of(u.d_ttii.tm1)
             : index == 1 ? num_of(u.d_ttii.tm2)
             : index == 2 ? num_of(u.d_ttii.i1)
                          : num_of(u.d_ttii.i2);
      return true;
    case DATA_TDS:
      if (index != 0) return false;
      *out = num_of(u.d_tds.value);
      return true;
    case DATA_STRING:
    case DATA_TEXT: {
      // A text that is a number reads as that number.
      if (index != 0) return false;
      EqData probe;
      probe.set_type(DATA_DOUBLE);
      if (probe.set_from_string(wire::text_of(blk)) != 0) return false;
      *out = num_of(probe.get_double());
      return true;
    }
    default: break;
  }
  const uint32_t count = wire::count_of(blk);
  if (uint32_t(index) >= count) return false;
  switch (shape_of(t)) {
    case Shape::fixed_array: {
      const auto* base = static_cast<const uint8_t*>(u.d_array.ptr);
      const size_t esize = wire::element_size(t);
      const uint8_t* e = base + size_t(index) * esize;
      if (t == DATA_A_TDS) {
        *out = num_of(load<float>(e + offsetof(TDS, value)));
      } else if (wire::stamped_value_type(t) != 0) {
        *out = load_elem(wire::stamped_value_type(t), e + kTsValue);
      } else if (t == DATA_A_XY || t == DATA_A_TS_XY || t == DATA_A_TS_IIII ||
                 t == DATA_A_TS_IFFF) {
        return false;  // records, not numbers
      } else {
        *out = load_elem(t, e);
      }
      return true;
    }
    case Shape::spectrum: *out = num_of(load<float>(u.d_spectrum.values + index)); return true;
    case Shape::gspectrum: *out = num_of(load<float>(u.d_gspectrum.values + index)); return true;
    case Shape::mda: {
      const auto* v = static_cast<const uint8_t*>(u.d_mda.values.ptr);
      *out = t == DATA_MDA_DOUBLE ? num_of(load<double>(v + size_t(index) * 8))
                                  : num_of(load<float>(v + size_t(index) * 4));
      return true;
    }
    case Shape::image:
      *out = num_of(static_cast<const uint8_t*>(u.d_image.pixels.ptr)[index]);
      return true;
    case Shape::bytes2d:
      *out = num_of(static_cast<const uint8_t*>(u.d_byte_struct.bytes.ptr)[index]);
      return true;
    default: return false;
  }
}

}  // namespace

// Writes numbers into any type's elements; a friend of EqData, so that the
// public header does not name Num.
struct ElementNumbers {
  static void write(EqData& d, int index, const Num& value, int scalar_type, int array_type);
};

// Writes element index of d if its current type can hold value; otherwise
// the value becomes scalar_type (index 0) or array_type (index > 0).
void ElementNumbers::write(EqData& d, int index, const Num& value, int scalar_type,
                           int array_type) {
  if (index < 0 || index >= kMaxGrow) return;
  const int t = d.type();
  auto& u = d.blk_.data_u;
  const bool plain_scalar = shape_of(t) == Shape::scalar && wire::scalar_size(t) > 0 &&
                            t != DATA_IIII && t != DATA_IFFF && t != DATA_XY && t != DATA_TTII &&
                            t != DATA_TDS;
  if (plain_scalar && index == 0 && holds_in(t, value)) {
    uint8_t bytes[8] = {};
    store_elem(t, bytes, value);
    d.set_scalar(t, bytes);
    return;
  }
  if (t == DATA_IIII && index < 4) {
    IIII r = u.d_iiii;
    r.i[index] = num_to<int32_t>(value);
    d.set_scalar(t, &r);
    return;
  }
  if (t == DATA_IFFF && index < 4) {
    IFFF r = u.d_ifff;
    if (index == 0) {
      r.i = num_to<int32_t>(value);
    } else {
      r.f[index - 1] = num_to<float>(value);
    }
    d.set_scalar(t, &r);
    return;
  }
  if (t == DATA_XY && index < 2) {
    XY r = u.d_xy;
    (index == 0 ? r.x : r.y) = num_to<float>(value);
    d.set_scalar(t, &r);
    return;
  }
  if (t == DATA_SPECTRUM) {
    const SpectrumView s = *d.spectrum();
    std::vector<float> values = s.values();
    if (size_t(index) >= values.size()) values.resize(size_t(index) + 1, 0.0f);
    values[size_t(index)] = num_to<float>(value);
    d.set_spectrum(std::string(s.comment).c_str(), s.time, s.start, s.increment, s.status,
                   values.data(), int(values.size()));
    return;
  }
  int target = t;
  if (!wire::is_numeric_array(t)) {
    if (index == 0) {
      uint8_t bytes[8] = {};
      store_elem(scalar_type, bytes, value);
      d.set_scalar(scalar_type, bytes);
      return;
    }
    target = array_type;
  }
  const size_t esize = wire::element_size(target);
  const uint32_t count = target == t ? wire::count_of(d.blk_) : 0;
  std::vector<uint8_t> part(size_t(count) * esize);
  if (count > 0) std::memcpy(part.data(), u.d_array.ptr, part.size());
  if (size_t(index) >= count) part.resize((size_t(index) + 1) * esize, 0);
  store_elem(target, part.data() + size_t(index) * esize, value);
  const uint32_t new_count = static_cast<uint32_t>(part.size() / esize);
  d.adopt(target, new_count, part);
}

int EqData::get_int(int index) const {
  Num n;
  return read_num(*this, index, &n) ? num_to<int32_t>(n) : 0;
}
float EqData::get_float(int index) const {
  Num n;
  return read_num(*this, index, &n) ? num_to<float>(n) : 0.0f;
}
double EqData::get_double(int index) const {
  Num n;
  return read_num(*this, index, &n) ? num_to<double>(n) : 0.0;
}
int64_t EqData::get_long(int index) const {
  Num n;
  return read_num(*this, index, &n) ? num_to<int64_t>(n) : 0;
}
uint32_t EqData::get_uint(int index) const {
  Num n;
  return read_num(*this, index, &n) ? num_to<uint32_t>(n) : 0;
}
uint64_t EqData::get_ulong(int index) const {
  Num n;
  return read_num(*this, index, &n) ? num_to<uint64_t>(n) : 0;
}
int16_t EqData::get_short(int index) const {
  Num n;
  return read_num(*this, index, &n) ? num_to<int16_t>(n) : 0;
}
uint16_t EqData::get_ushort(int index) const {
  Num n;
  return read_num(*this, index, &n) ? num_to<uint16_t>(n) : 0;
}
bool EqData::get_bool(int index) const {
  Num n;
  return read_num(*this, index, &n) ? num_to<bool>(n) : false;
}

template <>
int EqData::get_value<int>() const {
  return get_int(0);
}
template <>
float EqData::get_value<float>() const {
  return get_float(0);
}
template <>
double EqData::get_value<double>() const {
  return get_double(0);
}
template <>
long EqData::get_value<long>() const {
  return get_long(0);
}
template <>
unsigned EqData::get_value<unsigned>() const {
  return get_uint(0);
}
template <>
bool EqData::get_value<bool>() const {
  return get_bool(0);
}
template <>
short EqData::get_value<short>() const {
  return get_short(0);
}
template <>
unsigned short EqData::get_value<unsigned short>() const {
  return get_ushort(0);
}
template <>
unsigned long EqData::get_value<unsigned long>() const {
  return get_ulong(0);
}
template <>
long long EqData::get_value<long long>() const {
  return get_long(0);
}
template <>
unsigned long long EqData::get_value<unsigned long long>() const {
  return get_ulong(0);
}

void EqData::set_int(int value, int index) {
  ElementNumbers::write(*this, index, num_of(value), DATA_INT, DATA_A_INT);
}
void EqData::set_float(float value, int index) {
  ElementNumbers::write(*this, index, num_of(value), DATA_FLOAT, DATA_A_FLOAT);
}
void EqData::set_double(double value, int index) {
  ElementNumbers::write(*this, index, num_of(value), DATA_DOUBLE, DATA_A_DOUBLE);
}
void EqData::set_long(int64_t value, int index) {
  ElementNumbers::write(*this, index, num_of(value), DATA_LONG, DATA_A_LONG);
}
void EqData::set_uint(uint32_t value, int index) {
  ElementNumbers::write(*this, index, num_of(value), DATA_UINT, DATA_A_UINT);
}
void EqData::set_ulong(uint64_t value, int index) {
  ElementNumbers::write(*this, index, num_of(value), DATA_ULONG, DATA_A_ULONG);
}
void EqData::set_short(int16_t value, int index) {
  ElementNumbers::write(*this, index, num_of(value), DATA_SHORT, DATA_A_SHORT);
}
void EqData::set_ushort(uint16_t value, int index) {
  ElementNumbers::write(*this, index, num_of(value), DATA_USHORT, DATA_A_USHORT);
}
void EqData::set_bool(bool value, int index) {
  ElementNumbers::write(*this, index, num_of(int32_t(value)), DATA_BOOL, DATA_A_BOOL);
}

void EqData::set_int_array(const int32_t* values, int count) {
  count = values == nullptr ? 0 : std::max(count, 0);
  const auto* p = reinterpret_cast<const uint8_t*>(values);
  adopt(DATA_A_INT, uint32_t(count), std::vector<uint8_t>(p, p + size_t(count) * 4));
}
void EqData::set_float_array(const float* values, int count) {
  count = values == nullptr ? 0 : std::max(count, 0);
  const auto* p = reinterpret_cast<const uint8_t*>(values);
  adopt(DATA_A_FLOAT, uint32_t(count), std::vector<uint8_t>(p, p + size_t(count) * 4));
}
void EqData::set_double_array(const double* values, int count) {
  count = values == nullptr ? 0 : std::max(count, 0);
  const auto* p = reinterpret_cast<const uint8_t*>(values);
  adopt(DATA_A_DOUBLE, uint32_t(count), std::vector<uint8_t>(p, p + size_t(count) * 8));
}

}  // namespace vanto
