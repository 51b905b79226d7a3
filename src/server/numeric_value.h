// Numbers into values of the numeric types, and type names for the config.
#pragma once

#include <optional>
#include <string>

#include "vanto/eqdata.h"

namespace vantoserver {

// True for the scalar types that hold one number (INT, FLOAT, DOUBLE, SHORT,
// USHORT, UINT, LONG, ULONG, BOOL).
bool is_numeric_scalar(int type);
// True for the history types (A_TDS and the A_TS_* of one number).
bool is_history_type(int type);
// Sets value (element index) of a numeric scalar or numeric array type.
void set_number(vanto::EqData& out, int type, double value, int index = 0);
// The type id of a config type name ("INT", "DATA_INT", "A_TS_FLOAT", ...).
std::optional<int> type_from_name(const std::string& name);

}  // namespace vantoserver
