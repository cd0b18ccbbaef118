// The oscillators of the chart viewer, computed over the 640-day ring of the displayed stock:
// the moving-average deviation, the psychological line, RCI, RSI, WVR and the Shinohara ratios.
//
// Every function walks the ring from the oldest slot (walk day k = 0..639 is slot oldest + k)
// and writes one value per walk day into a caller-owned OscillatorLine; nothing is allocated.
// A day whose volume is 0 is empty: the sums leave it out and count it in the window's skip
// count instead. Where no new value can be formed (the window holds too few trading days, a
// denominator is not positive, the day itself is empty) the day carries the last value computed
// in the walk, 0 before the first one. All arithmetic is single precision.
#pragma once

#include <climits>
#include <optional>
#include <span>

#include "marketdb/int_range.h"
#include "viewer/chart_screen_state.h"

namespace viewer::indicators {

// The loaded columns of one stock, indexed by ring slot, and the oldest slot of the ring.
struct RingColumns {
  std::span<const int, RingDays> opens;
  std::span<const int, RingDays> highs;
  std::span<const int, RingDays> lows;
  std::span<const int, RingDays> closes;
  std::span<const int, RingDays> changes;
  std::span<const float, RingDays> volumes;
  int oldest = 0;

  int slot(int k) const { return ringSlot(oldest + k); }
  bool empty(int k) const { return volumes[slot(k)] == 0.0f; }
};

// One oscillator over the walk. Days before `lookback` have no entry (the window is not yet
// full); from `lookback` on every day has one, computed (`fresh`) or carried.
struct OscillatorLine {
  int lookback = RingDays;   // first walk day with an entry; RingDays when there is none
  float value[RingDays] = {};  // the unrounded value of the day (carried where not fresh)
  bool fresh[RingDays] = {};   // a new value was computed on the day
  int series[RingDays] = {};   // the value truncated toward zero (carried where not fresh)

  bool hasEntry(int k) const { return k >= lookback && k < RingDays; }
};

// Truncation toward zero, limited to the int range (NaN becomes 0).
using marketdb::truncToInt;

// First walk day with an entry for a window of `period` days (RingDays when the window never
// fills). A period below 0 counts as 0.
int windowLookback(int period);
// The RSI's window is the psychological period plus two days.
int rsiWindow(int psychologicalPeriod);

// Deviation of the close from its `period`-day moving average, %. `averages` (optional, per
// walk day) receives the truncated average on the days with an entry, carried like the value.
// `newest` (optional) receives the deviation of the newest day whenever its window has one
// (skip < period, window sum > 0, newest close > 0), whatever that day's volume; else it is
// left empty.
void movingAverageDeviation(const RingColumns& ring, int period, OscillatorLine& out,
                            int* averages = nullptr, std::optional<float>* newest = nullptr);
// Share of rising days among the window's trading days, %; days without change are skipped.
void psychologicalLine(const RingColumns& ring, int period, OscillatorLine& out);
// RSI over rsiWindow(psychologicalPeriod) days, %.
void rsi(const RingColumns& ring, int psychologicalPeriod, OscillatorLine& out);
// Volume of rising days minus that of the others, over the total volume, %.
void wvr(const RingColumns& ring, int period, OscillatorLine& out);
// Shinohara ratio A (high above the open against open above the low), limited to 0..400.
void shinoharaA(const RingColumns& ring, int period, OscillatorLine& out);
// Shinohara ratio B (against the previous day's close), limited to 0..400. The oldest day of
// the walk has no previous day in the ring and adds nothing.
void shinoharaB(const RingColumns& ring, int period, OscillatorLine& out);
// High above the close against close above the low, %, not limited; drawn only, never stored.
void closePosition(const RingColumns& ring, int period, OscillatorLine& out);

// Writes the entries of a line into a series indexed by ring slot; days before the lookback
// keep what the series held.
void storeSeries(const OscillatorLine& line, int oldest, int* series);
// The same for a per-walk-day array such as the deviation's averages.
void storeWalkValues(const int* walkValues, int lookback, int oldest, int* series);

}  // namespace viewer::indicators
