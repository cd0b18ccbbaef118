// The rank correlation index of every window of `period` consecutive ring days.
//
// Within a window, a trading day's date rank is its place among the window's trading days
// (oldest first) and its price rank is one more than the number of trading days in the window
// that closed strictly higher (equal closes share the better rank). With n trading days and
// S the sum of the squared rank differences, RCI = (1 - 6 S / (n^3 - n)) * -100: +100 for
// strictly rising closes, -100 for strictly falling ones. A window with fewer than two trading
// days, with S = 0, or ending on an empty day carries the previous value.
//
// The windows slide by one day: the sums that make up S are kept up to date with Fenwick trees
// over the ranks of the closes, so a line costs O(640 log 640) whatever the period.
#pragma once

#include <cstdint>

#include "viewer/indicators/oscillators.h"

namespace viewer::indicators {

// Working memory of one RCI line; kept by the caller so that nothing is allocated per line.
struct RciWork {
  int sortedCloses[RingDays] = {};
  int closeRank[RingDays] = {};  // per walk day, 1-based rank of the close among distinct closes
  int distinct = 0;
  int count[RingDays + 1] = {};            // Fenwick: trading days in the window per close
  std::int64_t ordinalSum[RingDays + 1] = {};  // Fenwick: sum of their trading-day ordinals
  std::int64_t tiePairs[RingDays + 1] = {};    // Fenwick: pairs of equal closes per close
  int perClose[RingDays + 1] = {};         // trading days in the window per close (plain)
};

// Period 0 or below, or above 640, gives no entry at all.
void rci(const RingColumns& ring, int period, RciWork& work, OscillatorLine& out);

}  // namespace viewer::indicators
