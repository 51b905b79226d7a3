// Numbers into values of the numeric types, and type names for the config.
#pragma once

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "vanto/eqdata.h"

namespace vantoserver {

// True for the scalar types that hold one number (INT, FLOAT, DOUBLE, SHORT,
// USHORT, UINT, LONG, ULONG, BOOL).
bool is_numeric_scalar(int type);
// True for the history types (A_TDS and the A_TS_* of one number).
bool is_history_type(int type);
// v as an integer of type T, truncated toward zero and held at the limits of
// T (NaN gives 0): a waveform may leave the range of its channel's type, and
// a conversion beyond it is undefined.
template <typename T>
T saturated(double v) {
  if (std::isnan(v)) return 0;
  // Both bounds are powers of two (or 0), exact in a double.
  constexpr double low = static_cast<double>(std::numeric_limits<T>::min());
  constexpr double beyond = static_cast<double>(std::numeric_limits<T>::max() / 2 + 1) * 2.0;
  if (v <= low) return std::numeric_limits<T>::min();
  if (v >= beyond) return std::numeric_limits<T>::max();
  return static_cast<T>(v);
}

// Sets value (element index) of a numeric scalar or numeric array type;
// values beyond the type's range are held at its limits.
void set_number(vanto::EqData& out, int type, double value, int index = 0);
// The type id of a config type name ("INT", "DATA_INT", "A_TS_FLOAT", ...).
std::optional<int> type_from_name(const std::string& name);

}  // namespace vantoserver
