// The daily chart: the newest 213 days at three units per day with candles, volume, the three
// moving averages of closes and of volumes, the volume-at-price distribution of four periods,
// a price grid with labels and month lines (view 9). View 3 draws a reduced form: the candles
// 26 days to the left, the grid and the lagging closes, under the lines that f3 drew.
#include <string>

#include "platform/text/cp932.h"
#include "viewer/indicators/averages.h"
#include "viewer/indicators/distribution.h"
#include "viewer/panes/daily_chart.h"
#include "viewer/tchart.h"

namespace viewer {
namespace {

// Day index (from the oldest ring day) of the first shown day.
constexpr int FirstShownDay = RingDays - DailyDays;

// A walk of `period` days before the first shown day and the 213 shown ones; false when the
// period gives no line (below 1, or longer than the ring).
bool averageWalk(int period, int& firstDay, int& count) {
  if (period < 1 || period > RingDays) return false;
  firstDay = FirstShownDay - period;
  count = DailyDays + period;
  return true;
}

void drawMonthsAndDays(TChart& c, TDC& dc, const PriceAxis& axis, int firstX, bool lagging) {
  const int h = axis.h;
  const COLORREF gridHalf = halfColour(c.colour(3));
  const COLORREF dateColour = fullColour(c.colour(1));
  const COLORREF volumeColour = fullColour(c.colour(6));
  const COLORREF laggingColour = fullColour(c.colour(19));
  const CandleColours candles{fullColour(c.colour(4)), fullColour(c.colour(5)),
                              RGB(c.background[0], c.background[1], c.background[2])};
  const int first = ringSlot(c.storePosition - (DailyDays - 1));
  c.chart.resetMonthDetection();
  int monthChanges = 0;
  for (int k = 0; k < DailyDays; ++k) {
    const int s = ringSlot(first + k);
    const int x = firstX + 3 * k;
    if (c.dates[s] != 0 && c.chart.monthChanged(c.dates[s])) {
      ++monthChanges;
      dc.SelectObject(TPen(gridHalf, 0, PS_DOT));
      dc.MoveTo(x, 16);
      dc.LineTo(x, h + 23);
      // The first change only marks where the chart starts.
      if (monthChanges >= 2) {
        dc.SetTextColor(dateColour);
        dc.TextOut(x, h + 14, std::string(c.chart.dateText, 4));
      }
    }
    if (c.volumes[s] == 0.0f) continue;
    if (lagging) {
      dc.SetPixel(x - 78, axis.y(static_cast<float>(c.closes[s])), laggingColour);
    } else {
      dc.SelectObject(TPen(volumeColour));
      dc.MoveTo(x, axis.volumeY(c.volumes[s]));
      dc.LineTo(x, h + 15);
    }
    drawCandle(dc, axis, x, 2, c.opens[s], c.highs[s], c.lows[s], c.closes[s], candles);
  }
}

// Four passes, longest setting first; the first pass's largest row is the bar length 128.
void drawDistribution(TChart& c, TDC& dc, const PriceAxis& axis) {
  const int h = axis.h;
  const int newest = ringSlot(c.storePosition);
  const int periods[4] = {c.setting(28), c.setting(27), c.setting(26), c.setting(25)};
  const int colourNumbers[4] = {15, 14, 13, 12};
  const marketdb::StockCode code = shownCode(c);
  const int m = distributionBase(c.lows.get(), c.volumes.get(), newest, periods[0]);
  const int step = distributionStep(m, code);
  const int y0 = axis.y(static_cast<float>(m));
  float totals[4] = {};
  float reference = 0.0f;
  for (int p = 0; p < 4; ++p) {
    const DistributionPass pass =
        distributionPass(c.highs.get(), c.lows.get(), c.volumes.get(), newest, periods[p], m,
                         step, axis.scale, h + 2, c.panes.histogram);
    totals[p] = pass.total;
    if (p == 0) reference = pass.largest;
    const ColourSetting& colour = c.colour(colourNumbers[p]);
    if (reference != 0.0f) {
      dc.SelectObject(TPen(halfColour(colour)));
      for (int row = 0; row <= pass.topRow; ++row) {
        const float value = c.panes.histogram[row];
        if (value == 0.0f) continue;
        dc.MoveTo(0, y0 - row);
        dc.LineTo(static_cast<int>(value / reference * 128.0f), y0 - row);
      }
    }
    // The marker where the pass's period begins.
    const int left = (DailyDays - periods[p]) * 3;
    dc.SelectObject(TPen(fullColour(colour)));
    dc.SelectObject(TBrush(fullColour(colour)));
    dc.Rectangle(left, h + 11, left + 2, h + 15);
  }
  if (totals[0] == 0.0f) return;
  const int rows[4] = {h + 6, h - 2, h - 10, h - 18};
  for (int p = 3; p >= 0; --p) {
    dc.SetTextColor(fullColour(c.colour(colourNumbers[p])));
    const float percent = distributionPercent(totals[p], totals[0]);
    dc.TextOut(48, rows[p], pelinor::text::format("%5.1f", static_cast<double>(percent)));
  }
}

void drawAverages(TChart& c, TDC& dc, const PriceAxis& axis) {
  const int h = axis.h;
  const int oldest = oldestSlot(c.storePosition);
  int periods[3] = {};
  int counts[3] = {};
  for (int a = 0; a < 3; ++a) {
    periods[a] = c.setting(20 + a);
    c.currentAverages[a] = 0;
    int firstDay = 0;
    if (!averageWalk(periods[a], firstDay, counts[a])) {
      counts[a] = 0;
      continue;
    }
    closeAverageWalk(c.closes.get(), c.volumes.get(), oldest, firstDay, counts[a], periods[a],
                     c.panes.average[a], c.panes.averageDefined[a]);
    volumeAverageWalk(c.volumes.get(), oldest, firstDay, counts[a], periods[a],
                      c.panes.volumeAverage[a], c.panes.volumeAverageDefined[a]);
    const int newest = counts[a] - 1;
    if (c.panes.averageDefined[a][newest]) {
      c.currentAverages[a] = static_cast<int>(c.panes.average[a][newest]);
    }
  }
  auto inPane = [h](int y) { return y >= 16 && y <= h + 14; };
  // Closes: a day without an average repeats the previous point.
  for (int a = 0; a < 3; ++a) {
    dc.SelectObject(TPen(fullColour(c.colour(7 + a))));
    bool havePoint = false;
    int previousY = 0;
    for (int i = 0; i < counts[a]; ++i) {
      const bool defined = c.panes.averageDefined[a][i];
      if (!defined && !havePoint) continue;
      const int x = 1 + 3 * (i - periods[a]);
      const int y = defined ? axis.y(c.panes.average[a][i]) : previousY;
      if (havePoint && x >= 0 && inPane(previousY) && inPane(y)) {
        dc.MoveTo(x - 3, previousY);
        dc.LineTo(x, y);
      }
      havePoint = true;
      previousY = y;
    }
  }
  // Volumes: one point a day.
  for (int a = 0; a < 3; ++a) {
    const COLORREF colour = fullColour(c.colour(7 + a));
    for (int i = 0; i < counts[a]; ++i) {
      const int x = 1 + 3 * (i - periods[a]);
      if (x < 0 || !c.panes.volumeAverageDefined[a][i]) continue;
      const int y = axis.volumeY(c.panes.volumeAverage[a][i]);
      if (inPane(y)) dc.SetPixel(x, y, colour);
    }
  }
}

}  // namespace

void TChart::f9(TDC& dc) {
  if (!arraysReady || !dates || !opens || !highs || !lows || !closes || !volumes) return;
  const bool view3 = viewMode == 3;
  dc.SelectObject(chartLabelFont());
  PriceRange range;
  if (!computeDailyScales(*this, &range)) return;
  const PriceAxis axis = dailyAxis(*this);
  PriceLabels& labels = panes.labels;
  drawPriceFrame(*this, dc, axis, labels);

  drawMonthsAndDays(*this, dc, axis, view3 ? -77 : 1, view3);

  if (!view3) {
    drawDistribution(*this, dc, axis);
    // The range ratio means nothing without a positive lowest price.
    if (dailyBase > 0) {
      dc.SetTextColor(fullColour(colour(3)));
      const float ratio = static_cast<float>(dailyTop) / static_cast<float>(dailyBase);
      dc.TextOut(48, 15, pelinor::text::format("%5.1f", static_cast<double>(ratio)));
    }
    dc.SetTextColor(fullColour(colour(6)));
    dc.TextOut(88, 15, pelinor::text::format("%8.1f", static_cast<double>(range.volume)));
    drawAverages(*this, dc, axis);
    for (int a = 0; a < 3; ++a) {
      dc.SetTextColor(fullColour(colour(7 + a)));
      dc.TextOut(160, 15 + 8 * a, pelinor::text::format("%5d", currentAverages[a]));
    }
  }
  drawPriceLabels(dc, axis, labels, fullColour(colour(2)));
}

}  // namespace viewer
