// Working values of the chart screen's top row, long-term chart and price table, kept in the
// chart window while it draws.
#pragma once

namespace viewer {

constexpr int MaxPriceLabels = 25;

struct ChartScreenState {
  float longPriceScale = 0;
  float longVolumeScale = 0;
  int gridStep = 0;
  int labelCount = 0;
  int labelY[MaxPriceLabels] = {};
  int labelValue[MaxPriceLabels] = {};
  char dateText[7] = {};      // the date of the day being drawn, six characters
  char previousMonth = 'x';   // month digit of the previous dated day ('x' matches no digit)
  int tableStart = 0;         // ring slot of the price table's first row
  bool tableFresh = true;     // set by a chart screen; the next ← or → only clears it
};

}  // namespace viewer
