// The equilibrium chart over the daily chart (view 3): the conversion and base lines, and the
// cloud between the two leading spans, on the upper daily chart (three units per day, lines
// beside the candles that f9 then draws 26 days to the left) and on the long-term chart below
// (one unit per day). The lagging line is drawn with the candles.
#include "viewer/indicators/ichimoku.h"
#include "viewer/long_term_chart.h"
#include "viewer/panes/daily_chart.h"
#include "viewer/tchart.h"

namespace viewer {
namespace {

// One part of the chart: where day j of a walk is drawn and which y values it shows.
struct IchimokuPart {
  int firstDay;    // day (from the oldest) at which the shown days begin
  int shownDays;   // days whose spans are listed
  int lineX0;      // x of the conversion and base lines of shown day 0
  int spanX0;      // x of the spans of shown day 0
  int dx;          // units per day
  bool upper;      // the daily chart above, or the long-term chart below
};

class IchimokuPainter {
 public:
  IchimokuPainter(TChart& c, TDC& dc, const IchimokuPart& part)
      : c_(c), dc_(dc), part_(part), h_(c.setting(35)), axis_(dailyAxis(c)) {}

  // Passes A (conversion line) and B (base line): each shown day's line is drawn and its
  // pixel y listed (A) or averaged into the list (B): leading span 1.
  void linePass(int period, COLORREF colour, bool first) {
    const int firstDay = part_.firstDay - period;
    const int count = part_.shownDays + period;
    ichimokuLine(c_.highs.get(), c_.lows.get(), c_.volumes.get(), oldestSlot(c_.storePosition),
                 firstDay, count, period, c_.panes.line, c_.panes.lineDefined);
    dc_.SelectObject(TPen(colour));
    for (int i = period; i < count; ++i) {
      const int j = i - period;
      const bool defined = c_.panes.lineDefined[i];
      const int y = defined ? yOf(c_.panes.line[i]) : 0;
      if (first) {
        c_.panes.spanY[j] = y;
        c_.panes.spanDefined[j] = defined;
      } else {
        c_.panes.spanY[j] = (c_.panes.spanY[j] + y) / 2;
        c_.panes.spanDefined[j] = c_.panes.spanDefined[j] && defined;
      }
      if (!defined || !c_.panes.lineDefined[i - 1]) continue;
      const int x = part_.lineX0 + part_.dx * j;
      const int previousY = yOf(c_.panes.line[i - 1]);
      if (shows(previousY) && shows(y) && (!part_.upper || x >= 0)) {
        dc_.MoveTo(x - part_.dx, previousY);
        dc_.LineTo(x, y);
      }
    }
  }

  // Pass C: leading span 2 against the listed span 1, a vertical cloud line per day, bright
  // where span 1 lies above span 2.
  void cloudPass(const ColourSetting& cloud) {
    const int period = LeadingSpanDays;
    const int firstDay = part_.firstDay - period;
    const int count = part_.shownDays + period;
    ichimokuLine(c_.highs.get(), c_.lows.get(), c_.volumes.get(), oldestSlot(c_.storePosition),
                 firstDay, count, period, c_.panes.line, c_.panes.lineDefined);
    const COLORREF bright = fullColour(cloud);
    const COLORREF dark = dimColour(cloud.red, cloud.green, cloud.blue);
    for (int i = period; i < count; ++i) {
      const int j = i - period;
      if (!c_.panes.lineDefined[i] || !c_.panes.spanDefined[j]) continue;
      const int x = part_.spanX0 + part_.dx * j;
      const int y2 = yOf(c_.panes.line[i]);
      const int y1 = c_.panes.spanY[j];
      if (!shows(y1) || !shows(y2) || (part_.upper && x < 0)) continue;
      const COLORREF colour = y1 < y2 ? bright : dark;
      if (y1 == y2) {
        // A line of no length would leave nothing: the spans meet in one dot.
        dc_.SetPixel(x, y1, colour);
      } else {
        dc_.SelectObject(TPen(colour));
        dc_.MoveTo(x, y1);
        dc_.LineTo(x, y2);
      }
    }
  }

 private:
  int yOf(float price) const {
    return part_.upper ? axis_.y(price) : longTermPriceY(c_, price);
  }
  bool shows(int y) const { return part_.upper ? (y > 15 && y < h_ + 16) : y > h_ + 23; }

  TChart& c_;
  TDC& dc_;
  IchimokuPart part_;
  int h_;
  PriceAxis axis_;
};

void drawIchimoku(TChart& c, TDC& dc, const IchimokuPart& part) {
  IchimokuPainter painter(c, dc, part);
  painter.linePass(ConversionDays, fullColour(c.colour(10)), true);
  painter.linePass(BaseLineDays, fullColour(c.colour(11)), false);
  painter.cloudPass(c.colour(18));
}

}  // namespace

void TChart::f3(TDC& dc) {
  if (!arraysReady || !dates || !highs || !lows || !closes || !volumes) return;
  dc.SelectObject(chartLabelFont());
  // The daily chart's scales of this stock, before f9 draws its candles on them.
  if (computeDailyScales(*this)) {
    drawIchimoku(*this, dc,
                 IchimokuPart{RingDays - DailyDays, DailyDays, -77, 1, 3, true});
  }
  f3LongTerm(dc);
}

void TChart::f3LongTerm(TDC& dc) {
  // The long-term chart's scales were set for this stock before the pane.
  if (chart.longPriceScale > 0.0f) {
    drawIchimoku(*this, dc, IchimokuPart{0, RingDays, -IchimokuShift, 0, 1, false});
  }
}

}  // namespace viewer
