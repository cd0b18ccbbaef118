#include "viewer/indicators/distribution.h"

#include <limits>

#include "viewer/chart_screen_state.h"

namespace viewer {
namespace {

// Days of a pass: never more than the ring holds.
int daysOf(int period) { return period < 0 ? 0 : (period > RingDays ? RingDays : period); }

}  // namespace

int distributionBase(const int* lows, const float* volumes, int newest, int period) {
  constexpr int NoLowYet = std::numeric_limits<int>::max();
  int m = NoLowYet;
  const int days = daysOf(period);
  for (int k = 0; k < days; ++k) {
    const int s = ringSlot(newest - k);
    if (volumes[s] != 0.0f && lows[s] < m) m = lows[s];
  }
  return m == NoLowYet ? EmptyLow : m;
}

int distributionStep(int base, marketdb::StockCode code) {
  int step = base < 3000 || code < marketdb::codeFromNumber(1100) ? 1 : 10;
  // Above the prices of 16-bit records the step grows with the price, so that a day's range is
  // spread over as many steps as at a few thousand yen, not over millions.
  while (base / step >= 100000) step *= 10;
  return step;
}

DistributionPass distributionPass(const int* highs, const int* lows, const float* volumes,
                                  int newest, int period, int base, int step, float scale,
                                  int rows, float* histogram) {
  DistributionPass pass;
  if (rows > HistogramRows) rows = HistogramRows;
  if (rows < 0) rows = 0;
  for (int r = 0; r < rows; ++r) histogram[r] = 0.0f;
  if (step < 1) return pass;
  const int days = daysOf(period);
  for (int k = 0; k < days; ++k) {
    const int s = ringSlot(newest - k);
    if (volumes[s] == 0.0f) continue;
    const int low = lows[s];
    const int span = highs[s] - low + step;
    // A damaged day whose high lies below its low spreads nothing.
    if (span <= 0) continue;
    const float share = volumes[s] / static_cast<float>(span);
    for (int t = low; t - low < span; t += step) {
      const float offset = static_cast<float>(t - base) * scale;
      // Rows below 0 (prices under the base) or above the top row fall outside the pane.
      if (!(offset > -1.0f && offset < static_cast<float>(rows))) continue;
      const int row = static_cast<int>(offset);
      histogram[row] += share;
      if (row > pass.topRow) pass.topRow = row;
    }
  }
  for (int r = 0; r < rows; ++r) {
    pass.total += histogram[r];
    if (histogram[r] > pass.largest) pass.largest = histogram[r];
  }
  return pass;
}

float distributionPercent(float total, float referenceTotal) {
  if (referenceTotal == 0.0f) return 0.0f;
  return total / referenceTotal * 100.0f;
}

}  // namespace viewer
