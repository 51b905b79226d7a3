#include "attribute_value.h"

#include <cstring>
#include <iterator>
#include <limits>

#include "tango_address.h"
#include "tango_errors.h"
#include "vanto/codec.h"
#include "vanto/errors.h"
#include "wire.h"

namespace vanto::tango {
namespace {

using vanto::Codec;

template <typename T>
bool read_values(Tango::DeviceAttribute& attribute, std::vector<T>& values) {
  return attribute.extract_read(values);
}

// An array of fixed-size elements in one piece: elements added one by one
// would copy the array per element (an image read flat has 60000 and more).
template <typename T>
void set_packed(const std::vector<T>& values, int type, EqData& out) {
  Codec::decode_data(out, type, static_cast<uint32_t>(values.size()),
                     reinterpret_cast<const uint8_t*>(values.data()), values.size() * sizeof(T));
}

template <typename T>
void set_integers(const std::vector<T>& values, bool array, EqData& out) {
  if (!array) {
    out.set_type(DATA_INT);
    out.set_int(static_cast<int>(values.at(0)));
    return;
  }
  std::vector<int32_t> ints(values.begin(), values.end());
  out.set_int_array(ints.data(), static_cast<int>(ints.size()));
}

// 64-bit integers and DevULong go to LONG; a value beyond its range is
// refused rather than cut.
template <typename T>
int set_longs(const std::vector<T>& values, bool array, EqData& out) {
  for (const T value : values) {
    if constexpr (std::is_unsigned_v<T>) {
      if (static_cast<uint64_t>(value) >
          static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        out.init();
        out.error(out_of_range, "value " + std::to_string(value) + " does not fit a LONG");
        return out_of_range;
      }
    }
  }
  if (array) {
    set_packed(std::vector<int64_t>(values.begin(), values.end()), DATA_A_LONG, out);
  } else {
    out.set_type(DATA_LONG);
    out.set_long(static_cast<int64_t>(values.at(0)));
  }
  return 0;
}

template <typename T>
void set_image(const std::vector<T>& pixels, int width, int height, const Tango::TimeVal& date,
               EqData& out) {
  IMH header{};
  header.width = header.aoi_width = width;
  header.height = header.aoi_height = height;
  header.bpp = sizeof(T);
  header.ebitpp = 8 * sizeof(T);
  header.hbin = header.vbin = 1;
  header.length = static_cast<int32_t>(pixels.size() * sizeof(T));
  out.set_image(header, date.tv_sec, date.tv_usec, 0, "",
                reinterpret_cast<const uint8_t*>(pixels.data()), header.length);
}

int unsupported(const std::string& what, EqData& out) {
  out.init();
  out.error(type_error, what + " attributes are not supported");
  return type_error;
}

template <typename T>
int read_integers(Tango::DeviceAttribute& attribute, bool image, bool array, EqData& out) {
  std::vector<T> values;
  if (!read_values(attribute, values) || values.empty()) return -1;
  if (image) {
    set_image(values, attribute.get_dim_x(), attribute.get_dim_y(), attribute.get_date(), out);
  } else if constexpr (sizeof(T) > 4 || std::is_same_v<T, Tango::DevULong>) {
    return set_longs(values, array, out);
  } else {
    set_integers(values, array, out);
  }
  return 0;
}

int read_value(Tango::DeviceAttribute& attribute, const std::vector<std::string>& enum_labels,
               EqData& out) {
  const Tango::AttrDataFormat format = attribute.get_data_format();
  // A value whose format is not told (FMT_UNKNOWN, as in values made in
  // this process) is a spectrum when it has more than one element.
  const bool image = format == Tango::IMAGE;
  const bool array = image || format == Tango::SPECTRUM ||
                     (format == Tango::FMT_UNKNOWN && attribute.get_dim_x() > 1);
  switch (attribute.get_type()) {
    case Tango::DEV_SHORT: return read_integers<Tango::DevShort>(attribute, image, array, out);
    case Tango::DEV_LONG: return read_integers<Tango::DevLong>(attribute, image, array, out);
    case Tango::DEV_USHORT: return read_integers<Tango::DevUShort>(attribute, image, array, out);
    case Tango::DEV_UCHAR: return read_integers<Tango::DevUChar>(attribute, image, array, out);
    case Tango::DEV_ULONG: return read_integers<Tango::DevULong>(attribute, image, array, out);
    case Tango::DEV_LONG64: return read_integers<Tango::DevLong64>(attribute, image, array, out);
    case Tango::DEV_ULONG64: return read_integers<Tango::DevULong64>(attribute, image, array, out);
    case Tango::DEV_FLOAT: {
      std::vector<float> values;
      if (!read_values(attribute, values) || values.empty()) return -1;
      if (array) {
        out.set_float_array(values.data(), static_cast<int>(values.size()));
      } else {
        out.set_type(DATA_FLOAT);
        out.set_float(values[0]);
      }
      return 0;
    }
    case Tango::DEV_DOUBLE: {
      std::vector<double> values;
      if (!read_values(attribute, values) || values.empty()) return -1;
      if (array) {
        out.set_double_array(values.data(), static_cast<int>(values.size()));
      } else {
        out.set_type(DATA_DOUBLE);
        out.set_double(values[0]);
      }
      return 0;
    }
    case Tango::DEV_BOOLEAN: {
      std::vector<bool> values;
      if (!read_values(attribute, values) || values.empty()) return -1;
      if (array) {
        set_packed(std::vector<uint8_t>(values.begin(), values.end()), DATA_A_BOOL, out);
      } else {
        out.set_type(DATA_BOOL);
        out.set_bool(values[0]);
      }
      return 0;
    }
    case Tango::DEV_STRING: {
      std::vector<std::string> values;
      if (!attribute.extract_read(values) || values.empty()) return -1;
      if (!array) {
        out.set_string(values[0]);
        return 0;
      }
      return set_texts(values, DATA_A_STRING, out);
    }
    case Tango::DEV_STATE: {
      if (array) return unsupported("DevState spectrum and image", out);
      Tango::DevState state = Tango::UNKNOWN;
      if (!(attribute >> state)) return -1;
      const auto index = static_cast<size_t>(state);
      out.set_string(index < std::size(Tango::DevStateName) ? Tango::DevStateName[index]
                                                            : "UNKNOWN");
      return 0;
    }
    case Tango::DEV_ENUM: {
      if (array) return unsupported("DevEnum spectrum and image", out);
      Tango::DevShort index = 0;
      if (!(attribute >> index)) return -1;
      out.set_string(index >= 0 && static_cast<size_t>(index) < enum_labels.size()
                         ? enum_labels[static_cast<size_t>(index)]
                         : std::to_string(index));
      return 0;
    }
    default: return unsupported("Tango type " + std::to_string(attribute.get_type()), out);
  }
}

}  // namespace

int set_texts(const std::vector<std::string>& texts, int type, EqData& out) {
  // Laid out in one pass: records added one by one would copy the list per
  // record (a Tango string spectrum may hold thousands).
  std::vector<wire::UstrItem> items(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) items[i].text = texts[i];
  const std::vector<uint8_t> part = wire::ustr_part(items);
  return Codec::decode_data(out, type, static_cast<uint32_t>(items.size()), part.data(),
                            part.size());
}

int to_eqdata(Tango::DeviceAttribute& attribute, const std::vector<std::string>& enum_labels,
              EqData& out) {
  out.init();
  try {
    if (attribute.has_failed()) return fail(attribute.get_err_stack(), out);
    if (attribute.get_quality() == Tango::ATTR_INVALID) {
      out.error(ill_serv, "attribute " + attribute.get_name() + ": quality INVALID, no value");
      return out.error();
    }
    const int code = read_value(attribute, enum_labels, out);
    if (code < 0) {
      out.init();
      out.error(ill_serv, "attribute " + attribute.get_name() + ": no value in the reply");
      return out.error();
    }
    if (code != 0) return code;
    const Tango::TimeVal& date = attribute.get_date();
    out.set_time(date.tv_sec, static_cast<uint32_t>(date.tv_usec));
    return 0;
  } catch (const Tango::DevFailed& e) {
    return fail(e.errors, out);
  }
}

namespace {

// One element of in as T; false when it does not fit T.
template <typename T>
bool element(const EqData& in, int index, T* value) {
  if constexpr (std::is_floating_point_v<T>) {
    *value = static_cast<T>(in.get_double(index));
    return true;
  } else if constexpr (std::is_same_v<T, bool>) {
    *value = in.get_bool(index);
    return true;
  } else if constexpr (std::is_unsigned_v<T> && sizeof(T) == 8) {
    *value = in.get_ulong(index);
    return true;
  } else {
    const int64_t number = in.get_long(index);
    if (number < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
        (number > 0 &&
         static_cast<uint64_t>(number) > static_cast<uint64_t>(std::numeric_limits<T>::max())))
      return false;
    *value = static_cast<T>(number);
    return true;
  }
}

template <typename T>
int insert(const EqData& in, bool array, Tango::DeviceAttribute& value, std::string& why) {
  const int count = array ? in.array_length() : 1;
  std::vector<T> values(static_cast<size_t>(count > 0 ? count : 1));
  for (int i = 0; i < static_cast<int>(values.size()); ++i) {
    T one{};
    if (!element(in, i, &one)) {
      why = "value " + std::to_string(in.get_long(i)) + " out of the attribute's range";
      return out_of_range;
    }
    values[static_cast<size_t>(i)] = one;
  }
  if (array) {
    value << values;
  } else {
    T first = values[0];  // not a bit reference for bool
    value << first;
  }
  return 0;
}

std::string element_text(const EqData& in, int index) {
  std::vector<char> buffer(4096);
  in.get_string(index, buffer.data(), static_cast<int>(buffer.size()));
  return buffer.data();
}

}  // namespace

int from_eqdata(const EqData& in, const Tango::AttributeInfoEx& info, Tango::DeviceAttribute& value,
                std::string& why) {
  if (info.data_format == Tango::IMAGE) {
    why = "writing image attributes is not supported";
    return type_error;
  }
  const bool array = info.data_format == Tango::SPECTRUM;
  std::string name = info.name;
  value.set_name(name);
  switch (info.data_type) {
    case Tango::DEV_SHORT: return insert<Tango::DevShort>(in, array, value, why);
    case Tango::DEV_LONG: return insert<Tango::DevLong>(in, array, value, why);
    case Tango::DEV_USHORT: return insert<Tango::DevUShort>(in, array, value, why);
    case Tango::DEV_UCHAR: return insert<Tango::DevUChar>(in, array, value, why);
    case Tango::DEV_ULONG: return insert<Tango::DevULong>(in, array, value, why);
    case Tango::DEV_LONG64: return insert<Tango::DevLong64>(in, array, value, why);
    case Tango::DEV_ULONG64: return insert<Tango::DevULong64>(in, array, value, why);
    case Tango::DEV_FLOAT: return insert<Tango::DevFloat>(in, array, value, why);
    case Tango::DEV_DOUBLE: return insert<Tango::DevDouble>(in, array, value, why);
    case Tango::DEV_BOOLEAN: return insert<bool>(in, array, value, why);
    case Tango::DEV_STRING: {
      if (!array) {
        std::string text = in.get_string();
        value << text;
        return 0;
      }
      std::vector<std::string> texts;
      for (int i = 0; i < in.array_length(); ++i) texts.push_back(element_text(in, i));
      value << texts;
      return 0;
    }
    case Tango::DEV_ENUM: {
      const std::string label = in.get_string();
      for (size_t i = 0; i < info.enum_labels.size(); ++i) {
        if (lower(info.enum_labels[i]) == lower(label)) {
          value << static_cast<Tango::DevShort>(i);
          return 0;
        }
      }
      why = "'" + label + "' is none of the attribute's labels";
      return ill_parameter;
    }
    default:
      why = "writing Tango type " + std::to_string(info.data_type) + " is not supported";
      return type_error;
  }
}

}  // namespace vanto::tango
