// Working arrays and drawing helpers shared by the daily chart (f9), the equilibrium chart
// (f3) and the weekly chart (f8). The arrays live with the chart window, sized once for the
// largest settings, so that no paint allocates.
#pragma once

#include "platform/gdi/tdc.h"
#include "viewer/chart_screen_state.h"
#include "viewer/indicators/distribution.h"
#include "viewer/indicators/weekly.h"

namespace viewer {

constexpr int DailyDays = 213;                // days the daily chart shows, three units apart
constexpr int LongestWalk = DailyDays + RingDays;  // a walk may start a whole ring earlier

// Prices from `base` (at y h + 15) up to `top` (at y 15): y = trunc((h + 15) - (p - base) *
// scale), volumes from 0 at y h + 15 by volumeScale.
struct PriceAxis {
  int h = 0;
  int base = 0;
  int top = 0;
  float scale = 0.0f;
  float volumeScale = 0.0f;
  int y(float price) const {
    return static_cast<int>(static_cast<float>(h + 15) -
                            (price - static_cast<float>(base)) * scale);
  }
  int volumeY(float volume) const {
    return static_cast<int>(static_cast<float>(h + 15) - volume * volumeScale);
  }
};

// Price labels of a grid: the lowest price, the labelled grid lines, the highest price.
struct PriceLabels {
  int count = 0;
  int y[MaxPriceLabels] = {};
  int value[MaxPriceLabels] = {};
  void add(int labelY, int price) {
    if (count >= MaxPriceLabels) return;
    y[count] = labelY;
    value[count] = price;
    ++count;
  }
};

struct PaneArrays {
  // Daily chart: the three averages of closes and of volumes along their walks.
  float average[3][LongestWalk] = {};
  bool averageDefined[3][LongestWalk] = {};
  float volumeAverage[3][LongestWalk] = {};
  bool volumeAverageDefined[3][LongestWalk] = {};
  float histogram[HistogramRows] = {};
  // Equilibrium chart: one line at a time and the list of leading-span-1 pixels.
  float line[LongestWalk] = {};
  bool lineDefined[LongestWalk] = {};
  int spanY[RingDays] = {};
  bool spanDefined[RingDays] = {};
  // Weekly chart.
  WeekArrays weeks;
  float weekAverage[2][ShownWeeks] = {};
  bool weekAverageDefined[2][ShownWeeks] = {};
  float weekRci[2][ShownWeeks] = {};
  PriceLabels labels;
};

class TChart;

// Code of the shown stock (0 when none is loaded), for the grid and distribution steps.
marketdb::StockCode shownCode(const TChart& chart);
// The top line, the price grid of the chart's step and the label table (lowest price, the
// labelled grid lines, highest price) of the daily and weekly charts.
void drawPriceFrame(TChart& chart, TDC& dc, const PriceAxis& axis, PriceLabels& labels);
// The horizontal price grid of an axis: a dotted line in `gridColour` across the width at each
// multiple of `step` from the base up to below the top, recording the labels (a grid with more
// lines than the label table holds leaves its upper lines unlabelled).
void drawPriceGrid(TDC& dc, const PriceAxis& axis, int step, COLORREF gridColour,
                   PriceLabels& labels);
// The labels in `colour`: the lowest at h + 6, the highest at 15, a grid label only where it
// keeps more than 7 units from both.
void drawPriceLabels(TDC& dc, const PriceAxis& axis, const PriceLabels& labels, COLORREF colour);

// A candle at x: the wick from high to low, the body from open to close `halfWidth` either
// side of x (a line where both share a y), hollow (background) when rising, filled when
// falling (close below open).
struct CandleColours {
  COLORREF rising;
  COLORREF falling;
  COLORREF background;
};
void drawCandle(TDC& dc, const PriceAxis& axis, int x, int halfWidth, int open, int high,
                int low, int close, const CandleColours& colours);

// Daily scales of the shown stock (range over the newest 213 days). Sets the chart's
// dailyBase, dailyTop, dailyScale and volumeScale, and the range in `shown` when given; false
// (scales 0) when the range is flat or without volume.
struct PriceRange;
bool computeDailyScales(TChart& chart, PriceRange* shown = nullptr);
PriceAxis dailyAxis(const TChart& chart);

}  // namespace viewer
