// The weekly chart (view 8): weekly bars built from the ring, drawn with candles, volume, two
// weekly moving averages, a price grid and month lines above, and two weekly deviations and
// two weekly RCIs in the lower area, which no long-term chart shares.
#include <string>

#include "platform/text/cp932.h"
#include "viewer/indicators/averages.h"
#include "viewer/indicators/weekly.h"
#include "viewer/panes/daily_chart.h"
#include "viewer/tchart.h"

namespace viewer {
namespace {

constexpr int LowerBottom = 471;

int weekX(int w) { return 2 + 5 * w; }

// Weeks shown: from the first of the newest 128 up to the first week without a date.
int shownWeekCount(const WeekArrays& weeks, int first) {
  int n = 0;
  while (n < ShownWeeks && first + n < WeekCapacity && weeks.date[first + n] != 0) ++n;
  return n;
}

struct LowerScale {
  int h;
  float r;  // units per grid row
  int line(int j) const { return static_cast<int>(static_cast<float>(LowerBottom) - r * static_cast<float>(j)); }
  // Deviations: 0 on line 15, 20 % a line; RCIs: 0 on line 5, 20 a line.
  int deviationY(float dev) const {
    return static_cast<int>(static_cast<float>(LowerBottom) - 15.0f * r - dev * r / 20.0f);
  }
  int rciY(float rci) const {
    return static_cast<int>(static_cast<float>(LowerBottom) - 5.0f * r - rci * r / 20.0f);
  }
  bool shows(int y) const { return y > h + 26 && y < LowerBottom; }
};

void drawUpper(TChart& c, TDC& dc, const PriceAxis& axis, int first, int shown) {
  const WeekArrays& weeks = c.panes.weeks;
  const int h = axis.h;
  const COLORREF gridHalf = halfColour(c.colour(3));
  const COLORREF volumeColour = fullColour(c.colour(6));
  const CandleColours candles{fullColour(c.colour(4)), fullColour(c.colour(5)),
                              RGB(c.background[0], c.background[1], c.background[2])};
  c.chart.resetMonthDetection();
  int monthChanges = 0;
  for (int w = 0; w < shown; ++w) {
    const int k = first + w;
    const int x = weekX(w);
    if (c.chart.monthChanged(weeks.date[k])) {
      ++monthChanges;
      dc.SelectObject(TPen(gridHalf, 0, PS_DOT));
      dc.MoveTo(x - 2, 16);
      dc.LineTo(x - 2, LowerBottom);
      if (monthChanges >= 2) {
        dc.SetTextColor(fullColour(c.colour(1)));
        dc.TextOut(x - 1, h + 16, std::string(c.chart.dateText + 2, 2));
      }
    }
    if (weeks.volume[k] == 0.0f) continue;
    dc.SelectObject(TPen(volumeColour));
    dc.MoveTo(x, axis.volumeY(weeks.volume[k]));
    dc.LineTo(x, h + 15);
    drawCandle(dc, axis, x, 3, weeks.open[k], weeks.high[k], weeks.low[k], weeks.close[k],
               candles);
  }
}

// The weekly averages over the shown weeks; their newest values become the current averages.
void drawAverages(TChart& c, TDC& dc, const PriceAxis& axis, int first, int shown) {
  const WeekArrays& weeks = c.panes.weeks;
  const int h = axis.h;
  auto inPane = [h](int y) { return y > 15 && y < h + 15; };
  for (int a = 0; a < 2; ++a) {
    const int period = c.setting(23 + a);
    float* average = c.panes.weekAverage[a];
    bool* defined = c.panes.weekAverageDefined[a];
    slidingAverage(
        shown, period, [&](int w) { return weeks.close[first + w]; },
        [&](int w) { return weeks.volume[first + w] == 0.0f; }, average, defined);
    c.currentAverages[a] =
        shown > 0 && defined[shown - 1] ? static_cast<int>(average[shown - 1]) : 0;
    dc.SelectObject(TPen(fullColour(c.colour(10 + a))));
    for (int w = 1; w < shown; ++w) {
      if (!defined[w] || !defined[w - 1]) continue;
      const int x = weekX(w);
      const int y = axis.y(average[w]);
      const int previousY = axis.y(average[w - 1]);
      if (x > 5 * period - 3 && inPane(previousY) && inPane(y)) {
        dc.MoveTo(x - 5, previousY);
        dc.LineTo(x, y);
      }
    }
    dc.SetTextColor(fullColour(c.colour(10 + a)));
    dc.TextOut(160, 15 + 8 * a, pelinor::text::format("%5d", c.currentAverages[a]));
  }
}

void drawLowerGrid(TChart& c, TDC& dc, const LowerScale& scale) {
  const COLORREF gridHalf = halfColour(c.colour(3));
  for (int j = 0; j <= 20; ++j) {
    const int y = scale.line(j);
    dc.SelectObject(TPen(gridHalf, 0, j == 5 || j == 10 || j == 15 ? PS_SOLID : PS_DOT));
    dc.MoveTo(0, y);
    dc.LineTo(639, y);
  }
}

// Deviation of each week's close from its average (computed by drawAverages), in per cent;
// a week without trading, or without a positive average, repeats the previous point.
void drawDeviations(TChart& c, TDC& dc, const LowerScale& scale, int first, int shown) {
  const WeekArrays& weeks = c.panes.weeks;
  for (int a = 0; a < 2; ++a) {
    const int period = c.setting(23 + a);
    const float* average = c.panes.weekAverage[a];
    const bool* defined = c.panes.weekAverageDefined[a];
    const COLORREF colour = fullColour(c.colour(10 + a));
    dc.SelectObject(TPen(colour));
    bool havePoint = false;
    int previousY = 0;
    float newest = 0.0f;
    bool newestShown = false;
    for (int w = 0; w < shown; ++w) {
      const int k = first + w;
      const bool value = defined[w] && average[w] > 0.0f && weeks.volume[k] != 0.0f;
      newestShown = value && weeks.close[k] > 0;
      if (!value) {
        if (!havePoint) continue;
      } else {
        newest = (static_cast<float>(weeks.close[k]) - average[w]) / average[w] * 100.0f;
      }
      const int y = value ? scale.deviationY(newest) : previousY;
      const int x = weekX(w);
      if (havePoint && w >= period && scale.shows(previousY) && scale.shows(y) && x >= 0) {
        dc.MoveTo(x - 5, previousY);
        dc.LineTo(x, y);
      }
      havePoint = true;
      previousY = y;
    }
    if (newestShown) {
      dc.SetTextColor(colour);
      dc.TextOut(160, scale.h + 26 + 8 * a,
                 pelinor::text::format("%5.1f", static_cast<double>(newest)));
    }
  }
}

void drawRcis(TChart& c, TDC& dc, const LowerScale& scale, int first, int shown) {
  const WeekArrays& weeks = c.panes.weeks;
  const int textY = LowerBottom - (445 - scale.h) / 2;
  for (int a = 0; a < 2; ++a) {
    const int period = c.setting(23 + a);
    float* rci = c.panes.weekRci[a];
    const int windows = weeklyRci(weeks.close + first, weeks.volume + first, shown, period, rci);
    const COLORREF colour = fullColour(c.colour(10 + a));
    dc.SelectObject(TPen(colour));
    for (int w = 1; w < windows; ++w) {
      const int x = weekX(w + period - 1);
      const int previousX = x - 5;
      const int y = scale.rciY(rci[w]);
      const int previousY = scale.rciY(rci[w - 1]);
      if (previousX >= 5 * period - 3 && scale.shows(previousY) && scale.shows(y)) {
        dc.MoveTo(previousX, previousY);
        dc.LineTo(x, y);
      }
    }
    if (windows > 0) {
      dc.SetTextColor(colour);
      dc.TextOut(160, textY + 8 * a,
                 pelinor::text::format("%5.1f", static_cast<double>(rci[windows - 1])));
    }
  }
}

void drawLowerLabels(TChart& c, TDC& dc, const LowerScale& scale) {
  dc.SetTextColor(fullColour(c.colour(2)));
  auto label = [&](int j, int value) {
    int y = scale.line(j) - 2;
    if (j == 0) y -= 3;
    if (j == 20) y += 3;
    dc.TextOut(0, y, pelinor::text::format("%4d", value));
  };
  for (int j = 0; j <= 10; ++j) label(j, -100 + 20 * j);
  for (int j = 10; j <= 20; ++j) label(j, -100 + 20 * (j - 10));
}

}  // namespace

void TChart::f8(TDC& dc) {
  if (!arraysReady || !dates || !opens || !highs || !lows || !closes || !volumes) return;
  dc.SelectObject(chartLabelFont());
  WeekArrays& weeks = panes.weeks;
  buildWeeks(dates.get(), opens.get(), highs.get(), lows.get(), closes.get(), volumes.get(),
             oldestSlot(storePosition), weeks);
  const int first = firstShownWeek(weeks.count);
  const int shown = shownWeekCount(weeks, first);
  const PriceRange range = priceRange(weeks.high, weeks.low, weeks.volume, WeekCapacity, first, shown);
  if (!range.drawable()) return;

  PriceAxis axis;
  axis.h = setting(35);
  axis.base = range.base;
  axis.top = range.top;
  axis.scale = static_cast<float>(axis.h) / static_cast<float>(range.top - range.base);
  axis.volumeScale = static_cast<float>(axis.h) / range.volume;
  PriceLabels& labels = panes.labels;
  drawPriceFrame(*this, dc, axis, labels);

  drawUpper(*this, dc, axis, first, shown);
  drawAverages(*this, dc, axis, first, shown);

  const LowerScale scale{axis.h, static_cast<float>(445 - axis.h) / 20.0f};
  drawLowerGrid(*this, dc, scale);
  drawDeviations(*this, dc, scale, first, shown);
  drawRcis(*this, dc, scale, first, shown);
  drawLowerLabels(*this, dc, scale);
  drawPriceLabels(dc, axis, labels, fullColour(colour(2)));
}

}  // namespace viewer
