// Change of a stock's close from its close on a base date, as the comparison chart draws it.
// Pure computations over the loaded columns: no window, device or file.
#pragma once

#include <cstdint>
#include <span>

#include "viewer/chart_screen_state.h"

namespace viewer {

// Ring slot of the base day: the day with the newest date (yyyymmdd) on or before `baseDate`
// among the days with a volume. A slot the stock missed keeps the day of the previous lap, which is older than every
// genuine day of the ring; taking the newest date, not the first slot met in the walk, never
// picks such a stale day over a genuine one. -1 when no day qualifies.
int baseDaySlot(std::span<const std::int32_t, RingDays> dates,
                std::span<const float, RingDays> volumes, std::int32_t baseDate);

// The base close: the close of the base day, 0 when there is none.
int baseClose(std::span<const std::int32_t, RingDays> dates,
              std::span<const float, RingDays> volumes, std::span<const int, RingDays> closes,
              std::int32_t baseDate);

// Change in percent, (close - base) / base * 100, in single precision. A base of 0 or below
// has no meaningful change: the result is 0 and callers draw nothing for such a stock.
float baseChangePercent(int close, int base);

// The comparison chart's scale: 22.4 pixels per 10 %, 0 % at y 239, +100 % at y 15 and
// -100 % at y 463.
constexpr double ComparisonRowHeight = 22.4;
// y of grid line j (0..20), from 463 (-100 %) up to 15 (+100 %).
int comparisonGridY(int j);
// y of a change of `percent`, truncated toward zero.
int comparisonY(float percent);

// The y of every day of the walk from the oldest slot (day k at x = k) for one stock: a day with
// a volume gets the y of its change from `base`, an empty day repeats the previous y, and the
// days before the first day with a volume hold 0 (outside the chart). Nothing is computed when
// base <= 0: false, and `out` is left untouched.
bool comparisonLine(std::span<const float, RingDays> volumes,
                    std::span<const int, RingDays> closes, int oldest, int base,
                    std::span<int, RingDays> out);

}  // namespace viewer
