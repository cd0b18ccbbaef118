#include "viewer/indicators/base_change.h"

#include <cmath>

#include "marketdb/files.h"

namespace viewer {

int baseDaySlot(std::span<const std::int32_t, RingDays> dates,
                std::span<const float, RingDays> volumes, std::int32_t baseDate) {
  int best = -1;
  std::int32_t bestKey = 0;
  for (int s = 0; s < RingDays; ++s) {
    // A dated slot only: a slot dated 0 was never stored, whatever its other bytes say.
    if (volumes[s] == 0.0f || dates[s] <= 0) continue;
    const std::int32_t key = dates[s];
    if (key > baseDate) continue;
    if (best < 0 || key > bestKey) {
      best = s;
      bestKey = key;
    }
  }
  return best;
}

int baseClose(std::span<const std::int32_t, RingDays> dates,
              std::span<const float, RingDays> volumes, std::span<const int, RingDays> closes,
              std::int32_t baseDate) {
  const int s = baseDaySlot(dates, volumes, baseDate);
  return s < 0 ? 0 : closes[s];
}

float baseChangePercent(int close, int base) {
  if (base <= 0) return 0.0f;
  return static_cast<float>(close - base) / static_cast<float>(base) * 100.0f;
}

int comparisonGridY(int j) { return static_cast<int>(std::trunc(463.0 - ComparisonRowHeight * j)); }

int comparisonY(float percent) {
  return static_cast<int>(
      std::trunc(463.0 - 224.0 - static_cast<double>(percent) * ComparisonRowHeight / 10.0));
}

bool comparisonLine(std::span<const float, RingDays> volumes,
                    std::span<const int, RingDays> closes, int oldest, int base,
                    std::span<int, RingDays> out) {
  if (base <= 0) return false;
  int y = 0;
  for (int k = 0; k < RingDays; ++k) {
    const int s = ringSlot(oldest + k);
    if (volumes[s] != 0.0f) y = comparisonY(baseChangePercent(closes[s], base));
    out[k] = y;
  }
  return true;
}

}  // namespace viewer
