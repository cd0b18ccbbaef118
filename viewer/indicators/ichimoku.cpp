#include "viewer/indicators/ichimoku.h"

#include <limits>

#include "viewer/chart_screen_state.h"

namespace viewer {

void ichimokuLine(const int* highs, const int* lows, const float* volumes, int oldest,
                  int firstDay, int count, int period, float* line, bool* defined) {
  for (int i = 0; i < count; ++i) {
    line[i] = 0.0f;
    defined[i] = false;
  }
  if (period < 1 || period > count) return;
  auto slot = [&](int i) { return ringSlot(oldest + firstDay + i); };
  auto trading = [&](int i) {
    const int day = firstDay + i;
    return day >= 0 && day < RingDays && volumes[slot(i)] != 0.0f;
  };
  // The lowest low starts above every price ("no day yet"); a window without a trading day is
  // undefined and keeps the midpoint it has always had.
  constexpr int NoLowYet = std::numeric_limits<int>::max();
  int hi = 0;
  int lo = NoLowYet;
  int tradingDays = 0;
  auto fold = [&](int i) {
    const int s = slot(i);
    if (highs[s] > hi) hi = highs[s];
    if (lows[s] < lo) lo = lows[s];
  };
  auto rescan = [&](int last) {
    hi = 0;
    lo = NoLowYet;
    for (int j = last - period + 1; j <= last; ++j)
      if (trading(j)) fold(j);
  };

  for (int i = 0; i < count; ++i) {
    if (trading(i)) ++tradingDays;
    if (i >= period && trading(i - period)) --tradingDays;
    if (i < period - 1) continue;
    if (i == period - 1) {
      rescan(i);
    } else {
      const int leaving = i - period;
      const bool heldExtreme =
          trading(leaving) && (highs[slot(leaving)] == hi || lows[slot(leaving)] == lo);
      if (heldExtreme) {
        rescan(i);
      } else if (trading(i)) {
        fold(i);
      }
    }
    // A window reaching before the oldest ring day is not complete.
    defined[i] = tradingDays > 0 && firstDay + i - period + 1 >= 0;
    line[i] = static_cast<float>(hi + (lo == NoLowYet ? EmptyLow : lo)) / 2.0f;
  }
}

}  // namespace viewer
