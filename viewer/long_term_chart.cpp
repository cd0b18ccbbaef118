// The long-term chart: all 640 stored days of the stock at one logical unit per day, below the
// pane of the mode. Lowest price at y 463, highest at y H + 24 (H = setting 35).
#include "viewer/long_term_chart.h"

#include <string>

#include "platform/text/cp932.h"
#include "viewer/tchart.h"

namespace viewer {
namespace {

constexpr int ChartBottom = 471;
constexpr int BaseY = 463;

void line(TDC& dc, int x1, int y1, int x2, int y2) {
  dc.MoveTo(x1, y1);
  dc.LineTo(x2, y2);
}

void addLabel(ChartScreenState& state, int y, int value) {
  if (state.labelCount >= MaxPriceLabels) return;
  state.labelY[state.labelCount] = y;
  state.labelValue[state.labelCount] = value;
  ++state.labelCount;
}

// A dotted line at every multiple of the grid step from chartMin up to below chartMax; the
// label list gets the lowest price, the labelled lines and the highest price. A line closer than
// 8 units to the last labelled line gets no label (they would pile up for an index at step
// 100); a grid with more lines than the list holds leaves the upper lines unlabelled.
void drawGrid(TChart& c, TDC& dc, int top) {
  ChartScreenState& state = c.chart;
  state.labelCount = 0;
  addLabel(state, 458, c.chartMin);
  dc.SelectObject(TPen(halfColour(c.colour(3)), 0, PS_DOT));
  const int step = state.gridStep;
  int g = c.chartMin / step * step;
  if (g < c.chartMin) g += step;
  for (; g < c.chartMax; g += step) {
    const int y = longTermPriceY(c, static_cast<float>(g));
    line(dc, 0, y, 639, y);
    const bool apart = state.labelCount < 2 || state.labelY[state.labelCount - 1] - (y - 3) >= 8;
    if (apart && state.labelCount < MaxPriceLabels - 1) addLabel(state, y - 3, g);
  }
  addLabel(state, top + 1, c.chartMax);
}

// Month separators and labels, volume bars (or the lagging closes of mode 3) and the day bars.
void drawDays(TChart& c, TDC& dc, int top) {
  ChartScreenState& state = c.chart;
  const bool mode3 = c.viewMode == 3;
  const COLORREF gridHalf = halfColour(c.colour(3));
  const COLORREF monthColour = fullColour(c.colour(1));
  const COLORREF volumeColour = fullColour(c.colour(6));
  const COLORREF laggingColour = fullColour(c.colour(19));
  const COLORREF risingColour = fullColour(c.colour(4));
  const COLORREF fallingColour = fullColour(c.colour(5));
  const int oldest = oldestSlot(c.storePosition);

  state.resetMonthDetection();
  int monthChanges = 0;
  int x = mode3 ? -26 : 0;
  for (int i = 0; i < RingDays; ++i, ++x) {
    const int s = ringSlot(oldest + i);
    if (c.dates[s] != 0 && state.monthChanged(c.dates[s])) {
      ++monthChanges;
      dc.SelectObject(TPen(gridHalf, 0, PS_DOT));
      line(dc, x, top, x, ChartBottom);
      // The first change is only where the history starts, not a new month.
      if (monthChanges >= 2) {
        dc.SetTextColor(monthColour);
        dc.TextOut(x + 1, 462, std::string(state.dateText + 2, 2));
      }
    }
    if (c.volumes[s] == 0.0f) continue;
    if (!mode3) {
      const int volumeTop =
          static_cast<int>(static_cast<float>(BaseY) - c.volumes[s] * state.longVolumeScale);
      dc.SelectObject(TPen(volumeColour));
      line(dc, x, volumeTop, x, BaseY);
    } else {
      dc.SetPixel(x - 26, longTermPriceY(c, static_cast<float>(c.closes[s])), laggingColour);
    }
    dc.SelectObject(TPen(c.closes[s] < c.opens[s] ? fallingColour : risingColour));
    const int yHigh = longTermPriceY(c, static_cast<float>(c.highs[s]));
    const int yLow = longTermPriceY(c, static_cast<float>(c.lows[s]));
    line(dc, x, yHigh, x, yHigh == yLow ? yLow + 1 : yLow);
  }
}

void drawSummary(TChart& c, TDC& dc, int h35) {
  // The range ratio means nothing without a positive lowest price.
  if (c.chartMin > 0) {
    const float ratio = static_cast<float>(c.chartMax) / static_cast<float>(c.chartMin);
    dc.SetTextColor(fullColour(c.colour(3)));
    dc.TextOut(48, h35 + 23, pelinor::text::format("%5.1f", static_cast<double>(ratio)));
  }
  dc.SetTextColor(fullColour(c.colour(6)));
  dc.TextOut(88, h35 + 23, pelinor::text::format("%8.1f", static_cast<double>(c.volumeMax)));
}

// The lowest and highest prices always; a grid label only when it keeps 8 units from both.
void drawPriceLabels(TChart& c, TDC& dc) {
  const ChartScreenState& state = c.chart;
  if (state.labelCount == 0) return;
  dc.SetTextColor(fullColour(c.colour(2)));
  const int last = state.labelCount - 1;
  for (int k = 0; k <= last; ++k) {
    const int y = state.labelY[k];
    const bool shown = k == 0 || k == last ||
                       (state.labelY[0] - y >= 8 && y - state.labelY[last] >= 8);
    if (shown) dc.TextOut(0, y - 2, pelinor::text::format("%5d", state.labelValue[k]));
  }
}

}  // namespace

int longTermPriceY(const TChart& c, float price) {
  return static_cast<int>(static_cast<float>(BaseY) -
                          (price - static_cast<float>(c.chartMin)) * c.chart.longPriceScale);
}

void TChart::longTermChart(TDC& dc) {
  if (!dates || !opens || !highs || !lows || !closes || !volumes) return;
  const int h35 = setting(35);
  if (!longTermScales(chart, chartMax, chartMin, volumeMax, h35)) return;
  const bool knownStock = table && currentStock >= 0 && currentStock < stockCount;
  chart.gridStep =
      longTermGridStep(chartMax, knownStock ? codeOf(currentStock) : marketdb::NoStockCode);

  const int top = h35 + 24;
  const bool frame = colour(3).number != 99;
  dc.SelectObject(chartLabelFont());
  if (frame) {
    dc.SelectObject(TPen(halfColour(colour(3)), 0, PS_DOT));
    line(dc, 0, top, 639, top);
    // The last 213 days (those of the daily chart) begin at x 427.
    dc.SelectObject(TPen(halfColour(colour(3)), 0, PS_DASHDOT));
    line(dc, 427, top, 427, ChartBottom);
  }
  drawGrid(*this, dc, top);
  drawDays(*this, dc, top);
  if (frame) {
    dc.SelectObject(TPen(halfColour(colour(3)), 0, PS_DOT));
    line(dc, 0, ChartBottom, 639, ChartBottom);
  }
  if (viewMode != 3) {
    drawLongTermAverages(*this, dc);
    drawSummary(*this, dc, h35);
    if (viewMode == 4) drawAverageBand(*this, dc);
    if (viewMode == 7 || viewMode == 77) drawVolumeBand(*this, dc);
  }
  drawPriceLabels(*this, dc);
  dc.SelectObject(chartTextFont());
}

}  // namespace viewer
