// Truncation toward zero of computed ratios. A value beyond the int range (only reachable with
// damaged data) is limited to the range, and NaN becomes 0, instead of being undefined.
#pragma once

#include <climits>

namespace dbprogram {

inline int truncToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483648.0) return INT_MAX;
  if (v <= -2147483649.0) return INT_MIN;
  return static_cast<int>(v);
}

inline int truncToInt(float v) { return truncToInt(static_cast<double>(v)); }

}  // namespace dbprogram
