// The lines of the equilibrium chart: the middle of the highest high and the lowest low over
// the last 9, 26 or 52 days.
#pragma once

namespace viewer {

constexpr int ConversionDays = 9;
constexpr int BaseLineDays = 26;
constexpr int LeadingSpanDays = 52;
constexpr int IchimokuShift = 26;  // days the spans lead and the lagging line trails

// Walk step i is the day firstDay + i counted from the oldest ring day (`oldest`); days
// outside the ring are empty. For every step i >= period - 1: line[i] = (hi + lo) / 2 with hi
// the highest high and lo the lowest low of the trading days (volume != 0) among the last
// `period` days; defined[i] tells whether the window lay inside the ring and held a trading
// day at all. The extremes are carried from day to day and searched again only when the day
// leaving the window held one of them.
void ichimokuLine(const int* highs, const int* lows, const float* volumes, int oldest,
                  int firstDay, int count, int period, float* line, bool* defined);

}  // namespace viewer
