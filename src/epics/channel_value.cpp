#include "channel_value.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "vanto/codec.h"
#include "vanto/errors.h"
#include "wire.h"

namespace vanto::epics {
namespace {

// The seconds between the POSIX epoch and Channel Access's (1990).
constexpr int64_t kEpicsEpoch = 631152000;

template <typename Time>
void set_stamp(const Time& value, EqData& out) {
  out.set_time(static_cast<int64_t>(value.stamp.secPastEpoch) + kEpicsEpoch,
               value.stamp.nsec / 1000);
}

int set_texts(const dbr_string_t* texts, unsigned long count, EqData& out) {
  // Laid out in one pass: records added one by one would copy the list per
  // record.
  std::vector<wire::UstrItem> items(count);
  for (unsigned long i = 0; i < count; ++i)
    items[i].text = std::string(texts[i], strnlen(texts[i], MAX_STRING_SIZE));
  const std::vector<uint8_t> part = wire::ustr_part(items);
  return Codec::decode_data(out, DATA_A_STRING, static_cast<uint32_t>(count), part.data(),
                            part.size());
}

std::string severity_text(dbr_short_t status) {
  const bool known = status >= 0 && status < ALARM_NSTATUS;
  return std::string("severity INVALID (") +
         (known ? epicsAlarmConditionStrings[status] : std::to_string(status).c_str()) +
         "), no value";
}

template <typename T, typename Time>
const T* values_of(const void* value) {
  return &static_cast<const Time*>(value)->value;
}

// The element range that a native integer type holds.
bool fits(chtype field_type, int64_t value) {
  switch (field_type) {
    case DBF_CHAR: return value >= 0 && value <= std::numeric_limits<dbr_char_t>::max();
    case DBF_SHORT:
      return value >= std::numeric_limits<dbr_short_t>::min() &&
             value <= std::numeric_limits<dbr_short_t>::max();
    default:
      return value >= std::numeric_limits<dbr_long_t>::min() &&
             value <= std::numeric_limits<dbr_long_t>::max();
  }
}

template <typename T>
void append(std::vector<char>& bytes, const T& value) {
  const auto* p = reinterpret_cast<const char*>(&value);
  bytes.insert(bytes.end(), p, p + sizeof(T));
}

int put_text(const std::string& text, std::vector<char>& bytes, std::string& why) {
  if (text.size() >= MAX_STRING_SIZE) {
    why = "a text of " + std::to_string(text.size()) + " characters, the channel takes at most " +
          std::to_string(MAX_STRING_SIZE - 1);
    return out_of_range;
  }
  dbr_string_t element{};
  std::memcpy(element, text.data(), text.size());
  append(bytes, element);
  return 0;
}

std::string element_text(const EqData& in, int index) {
  std::vector<char> buffer(4096);
  in.get_string(index, buffer.data(), static_cast<int>(buffer.size()));
  return buffer.data();
}

}  // namespace

chtype read_type(chtype field_type, unsigned long element_count) {
  switch (field_type) {
    case DBF_STRING:
    case DBF_ENUM: return DBR_TIME_STRING;
    case DBF_CHAR: return element_count > 1 ? DBR_TIME_CHAR : DBR_TIME_LONG;
    case DBF_FLOAT: return DBR_TIME_FLOAT;
    case DBF_DOUBLE: return DBR_TIME_DOUBLE;
    default: return DBR_TIME_LONG;
  }
}

int to_eqdata(const std::string& pv, chtype type, unsigned long count, const void* value,
              bool array, EqData& out) {
  out.init();
  // Every DBR_TIME_* value begins with status, severity and stamp.
  const auto* head = static_cast<const dbr_time_string*>(value);
  const int length = static_cast<int>(count);
  switch (type) {
    case DBR_TIME_STRING: {
      const dbr_string_t* texts = values_of<dbr_string_t, dbr_time_string>(value);
      if (array) {
        set_texts(texts, count, out);
      } else {
        out.set_string(std::string(texts[0], strnlen(texts[0], MAX_STRING_SIZE)));
      }
      break;
    }
    case DBR_TIME_CHAR: {
      const dbr_char_t* bytes = values_of<dbr_char_t, dbr_time_char>(value);
      out.set_byte_array(bytes, length, 1);
      break;
    }
    case DBR_TIME_FLOAT: {
      const dbr_float_t* floats = values_of<dbr_float_t, dbr_time_float>(value);
      if (array) {
        out.set_float_array(floats, length);
      } else {
        out.set_type(DATA_FLOAT);
        out.set_float(floats[0]);
      }
      break;
    }
    case DBR_TIME_DOUBLE: {
      const dbr_double_t* doubles = values_of<dbr_double_t, dbr_time_double>(value);
      if (array) {
        out.set_double_array(doubles, length);
      } else {
        out.set_type(DATA_DOUBLE);
        out.set_double(doubles[0]);
      }
      break;
    }
    case DBR_TIME_LONG: {
      const dbr_long_t* longs = values_of<dbr_long_t, dbr_time_long>(value);
      if (array) {
        out.set_int_array(longs, length);
      } else {
        out.set_type(DATA_INT);
        out.set_int(longs[0]);
      }
      break;
    }
    default:
      out.error(type_error,
                "Channel Access type " + std::to_string(type) + " of " + pv + " is not supported");
      return out.error();
  }
  // A value of severity INVALID is no value, but the failed result keeps its
  // type: a writer that is told to go on after a failed read (a leading "@")
  // still converts its text by it.
  if (head->severity >= INVALID_ALARM) {
    out.error(ill_serv, severity_text(head->status));
    return out.error();
  }
  set_stamp(*head, out);
  return 0;
}

// Channel Access shows an unsigned short field as DBF_LONG, a signed or
// unsigned char as DBF_CHAR, an unsigned long or 64-bit integer as
// DBF_DOUBLE: a single number for such a channel goes as text, which the
// server parses in the field's own type and refuses beyond its range, where
// a binary value would be stored wrapped (70000 as 4464).
int from_eqdata(const EqData& in, chtype field_type, unsigned long element_count, PutValue& put,
                std::string& why) {
  put = PutValue{};
  const bool array = element_count > 1;
  // A text is one value: its length is no element count.
  const bool text = in.type() == DATA_STRING || in.type() == DATA_TEXT || in.type() == DATA_XML;
  put.count = array && !text ? static_cast<unsigned long>(std::max(in.array_length(), 1)) : 1;
  if (field_type == DBF_CHAR && array) {
    // A byte array, a text, or numbers written into a character waveform.
    put.type = DBR_CHAR;
    int x = 0, y = 0, x_offset = 0, y_offset = 0, option = 0;
    uint8_t* bytes = nullptr;
    if (in.get_byte(&x, &y, &x_offset, &y_offset, &option, &bytes) && bytes != nullptr) {
      put.bytes.assign(bytes, bytes + static_cast<size_t>(std::max(x, 0)) * std::max(y, 1));
    } else if (text) {
      const std::string chars = in.get_string();
      put.bytes.assign(chars.begin(), chars.end());
      put.bytes.push_back('\0');
    } else {
      for (unsigned long i = 0; i < put.count; ++i) {
        const int64_t value = in.get_long(static_cast<int>(i));
        if (!fits(DBF_CHAR, value)) {
          why = "value " + std::to_string(value) + " out of the channel's range";
          return out_of_range;
        }
        put.bytes.push_back(static_cast<char>(value));
      }
    }
    put.count = put.bytes.size();
  }
  if (put.count > element_count) {
    why = std::to_string(put.count) + " values, the channel holds at most " +
          std::to_string(element_count);
    return out_of_range;
  }
  if (field_type == DBF_CHAR && array) return 0;
  for (unsigned long i = 0; i < put.count; ++i) {
    const int index = static_cast<int>(i);
    switch (field_type) {
      case DBF_STRING:
      case DBF_ENUM:
        // Channel Access turns a label into its enum value.
        put.type = DBR_STRING;
        if (const int code = put_text(array && !text ? element_text(in, index) : in.get_string(),
                                      put.bytes, why);
            code != 0)
          return code;
        break;
      case DBF_FLOAT:
      case DBF_DOUBLE: {
        put.type = DBR_DOUBLE;
        const double value = in.get_double(index);
        // A NaN puts an ao record into the INVALID alarm UDF, after which no
        // read gives a value (nor the type a write needs).
        if (!std::isfinite(value)) {
          why = "value " + element_text(in, index) + " is no finite number";
          return out_of_range;
        }
        if (!array && field_type == DBF_DOUBLE) {
          put.type = DBR_STRING;
          char digits[32];
          std::snprintf(digits, sizeof digits, "%.17g", value);
          if (const int code = put_text(digits, put.bytes, why); code != 0) return code;
          break;
        }
        append(put.bytes, static_cast<dbr_double_t>(value));
        break;
      }
      default: {
        put.type = DBR_LONG;
        const int64_t value = in.get_long(index);
        if (!fits(field_type, value)) {
          why = "value " + std::to_string(value) + " out of the channel's range";
          return out_of_range;
        }
        if (!array && field_type != DBF_SHORT) {
          put.type = DBR_STRING;
          if (const int code = put_text(std::to_string(value), put.bytes, why); code != 0)
            return code;
          break;
        }
        append(put.bytes, static_cast<dbr_long_t>(value));
      }
    }
  }
  return 0;
}

}  // namespace vanto::epics
