// Conversions to int that stay defined for every input: truncation toward zero of computed
// ratios and limiting of wide sums. A value beyond the int range (only reachable with damaged
// data or settings) is limited to the range, and NaN becomes 0, instead of being undefined.
#pragma once

#include <climits>

namespace marketdb {

inline int truncToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483648.0) return INT_MAX;
  if (v <= -2147483649.0) return INT_MIN;
  return static_cast<int>(v);
}

inline int truncToInt(float v) { return truncToInt(static_cast<double>(v)); }

inline int clampToInt(long long v) {
  if (v < INT_MIN) return INT_MIN;
  if (v > INT_MAX) return INT_MAX;
  return static_cast<int>(v);
}

}  // namespace marketdb
