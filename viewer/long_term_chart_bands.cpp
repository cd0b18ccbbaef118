// The moving averages of the long-term chart and the bands between two averages.
#include <algorithm>

#include "viewer/long_term_chart.h"
#include "viewer/tchart.h"

namespace viewer {
namespace {

// The y of each day, carried over the days whose window held no trading day; `have` tells
// whether any y was computed up to that day.
struct DayYs {
  int y[RingDays] = {};
  bool have[RingDays] = {};
};

template <typename ToY>
void carryYs(const MovingAverage& ma, ToY toY, DayYs& out) {
  int y = 0;
  bool have = false;
  for (int i = 0; i < RingDays; ++i) {
    if (ma.computed[i]) {
      y = toY(ma.average[i]);
      have = true;
    }
    out.y[i] = y;
    out.have[i] = have;
  }
}

// Draws a vertical line per day between the two series once both periods have been reached
// and both lie inside the long-term chart; `bright` picks the full or the dimmed colour.
template <typename Bright>
void drawBand(TChart& c, TDC& dc, const DayYs& a, const DayYs& b, int from, Bright bright) {
  const ColourSetting& band = c.colour(18);
  const COLORREF brightColour = fullColour(band);
  const COLORREF dimmed = dimColour(band.red, band.green, band.blue);
  const int top = c.setting(35) + 23;
  for (int i = from; i < RingDays; ++i) {
    if (!a.have[i] || !b.have[i] || a.y[i] <= top || b.y[i] <= top) continue;
    dc.SelectObject(TPen(bright(a.y[i], b.y[i]) ? brightColour : dimmed));
    dc.MoveTo(i, a.y[i]);
    dc.LineTo(i, b.y[i]);
  }
}

}  // namespace

void drawLongTermAverages(TChart& c, TDC& dc) {
  const int periods[3] = {c.viewMode == 7 ? 150 : c.setting(20),
                          c.viewMode == 7 ? 18 : c.setting(21),
                          c.viewMode == 7 ? 52 : c.setting(22)};
  int* stored[3] = {c.maValue1.get(), c.maValue2.get(), c.maValue3.get()};
  const int oldest = oldestSlot(c.storePosition);
  for (int k = 0; k < 3; ++k) {
    const int period = periods[k];
    if (period < 1) continue;
    MovingAverage ma;
    movingAverageOfCloses(c.volumes.get(), c.closes.get(), oldest, period, ma);
    const COLORREF colour = fullColour(c.colour(7 + k));
    int y = 0;
    bool have = false;
    for (int i = 0; i < RingDays; ++i) {
      const int s = ringSlot(oldest + i);
      if (ma.computed[i]) {
        y = longTermPriceY(c, ma.average[i]);
        have = true;
        // A full window: keep its average for the panes and the price table. Only days whose
        // window held a trading day get a value; the others keep what loading put there (0),
        // rather than the carried average the dotted line shows. This is a choice: a carried
        // figure in the price table would look like an average of days that had no trade.
        if (i >= period - 1) {
          for (int j = 0; j < 3; ++j) {
            if (period == c.setting(20 + j) && stored[j]) {
              stored[j][s] = static_cast<int>(ma.average[i]);
            }
          }
        }
      }
      // Every other day, for a dotted line.
      if (have && i >= period && i % 2 == 0) dc.SetPixel(i, y, colour);
    }
  }
}

void drawAverageBand(TChart& c, TDC& dc) {
  const int shorter = c.setting(21);
  const int longer = c.setting(22);
  if (shorter < 1 || longer < 1) return;
  const int oldest = oldestSlot(c.storePosition);
  MovingAverage ma;
  DayYs a;
  DayYs b;
  const auto toY = [&c](float average) { return longTermPriceY(c, average); };
  movingAverageOfCloses(c.volumes.get(), c.closes.get(), oldest, shorter, ma);
  carryYs(ma, toY, a);
  movingAverageOfCloses(c.volumes.get(), c.closes.get(), oldest, longer, ma);
  carryYs(ma, toY, b);
  // Bright while the average of setting 21 lies above that of setting 22 when 21 is the
  // shorter period (and the other way round when it is the longer one).
  drawBand(c, dc, a, b, std::max(shorter, longer), [&](int yA, int yB) {
    return (shorter >= longer && yA >= yB) || (shorter < longer && yA < yB);
  });
}

void drawVolumeBand(TChart& c, TDC& dc) {
  const int first = c.viewMode == 77 ? 18 : 9;
  const int second = c.viewMode == 77 ? 52 : 26;
  const int oldest = oldestSlot(c.storePosition);
  const float scale = c.chart.longVolumeScale;
  const auto toY = [scale](float average) {
    return static_cast<int>(463.0f - average * scale / 2.0f);
  };
  MovingAverage ma;
  DayYs a;
  DayYs b;
  movingAverageOfVolumes(c.volumes.get(), oldest, first, ma);
  carryYs(ma, toY, a);
  movingAverageOfVolumes(c.volumes.get(), oldest, second, ma);
  carryYs(ma, toY, b);
  drawBand(c, dc, a, b, second, [](int yFirst, int ySecond) { return yFirst < ySecond; });
}

}  // namespace viewer
