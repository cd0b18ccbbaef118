// The shared conversions to int: truncation toward zero and limiting at the int range.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "marketdb/int_range.h"

namespace {

TEST(IntRange, TruncatesTowardZeroAndLimitsAtTheIntRange) {
  struct Case {
    double v;
    int expected;
  };
  const Case cases[] = {{1.9, 1},          {-1.9, -1},        {0.0, 0},
                        {2147483647.0, INT_MAX}, {2147483648.0, INT_MAX}, {1e30, INT_MAX},
                        {-2147483648.0, INT_MIN}, {-2147483648.9, INT_MIN}, {-1e30, INT_MIN},
                        {std::nan(""), 0}, {INFINITY, INT_MAX}, {-INFINITY, INT_MIN}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.v);
    EXPECT_EQ(marketdb::truncToInt(c.v), c.expected);
    // The float form agrees wherever the value is a float.
    const float f = static_cast<float>(c.v);
    if (static_cast<double>(f) == c.v) {
      EXPECT_EQ(marketdb::truncToInt(f), c.expected);
    }
  }
  EXPECT_EQ(marketdb::truncToInt(2147483520.0f), 2147483520);
  EXPECT_EQ(marketdb::clampToInt(static_cast<long long>(INT_MAX) + 1), INT_MAX);
  EXPECT_EQ(marketdb::clampToInt(static_cast<long long>(INT_MIN) - 1), INT_MIN);
  EXPECT_EQ(marketdb::clampToInt(-5), -5);
}

}  // namespace
