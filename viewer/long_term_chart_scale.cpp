// Grid spacing and scales of the long-term chart.
#include "viewer/chart_screen_state.h"

namespace viewer {

int longTermGridStep(int chartMax, float code) {
  if (code < 1100.0f) return 100;
  if (chartMax < 500) return 50;
  if (chartMax < 1500) return 100;
  if (chartMax < 5000) return 500;
  return 1000;
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
