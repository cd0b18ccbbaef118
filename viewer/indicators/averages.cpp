#include "viewer/indicators/averages.h"

#include <limits>

#include "viewer/chart_screen_state.h"

namespace viewer {
namespace {

bool inRing(int day) { return day >= 0 && day < RingDays; }

}  // namespace

void closeAverageWalk(const int* closes, const float* volumes, int oldest, int firstDay,
                      int count, int period, float* average, bool* defined) {
  auto slot = [&](int i) { return ringSlot(oldest + firstDay + i); };
  slidingAverage(
      count, period, [&](int i) { return closes[slot(i)]; },
      [&](int i) { return !inRing(firstDay + i) || volumes[slot(i)] == 0.0f; }, average,
      defined);
}

void volumeAverageWalk(const float* volumes, int oldest, int firstDay, int count, int period,
                       float* average, bool* defined) {
  auto slot = [&](int i) { return ringSlot(oldest + firstDay + i); };
  slidingAverage(
      count, period, [&](int i) { return volumes[slot(i)]; },
      [&](int i) { return !inRing(firstDay + i) || volumes[slot(i)] == 0.0f; }, average,
      defined);
}

PriceRange priceRange(const int* highs, const int* lows, const float* volumes, int size,
                      int first, int count) {
  PriceRange r;
  if (size < 1) return r;
  // The lowest low starts from "no day yet", so that prices above EmptyLow keep their low.
  int base = std::numeric_limits<int>::max();
  for (int k = 0; k < count; ++k) {
    int i = (first + k) % size;
    if (i < 0) i += size;
    if (volumes[i] == 0.0f) continue;
    if (highs[i] > r.top) r.top = highs[i];
    if (lows[i] < base) base = lows[i];
    if (volumes[i] > r.volume) r.volume = volumes[i];
  }
  if (base != std::numeric_limits<int>::max()) r.base = base;
  return r;
}

}  // namespace viewer
