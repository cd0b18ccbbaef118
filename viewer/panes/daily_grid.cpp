// Price grid, price labels and candles of the daily and weekly charts, and the daily scales.
#include <algorithm>

#include "platform/text/cp932.h"
#include "viewer/indicators/averages.h"
#include "viewer/panes/daily_chart.h"
#include "viewer/tchart.h"

namespace viewer {

void drawPriceGrid(TDC& dc, const PriceAxis& axis, int step, COLORREF gridColour,
                   PriceLabels& labels) {
  if (step < 1) return;
  dc.SelectObject(TPen(gridColour, 0, PS_DOT));
  // The first multiple of the step at or above the base (bases may be 0 or negative only in a
  // damaged record; the division truncates towards zero either way).
  int p = axis.base / step * step;
  if (p < axis.base) p += step;
  for (; p < axis.top; p += step) {
    const int y = axis.y(static_cast<float>(p));
    dc.MoveTo(0, y);
    dc.LineTo(639, y);
    // One entry stays free for the highest price. Lines closer together than a label is high
    // (an index at step 100, a low pane) label only every line that keeps 8 units from the
    // last labelled one, so that the labels spread over the range instead of piling up.
    const bool apart = labels.count < 2 || labels.y[labels.count - 1] - (y - 3) >= 8;
    if (apart && labels.count < MaxPriceLabels - 1) labels.add(y - 3, p);
  }
}

marketdb::StockCode shownCode(const TChart& c) {
  const bool known = c.table && c.currentStock >= 0 && c.currentStock < c.stockCount;
  return known ? c.codeOf(c.currentStock) : marketdb::NoStockCode;
}

void drawPriceFrame(TChart& c, TDC& dc, const PriceAxis& axis, PriceLabels& labels) {
  const int step = longTermGridStep(axis.top, shownCode(c));
  const COLORREF gridHalf = halfColour(c.colour(3));
  dc.SelectObject(TPen(gridHalf, 0, PS_DOT));
  dc.MoveTo(0, 16);
  dc.LineTo(639, 16);
  labels.count = 0;
  labels.add(axis.h + 8, axis.base);
  drawPriceGrid(dc, axis, step, gridHalf, labels);
  labels.add(17, axis.top);
}

void drawPriceLabels(TDC& dc, const PriceAxis& axis, const PriceLabels& labels,
                     COLORREF colour) {
  if (labels.count == 0) return;
  dc.SetTextColor(colour);
  const int last = labels.count - 1;
  dc.TextOut(0, axis.h + 6, pelinor::text::format("%5d", labels.value[0]));
  for (int k = 1; k < last; ++k) {
    const int y = labels.y[k];
    if (labels.y[0] - y > 7 && y - labels.y[last] > 7) {
      dc.TextOut(0, y - 2, pelinor::text::format("%5d", labels.value[k]));
    }
  }
  if (last > 0) dc.TextOut(0, 15, pelinor::text::format("%5d", labels.value[last]));
}

void drawCandle(TDC& dc, const PriceAxis& axis, int x, int halfWidth, int open, int high,
                int low, int close, const CandleColours& colours) {
  const bool falling = close < open;
  const COLORREF colour = falling ? colours.falling : colours.rising;
  dc.SelectObject(TPen(colour));
  dc.MoveTo(x, axis.y(static_cast<float>(high)));
  dc.LineTo(x, axis.y(static_cast<float>(low)));
  const int yOpen = axis.y(static_cast<float>(open));
  const int yClose = axis.y(static_cast<float>(close));
  if (yOpen == yClose) {
    dc.MoveTo(x - halfWidth, yOpen);
    dc.LineTo(x + halfWidth, yOpen);
    return;
  }
  dc.SelectObject(TBrush(falling ? colours.falling : colours.background));
  dc.Rectangle(x - halfWidth, std::min(yOpen, yClose), x + halfWidth, std::max(yOpen, yClose));
}

bool computeDailyScales(TChart& c, PriceRange* shown) {
  const PriceRange range = priceRange(c.highs.get(), c.lows.get(), c.volumes.get(), RingDays,
                                      ringSlot(c.storePosition - (DailyDays - 1)), DailyDays);
  c.dailyTop = range.top;
  c.dailyBase = range.base;
  c.dailyScale = 0;
  c.volumeScale = 0;
  if (shown != nullptr) *shown = range;
  if (!range.drawable()) return false;
  const float h = static_cast<float>(c.setting(35));
  c.dailyScale = h / static_cast<float>(range.top - range.base);
  c.volumeScale = h / range.volume;
  return true;
}

PriceAxis dailyAxis(const TChart& c) {
  PriceAxis axis;
  axis.h = c.setting(35);
  axis.base = c.dailyBase;
  axis.top = c.dailyTop;
  axis.scale = c.dailyScale;
  axis.volumeScale = c.volumeScale;
  return axis;
}

}  // namespace viewer
