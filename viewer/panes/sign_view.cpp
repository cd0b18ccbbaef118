// The sign view of modes 7 (fixed textbook parameters) and 77 (the user's periods and weights):
// one row of ticks per oscillator and the weighted total below them, drawn by f5 and f4 with
// the sign flag set.
#include <algorithm>

#include "viewer/panes/oscillator_panes.h"
#include "viewer/tchart.h"

namespace viewer {

void TChart::signView(TDC& dc) {
  if (!haveRing(*this)) return;
  std::fill_n(signTotal.get(), RingDays, 0);
  // View 7 forces every weight to 10; the user's weights stay as they are.
  signParameters = viewMode == 77 ? indicators::userSignParameters(periods, ratios)
                                  : indicators::fixedSignParameters();
  const int h = setting(35);
  signFlag = 1;
  signRowHeight = (h - 4) / 20;
  signRowTop = 20;

  dc.SelectObject(TPen(halfColour(colour(3)), 0, PS_DOT));
  dc.MoveTo(0, 16);
  dc.LineTo(639, 16);
  drawMonthLines(*this, dc, 16, h + 23);
  dc.SelectObject(TPen(halfColour(colour(3)), 0, PS_DOT));
  dc.MoveTo(639, 16);
  dc.LineTo(639, h + 23);

  f5(dc);
  f4(dc);

  signFlag = 0;
  // Only the total outlives the sign view; the price table shows it beside empty columns.
  for (int* series : {maDeviation1.get(), maDeviation2.get(), maDeviation3.get(), maValue1.get(),
                      maValue2.get(), maValue3.get(), indicator1.get(), indicator2.get(),
                      indicator3.get(), indicator4.get()}) {
    std::fill_n(series, RingDays, 0);
  }
  lastPaneMode = 7;
}

}  // namespace viewer
