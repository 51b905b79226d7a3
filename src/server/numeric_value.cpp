#include "numeric_value.h"

#include <cmath>
#include <cstdint>
#include <map>

namespace vantoserver {

using namespace vanto;

bool is_numeric_scalar(int type) {
  switch (type) {
    case DATA_INT:
    case DATA_FLOAT:
    case DATA_DOUBLE:
    case DATA_SHORT:
    case DATA_USHORT:
    case DATA_UINT:
    case DATA_LONG:
    case DATA_ULONG:
    case DATA_BOOL: return true;
    default: return false;
  }
}

bool is_history_type(int type) {
  switch (type) {
    case DATA_A_TDS:
    case DATA_A_TS_BOOL:
    case DATA_A_TS_INT:
    case DATA_A_TS_FLOAT:
    case DATA_A_TS_DOUBLE:
    case DATA_A_TS_LONG:
    case DATA_A_TS_SHORT:
    case DATA_A_TS_USHORT:
    case DATA_A_TS_UINT:
    case DATA_A_TS_ULONG: return true;
    default: return false;
  }
}

void set_number(EqData& out, int type, double value, int index) {
  if (out.type() != type) out.set_type(type);
  const double v = std::isfinite(value) ? value : 0.0;
  switch (type) {
    case DATA_INT:
    case DATA_A_INT: out.set_int(saturated<int32_t>(v), index); break;
    case DATA_FLOAT:
    case DATA_A_FLOAT: out.set_float(static_cast<float>(v), index); break;
    case DATA_DOUBLE:
    case DATA_A_DOUBLE: out.set_double(v, index); break;
    case DATA_SHORT:
    case DATA_A_SHORT: out.set_short(saturated<int16_t>(v), index); break;
    case DATA_USHORT:
    case DATA_A_USHORT: out.set_ushort(saturated<uint16_t>(v), index); break;
    case DATA_UINT:
    case DATA_A_UINT: out.set_uint(saturated<uint32_t>(v), index); break;
    case DATA_LONG:
    case DATA_A_LONG: out.set_long(saturated<int64_t>(v), index); break;
    case DATA_ULONG:
    case DATA_A_ULONG: out.set_ulong(saturated<uint64_t>(v), index); break;
    case DATA_BOOL:
    case DATA_A_BOOL: out.set_bool(v != 0, index); break;
    default: break;
  }
}

std::optional<int> type_from_name(const std::string& name) {
  static const std::map<std::string, int> types = {
      {"INT", DATA_INT},
      {"FLOAT", DATA_FLOAT},
      {"STRING", DATA_STRING},
      {"BOOL", DATA_BOOL},
      {"DOUBLE", DATA_DOUBLE},
      {"TEXT", DATA_TEXT},
      {"TDS", DATA_TDS},
      {"XY", DATA_XY},
      {"IIII", DATA_IIII},
      {"IFFF", DATA_IFFF},
      {"USTR", DATA_USTR},
      {"TTII", DATA_TTII},
      {"SPECTRUM", DATA_SPECTRUM},
      {"XML", DATA_XML},
      {"XYZS", DATA_XYZS},
      {"IMAGE", DATA_IMAGE},
      {"GSPECTRUM", DATA_GSPECTRUM},
      {"SHORT", DATA_SHORT},
      {"LONG", DATA_LONG},
      {"USHORT", DATA_USHORT},
      {"UINT", DATA_UINT},
      {"ULONG", DATA_ULONG},
      {"STRUCTURE", DATA_STRUCTURE},
      {"A_FLOAT", DATA_A_FLOAT},
      {"A_TDS", DATA_A_TDS},
      {"A_XY", DATA_A_XY},
      {"A_USTR", DATA_A_USTR},
      {"A_INT", DATA_A_INT},
      {"A_BYTE", DATA_A_BYTE},
      {"A_XYZS", DATA_A_XYZS},
      {"MDA_FLOAT", DATA_MDA_FLOAT},
      {"A_DOUBLE", DATA_A_DOUBLE},
      {"A_BOOL", DATA_A_BOOL},
      {"A_SHORT", DATA_A_SHORT},
      {"A_LONG", DATA_A_LONG},
      {"MDA_DOUBLE", DATA_MDA_DOUBLE},
      {"A_USHORT", DATA_A_USHORT},
      {"A_UINT", DATA_A_UINT},
      {"A_ULONG", DATA_A_ULONG},
      {"A_TS_BOOL", DATA_A_TS_BOOL},
      {"A_TS_INT", DATA_A_TS_INT},
      {"A_TS_FLOAT", DATA_A_TS_FLOAT},
      {"A_TS_DOUBLE", DATA_A_TS_DOUBLE},
      {"A_TS_LONG", DATA_A_TS_LONG},
      {"A_TS_SHORT", DATA_A_TS_SHORT},
      {"A_TS_USHORT", DATA_A_TS_USHORT},
      {"A_TS_UINT", DATA_A_TS_UINT},
      {"A_TS_ULONG", DATA_A_TS_ULONG},
  };
  std::string key = name;
  if (key.rfind("DATA_", 0) == 0) key = key.substr(5);
  const auto it = types.find(key);
  if (it == types.end()) return std::nullopt;
  return it->second;
}

}  // namespace vantoserver
