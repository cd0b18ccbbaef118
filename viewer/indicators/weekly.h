// Weekly bars built from the 640-day ring, and the weekly oscillators of the weekly chart.
#pragma once

#include <cstdint>

namespace viewer {

constexpr int WeekCapacity = 150;  // weeks the arrays hold
constexpr int ShownWeeks = 128;    // weeks the weekly chart shows

struct WeekArrays {
  std::int32_t date[WeekCapacity] = {};  // latest dated day of the week; 0 = no week
  int open[WeekCapacity] = {};     // open of its first trading day
  int high[WeekCapacity] = {};     // highest high of its trading days
  int low[WeekCapacity] = {};      // lowest low (0 when the week has no trading day)
  int close[WeekCapacity] = {};    // close of its last trading day
  float volume[WeekCapacity] = {}; // total volume; 0 = empty week
  int count = 0;                   // weeks built, oldest first
};

// Walks the ring from the oldest day and starts a new week whenever a dated day's weekday is
// not later than the previous dated day's (never before the week holds a day). Undated days
// are passed over; days without volume date their week but add no prices. Should the ring hold
// more weeks than the arrays, the oldest weeks are left out, so that the newest week is always
// the last one built.
void buildWeeks(const std::int32_t* dates, const int* opens, const int* highs, const int* lows,
                const int* closes, const float* volumes, int oldest, WeekArrays& out);

// First week the chart shows: the newest ShownWeeks weeks, or all from week 0 when fewer.
inline int firstShownWeek(int count) { return count > ShownWeeks ? count - ShownWeeks : 0; }

// Rank correlation of each window of `period` consecutive weeks of `closes` (the value
// belongs to the window's last week), computed from its definition: date rank of a trading
// week among the window's trading weeks, price rank = 1 + the number of trading weeks with a
// strictly higher close, RCI = (6 * sum d^2 / (n^3 - n) - 1) * 100 in single precision. A
// window with fewer than two trading weeks, a zero sum of squares or an empty last week carries
// the previous window's value (0 at first). rci[w] is that of the window ending at week
// w + period - 1; windows = count - period + 1 (none for a period below 1 or above count).
// Returns the number of windows.
int weeklyRci(const int* closes, const float* volumes, int count, int period, float* rci);

}  // namespace viewer
