// The price table of modes 15 and 16: 29 stored days of the stock, newest first, with the
// derived series of the last pane drawn.
#include "marketdb/layout.h"
#include "platform/text/cp932.h"
#include "viewer/tchart.h"

namespace viewer {
namespace {

constexpr int TableRows = 29;

void header(TChart& c, TDC& dc) {
  dc.SetTextColor(fullColour(c.colour(3)));
  dc.TextOut(0, 0, SJ("日付"));
  dc.TextOut(56, 0, SJ("始値"));
  dc.TextOut(96, 0, SJ("高値"));
  dc.TextOut(136, 0, SJ("安値"));
  dc.TextOut(176, 0, SJ("終値"));
  dc.TextOut(216, 0, SJ("前比"));
  dc.TextOut(264, 0, SJ("出来高"));

  const std::string* averages[3] = {&SJ("移日1"), &SJ("移日2"), &SJ("移日3")};
  const std::string& rate = c.lastPaneMode == 5 ? SJ("率") : SJ("－");
  for (int k = 0; k < 3; ++k) {
    dc.SetTextColor(fullColour(c.colour(7 + k)));
    dc.TextOut(312 + 64 * k, 0, *averages[k]);
    dc.TextOut(360 + 64 * k, 0, rate);
  }

  const std::string* oscillators[4];
  if (c.lastPaneMode == 5) {
    oscillators[0] = &SJ("ｻｲｺ");
    oscillators[1] = oscillators[2] = oscillators[3] = &SJ("rci");
  } else if (c.lastPaneMode == 4) {
    oscillators[0] = &SJ("wvr");
    oscillators[1] = &SJ("rsi");
    oscillators[2] = &SJ("ｼﾉa");
    oscillators[3] = &SJ("ｼﾉb");
  } else {
    oscillators[0] = oscillators[1] = oscillators[2] = oscillators[3] = &SJ("  -");
  }
  const int oscillatorColours[4] = {19, 16, 17, 18};
  for (int k = 0; k < 4; ++k) {
    dc.SetTextColor(fullColour(c.colour(oscillatorColours[k])));
    dc.TextOut(504 + 24 * k, 0, *oscillators[k]);
  }
  dc.SetTextColor(fullColour(c.colour(11)));
  dc.TextOut(608, 0, SJ("ｻｲﾝ"));
}

// A chart screen leaves the start at the newest day and marked fresh: the ← or → that opens
// the table shows it from there. Later presses page by 29 days and wrap around the ring.
void moveStart(TChart& c) {
  ChartScreenState& state = c.chart;
  state.tableStart = ringSlot(state.tableStart);
  if (state.tableFresh || c.arrowPressed != 1) {
    state.tableFresh = false;
    return;
  }
  if (c.viewMode == 16) {
    state.tableStart = state.tableStart < 611 ? state.tableStart + 29 : state.tableStart - 611;
  } else if (c.viewMode == 15) {
    state.tableStart = state.tableStart > 28 ? state.tableStart - 29 : state.tableStart + 611;
  }
}

bool haveSeries(const TChart& c) {
  return c.dates && c.opens && c.highs && c.lows && c.closes && c.changes && c.volumes &&
         c.maValue1 && c.maValue2 && c.maValue3 && c.maDeviation1 && c.maDeviation2 &&
         c.maDeviation3 && c.indicator1 && c.indicator2 && c.indicator3 && c.indicator4 &&
         c.signTotal;
}

void rows(TChart& c, TDC& dc) {
  using pelinor::text::format;
  const COLORREF figures = fullColour(c.colour(3));
  int s = c.chart.tableStart;
  for (int r = 0; r < TableRows; ++r, s = s == 0 ? RingDays - 1 : s - 1) {
    const int y = r * 16 + 16;
    dc.SetTextColor(figures);
    drawColumnFigure(dc, c.wideDatabase, 0, y, c.layout->formatDate(c.dates[s]),
                     6);
    const int prices[5] = {c.opens[s], c.highs[s], c.lows[s], c.closes[s], c.changes[s]};
    for (int k = 0; k < 5; ++k) {
      const int x = 48 + 40 * k;
      drawColumnFigure(dc, c.wideDatabase, x, y, format("%5d", prices[k]), 5, x + 38);
    }
    drawColumnFigure(dc, c.wideDatabase, 248, y, format("%8.1f", c.exactVolumes[s]), 8);

    const int averages[3] = {c.maValue1[s], c.maValue2[s], c.maValue3[s]};
    const int deviations[3] = {c.maDeviation1[s], c.maDeviation2[s], c.maDeviation3[s]};
    for (int k = 0; k < 3; ++k) {
      dc.SetTextColor(fullColour(c.colour(7 + k)));
      drawColumnFigure(dc, c.wideDatabase, 312 + 64 * k, y, format("%5d", averages[k]), 5,
                       350 + 64 * k);
      dc.TextOut(352 + 64 * k, y, format("%3d", deviations[k]));
    }
    const int indicators[4] = {c.indicator1[s], c.indicator2[s], c.indicator3[s],
                               c.indicator4[s]};
    const int indicatorColours[4] = {19, 16, 17, 18};
    for (int k = 0; k < 4; ++k) {
      dc.SetTextColor(fullColour(c.colour(indicatorColours[k])));
      dc.TextOut(504 + 24 * k, y, format("%3d", indicators[k]));
    }
    dc.SetTextColor(fullColour(c.colour(11)));
    dc.TextOut(608, y, format("%5d", c.signTotal[s]));
  }
}

}  // namespace

void TChart::priceTable(TDC& dc) {
  dc.SelectObject(chartTextFont());
  header(*this, dc);
  moveStart(*this);
  if (haveSeries(*this)) rows(*this, dc);
  arrowPressed = 0;
}

}  // namespace viewer
