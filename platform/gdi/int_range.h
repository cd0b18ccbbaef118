// Limiting a wide coordinate sum to the int range, for mappings and text cells that a huge
// window or a far-away logical position would otherwise overflow.
#pragma once

#include <climits>

namespace pelinor::gdi {

inline int clampToInt(long long v) {
  if (v < INT_MIN) return INT_MIN;
  if (v > INT_MAX) return INT_MAX;
  return static_cast<int>(v);
}

}  // namespace pelinor::gdi
