// The chart screen of modes 3, 4, 5, 7, 77, 8 and 9: the top row, the pane of the mode in the
// upper area and (in all modes but 8) the long-term chart below it.
#include <string>

#include "marketdb/layout.h"
#include "platform/text/cp932.h"
#include "viewer/chart_pointer.h"
#include "viewer/tchart.h"

namespace viewer {

TFont chartTextFont() { return TFont(SJ("MSｺﾞｼｯｸ"), 16, 6, FW_NORMAL, SHIFTJIS_CHARSET); }
TFont chartLabelFont() { return TFont(SJ("MSｺﾞｼｯｸ"), 10, 6, FW_NORMAL, DEFAULT_CHARSET); }

void drawColumnFigure(TDC& dc, bool wide, int x, int y, const std::string& text,
                      int columnChars, int rightEdge) {
  constexpr int NarrowWidth = 5;
  if (!wide || static_cast<int>(text.size()) <= columnChars) {
    dc.TextOut(x, y, text);
    return;
  }
  dc.SelectObject(TFont(SJ("MSｺﾞｼｯｸ"), 16, NarrowWidth, FW_NORMAL, SHIFTJIS_CHARSET));
  const int width = NarrowWidth * static_cast<int>(text.size());
  dc.TextOut(rightEdge > 0 ? rightEdge - width : x, y, text);
  dc.SelectObject(chartTextFont());
}

void TChart::drawTopRow(TDC& dc) {
  if (!table || currentStock < 0 || currentStock >= stockCount) return;
  dc.SelectObject(chartTextFont());
  dc.SetTextColor(RGB(255, 255, 0));
  dc.TextOut(0, 0, marketdb::codeText(codeOf(currentStock)));
  dc.SetTextColor(RGB(255, 255, 255));
  dc.TextOut(32, 0, table->kmeiidx[currentStock].text);
  const std::string& market = marketdb::sectionLabel(table->ksijo[currentStock]);
  dc.SetTextColor(RGB(255, 0, 0));
  if (!market.empty()) dc.TextOut(136, 0, market);
  dc.TextOut(511, 0, SJ("注目登録"));
  dc.SetTextColor(RGB(0, 255, 255));
  dc.TextOut(575, 0, SJ("注目削除"));
}

void TChart::drawTopFigures(TDC& dc) {
  if (!dates || !opens || !highs || !lows || !closes || !changes || !volumes) return;
  const int s = ringSlot(storePosition);
  dc.SelectObject(chartTextFont());
  dc.SetTextColor(fullColour(colour(3)));
  const bool wide = wideDatabase;
  drawColumnFigure(dc, wide, 184, 0, layout->formatDate(dates[s]), 6);
  const int values[5] = {opens[s], highs[s], lows[s], closes[s], changes[s]};
  for (int k = 0; k < 5; ++k) {
    const int x = 232 + 40 * k;
    drawColumnFigure(dc, wide, x, 0, pelinor::text::format("%5d", values[k]), 5, x + 38);
  }
  drawColumnFigure(dc, wide, 432, 0, pelinor::text::format("%8.1f", exactVolumes[s]), 8);
}

void TChart::chartScreen(TDC& dc) {
  drawTopFigures(dc);
  // The scales of the long-term chart are known before the pane runs, so that a pane drawing
  // into the lower area uses those of the stock now shown.
  longTermScales(chart, chartMax, chartMin, volumeMax, setting(35));
  keepScrollForStock();
  {
  // While scrolled, the pane sees the ring as it stood on its newest shown day.
  const ShownRange shown(*this, pointer->scroll);
  switch (viewMode) {
    case 9:
      lastPaneMode = 9;
      f9(dc);
      break;
    case 8:
      lastPaneMode = 8;
      f8(dc);
      break;
    case 5:
      lastPaneMode = 5;
      f5(dc);
      break;
    case 4:
      lastPaneMode = 4;
      f4(dc);
      break;
    case 3:
      lastPaneMode = 3;
      f3(dc);
      lastPaneMode = 9;
      f9(dc);
      break;
    case 7:
    case 77:
      signView(dc);
      lastPaneMode = 7;
      break;
    default:
      return;
  }
  readUpperPane(*this);
  }
  dc.SelectObject(chartTextFont());
  if (viewMode != 8) {
    // The equilibrium chart's part below goes first, as f3 draws it when not scrolled.
    if (viewMode == 3 && pointer->scroll > 0) f3LongTerm(dc);
    longTermChart(dc);
    markShownRange(*this, dc);
  }
  readLowerPane(*this);
}

}  // namespace viewer
