// Working values of the chart screen's top row, long-term chart and price table, kept in the
// chart window while it draws, and the small calculations they are made of.
#pragma once

#include "marketdb/stock_code.h"
#include "platform/gdi/tdc.h"

namespace viewer {

constexpr int MaxPriceLabels = 25;
constexpr int RingDays = 640;
// The lowest low of a history (or window) without a trading day; a search for the lowest low
// starts from "no day yet" and gives this value only when it met no trading day.
constexpr int EmptyLow = 32700;

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

  // Month detection. Every pass over the days starts with resetMonthDetection, so that the
  // first dated day of the pass always counts as a change of month.
  void resetMonthDetection() { previousMonth = 'x'; }
  // Writes `date` (yymmdd) into dateText as six digits with leading zeros and tells whether its
  // month digit differs from that of the previous date written.
  bool monthChanged(std::int32_t date);  // date yyyymmdd
};

// Ring slot `s` brought into 0..639 (any int, negative ones included).
inline int ringSlot(int s) {
  const int r = s % RingDays;
  return r < 0 ? r + RingDays : r;
}
// The oldest day of the ring, the one after the newest.
inline int oldestSlot(int storePosition) { return ringSlot(storePosition + 1); }

// Grid spacing of the long-term chart's price axis.
int longTermGridStep(int chartMax, marketdb::StockCode code);

// Scales of the long-term chart (prices from chartMin at y 463 up to chartMax at y h35 + 24,
// volumes from 0 at y 463). False, with both scales 0, when the history gives nothing to draw:
// no price range or no volume.
bool longTermScales(ChartScreenState& state, int chartMax, int chartMin, float volumeMax,
                    int h35);

// A moving window over the 640 days from the oldest slot: day i of the walk is slot
// oldest + i. Days whose volume is 0 are empty: they count towards the window's length but
// not towards its sum. A window of `period` days ends at each day once `period` days lie
// before it; until then it holds every day walked so far.
struct MovingAverage {
  bool computed[RingDays] = {};  // the window held at least one trading day
  float average[RingDays] = {};  // its average (0 where not computed)
};
void movingAverageOfCloses(const float* volumes, const int* closes, int oldest, int period,
                           MovingAverage& out);
void movingAverageOfVolumes(const float* volumes, int oldest, int period, MovingAverage& out);

// Colours of the chart screen.
inline COLORREF halfColour(int r, int g, int b) { return RGB(r / 2, g / 2, b / 2); }
inline COLORREF dimColour(int r, int g, int b) {
  return RGB(static_cast<int>(r * 0.38), static_cast<int>(g * 0.38), static_cast<int>(b * 0.38));
}

// Fonts of the chart screen: the ordinary text and the small labels of the long-term chart.
TFont chartTextFont();
TFont chartLabelFont();
// A figure of a fixed column. A classic database's figures are drawn as they always were; on a
// wide one a figure of more than `columnChars` characters (a price above 99,999, a full date)
// is drawn in a font five units wide, so that eight characters take the 40 units of a column.
// `rightEdge` places such a figure right-aligned (ending there); 0 leaves it starting at x.
// The text font is selected again afterwards.
void drawColumnFigure(TDC& dc, bool wide, int x, int y, const std::string& text,
                      int columnChars, int rightEdge = 0);

}  // namespace viewer
