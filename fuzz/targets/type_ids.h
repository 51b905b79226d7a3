// Every data type id of the client library, so a fuzz byte picks a known one.
#pragma once

#include <array>
#include <cstdint>

namespace vantofuzz {

inline constexpr std::array<int, 62> kTypeIds = {
    0,    1,    2,    3,    4,    6,    7,    12,   13,   14,   15,   16,   18,   19,   20,   21,
    22,   24,   25,   26,   27,   28,   29,   99,   100,  101,  102,  103,  105,  106,  108,  109,
    110,  111,  113,  114,  115,  116,  117,  118,  120,  1000, 1001, 1002, 1003, 1004, 1005, 1006,
    1007, 1008, 1009, 1010, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 5,    -1};

// A known id for most selector values, the raw value otherwise.
inline int pick_type(uint8_t selector, int32_t raw) {
  return selector < kTypeIds.size() ? kTypeIds[selector] : raw;
}

}  // namespace vantofuzz
