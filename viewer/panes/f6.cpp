// The base-date comparison chart (mode 97): the recently shown stocks as percentage changes from
// their close on the base date, 640 days at one unit per day over the whole window, -100 % at the
// bottom and +100 % at the top.
#include <span>
#include <string>

#include "marketdb/layout.h"
#include "platform/text/cp932.h"
#include "viewer/indicators/base_change.h"
#include "viewer/chart_pointer.h"
#include "viewer/tchart.h"

namespace viewer {
namespace {

constexpr int ChartBottom = 471;
constexpr int MonthLineTop = 18;
constexpr int LineTopLimit = 15;     // a point must lie below +100 % ...
constexpr int LineBottomLimit = 464;  // ... and above the frame to be joined
constexpr int RecentCount = 7;

// Fixed line colour of each position of the recently shown list.
constexpr COLORREF StockColour[RecentCount] = {
    RGB(0, 0, 255),   RGB(0, 255, 0),   RGB(0, 255, 255),  RGB(255, 0, 0),
    RGB(255, 0, 255), RGB(255, 255, 0), RGB(255, 255, 255),
};

TFont headerFont() { return TFont(SJ("MSｺﾞｼｯｸ"), 16, 6, FW_NORMAL, SHIFTJIS_CHARSET); }

void line(TDC& dc, int x1, int y1, int x2, int y2) {
  dc.MoveTo(x1, y1);
  dc.LineTo(x2, y2);
}

// Grid lines every 10 %, solid at -50 %, 0 % and +50 %, and the bottom line.
void drawGrid(const TChart& c, TDC& dc) {
  const COLORREF half = halfColour(c.colour(3));
  for (int j = 0; j <= 20; ++j) {
    const bool solid = j == 5 || j == 10 || j == 15;
    dc.SelectObject(TPen(half, 0, solid ? PS_SOLID : PS_DOT));
    const int y = comparisonGridY(j);
    line(dc, 0, y, 639, y);
  }
  dc.SelectObject(TPen(half, 0, PS_DOT));
  line(dc, 0, ChartBottom, 639, ChartBottom);
}

// Month lines over the days of the stock shown before the comparison (the columns on entry);
// the first change is only where its history starts and carries no label.
void drawMonths(TChart& c, TDC& dc) {
  if (!c.dates) return;
  ChartScreenState& state = c.chart;
  const COLORREF half = halfColour(c.colour(3));
  const COLORREF monthColour = fullColour(c.colour(1));
  const int oldest = oldestSlot(c.storePosition);
  state.resetMonthDetection();
  int changes = 0;
  for (int x = 0; x < RingDays; ++x) {
    const std::int32_t date = c.dates[ringSlot(oldest + x)];
    if (date == 0 || !state.monthChanged(date)) continue;
    ++changes;
    dc.SelectObject(TPen(half, 0, PS_DOT));
    line(dc, x, MonthLineTop, x, ChartBottom);
    if (changes >= 2) {
      dc.SetTextColor(monthColour);
      dc.TextOut(x + 1, 462, std::string(state.dateText + 2, 2));
    }
  }
}

// Joins the points of one stock's line where both ends lie inside the chart.
void drawStockLine(TDC& dc, std::span<const int, RingDays> ys, COLORREF colour) {
  dc.SelectObject(TPen(colour));
  auto inside = [](int y) { return y > LineTopLimit && y < LineBottomLimit; };
  for (int x = 1; x < RingDays; ++x) {
    if (inside(ys[x - 1]) && inside(ys[x])) line(dc, x - 1, ys[x - 1], x, ys[x]);
  }
}

// The scale: -100 % at the bottom to +100 % at the top, the end labels kept inside the window.
void drawLabels(const TChart& c, TDC& dc) {
  dc.SetTextColor(fullColour(c.colour(2)));
  for (int j = 0; j <= 20; ++j) {
    int y = comparisonGridY(j) - 2;
    if (j == 0) y -= 3;
    if (j == 20) y += 3;
    dc.TextOut(0, y, pelinor::text::format("%4d", -100 + 10 * j));
  }
}

}  // namespace

void TChart::f6(TDC& dc) {
  // A colour number of 99 for the grid keeps the small font for every text.
  const bool switchFonts = colour(3).number != 99;
  dc.SelectObject(chartLabelFont());
  drawGrid(*this, dc);
  drawMonths(*this, dc);

  if (switchFonts) dc.SelectObject(headerFont());
  dc.SetTextColor(RGB(255, 255, 255));
  dc.TextOut(0, 0, SJ("基準"));
  // A full date is drawn narrower, so that it ends before the first stock's code; the font
  // selected again after it is the header's.
  if (switchFonts)
    drawColumnFigure(dc, wideDatabase, 32, 0, layout->formatDate(baseDate), 6);
  else
    dc.TextOut(32, 0, layout->formatDate(baseDate));

  beginComparisonReadout(*this);
  if (table && arraysReady) {
    const std::span<const std::int32_t, RingDays> dateColumn(dates.get(), RingDays);
    const std::span<const float, RingDays> volumeColumn(volumes.get(), RingDays);
    const std::span<const int, RingDays> closeColumn(closes.get(), RingDays);
    int ys[RingDays];
    int lastFound = -1;
    for (int k = 0; k < RecentCount; ++k) {
      // Positions never filled hold 0, which is no stock.
      const int index = table->findStock(recentCodes[k]);
      if (index < 0) continue;
      lastFound = index;
      dc.SetTextColor(StockColour[k]);
      dc.TextOut(80 * k + 80, 0, marketdb::codeText(codeOf(index)));
      dc.TextOut(80 * k + 112, 0, std::string(shortName(table->kmeiidx[index])));

      readStockIntoColumns(index);
      const int base = baseClose(dateColumn, volumeColumn, closeColumn, baseDate);
      readComparedStock(*this, codeOf(index), base, StockColour[k]);
      // No day on or before the base date, or a base close of 0: no line.
      if (comparisonLine(volumeColumn, closeColumn, oldestSlot(storePosition), base, ys))
        drawStockLine(dc, ys, StockColour[k]);
    }
    // The columns now hold the last stock compared; a following chart screen shows that stock.
    if (lastFound >= 0) {
      selectCode(table->kcodeidx[static_cast<std::size_t>(lastFound)]);
      lookupFailed = false;
    }
  }

  dc.SelectObject(chartLabelFont());
  drawLabels(*this, dc);
  dc.SelectObject(chartTextFont());
}

}  // namespace viewer
