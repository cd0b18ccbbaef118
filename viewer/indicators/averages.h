// Moving averages of the daily and weekly charts and the price range their scales come from.
// Pure calculations over the loaded columns: no window, no drawing, nothing allocated.
#pragma once

#include "viewer/chart_screen_state.h"

namespace viewer {

// Sliding window of `period` steps over a walk of `count` steps. An empty step (no trading)
// counts towards the window's length but not its sum; it is counted in `skip` instead. A step
// has an average once the window is full (step >= period - 1) and holds at least one trading
// step (skip < period): sum / (period - skip), in single precision. Elsewhere `defined` is
// false and `average` 0. A period below 1 defines nothing.
template <typename ValueAt, typename EmptyAt>
void slidingAverage(int count, int period, ValueAt valueAt, EmptyAt emptyAt, float* average,
                    bool* defined) {
  for (int i = 0; i < count; ++i) {
    average[i] = 0.0f;
    defined[i] = false;
  }
  if (period < 1) return;
  float sum = 0.0f;
  int skip = 0;
  for (int i = 0; i < count; ++i) {
    if (emptyAt(i)) {
      ++skip;
    } else {
      sum += static_cast<float>(valueAt(i));
    }
    if (i >= period) {
      const int leaving = i - period;
      if (emptyAt(leaving)) {
        --skip;
      } else {
        sum -= static_cast<float>(valueAt(leaving));
      }
    }
    if (i >= period - 1 && skip < period) {
      defined[i] = true;
      average[i] = sum / static_cast<float>(period - skip);
    }
  }
}

// Daily walks over the ring. Walk step i is the day firstDay + i counted from the oldest ring
// day (`oldest`); a day before the oldest (negative) or after the newest is outside the ring
// and treated as empty.
void closeAverageWalk(const int* closes, const float* volumes, int oldest, int firstDay,
                      int count, int period, float* average, bool* defined);
void volumeAverageWalk(const float* volumes, int oldest, int firstDay, int count, int period,
                       float* average, bool* defined);

// Highest high, lowest low and largest volume over the trading days (volume != 0) of `count`
// entries of arrays of `size` entries, starting at `first` and wrapping at `size` (the ring of
// 640 days, or the week arrays). Without a trading day: top 0, base EmptyLow, volume 0.
struct PriceRange {
  int top = 0;
  int base = EmptyLow;
  float volume = 0.0f;
  // A range the charts can scale: a positive price span and some volume.
  bool drawable() const { return top > base && volume > 0.0f; }
};
PriceRange priceRange(const int* highs, const int* lows, const float* volumes, int size,
                      int first, int count);

}  // namespace viewer
