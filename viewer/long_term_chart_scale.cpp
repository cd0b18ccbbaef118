// Grid spacing and scales of the long-term chart.
#include "viewer/chart_screen_state.h"

namespace viewer {

int longTermGridStep(int chartMax, marketdb::StockCode code) {
  if (code < marketdb::codeFromNumber(1100)) return 100;
  if (chartMax < 500) return 50;
  if (chartMax < 1500) return 100;
  if (chartMax < 5000) return 500;
  if (chartMax < 40000) return 1000;
  // Above the prices of 16-bit records every step gives between 4 and 20 grid lines.
  static constexpr int Steps[][2] = {{200000, 10000},     {1000000, 50000},
                                     {2000000, 100000},   {10000000, 500000},
                                     {20000000, 1000000}};
  for (const auto& [below, step] : Steps)
    if (chartMax < below) return step;
  return 5000000;
}

bool longTermScales(ChartScreenState& state, int chartMax, int chartMin, float volumeMax,
                    int h35) {
  state.longPriceScale = 0;
  state.longVolumeScale = 0;
  // An empty history has no range; a range that runs backwards only comes from a damaged
  // record and would draw the chart upside down.
  if (chartMax <= chartMin || !(volumeMax > 0.0f)) return false;
  const float height = static_cast<float>(440 - h35);
  state.longPriceScale = height / static_cast<float>(chartMax - chartMin);
  state.longVolumeScale = height / volumeMax;
  return true;
}

}  // namespace viewer
