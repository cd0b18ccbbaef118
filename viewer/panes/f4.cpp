// Pane 4 (view 4): RSI, WVR, the Shinohara ratios A and B and the close-position ratio, one
// pixel per day. With the sign flag set it draws the sign view's rows 6 to 9 and the total area.
#include <algorithm>

#include "viewer/panes/oscillator_panes.h"
#include "viewer/tchart.h"

namespace viewer {
namespace {

using indicators::OscillatorLine;

void signRows(TChart& c, TDC& dc, const PaneGeometry& g) {
  OscillatorWork& w = c.oscillators();
  const indicators::RingColumns ring = ringColumns(c);
  const indicators::SignParameters& p = c.signParameters;
  OscillatorLine& l = w.line[0];

  // The RSI row's period is its window; the computation takes the psychological period.
  indicators::rsi(ring, p.period[indicators::RowRsi] - 2, l);
  lineYs(l, g, Scale::Percent, w.y);
  signRow(c, dc, l, w.y, indicators::RowRsi);
  signSeparator(c, dc, indicators::RowRsi);

  indicators::wvr(ring, p.period[indicators::RowWvr], l);
  lineYs(l, g, Scale::Percent, w.y);
  signRow(c, dc, l, w.y, indicators::RowWvr);
  signSeparator(c, dc, indicators::RowWvr);

  indicators::shinoharaA(ring, p.period[indicators::RowShinoharaA], l);
  lineYs(l, g, Scale::Ratio, w.y);
  signRow(c, dc, l, w.y, indicators::RowShinoharaA);

  indicators::shinoharaB(ring, p.period[indicators::RowShinoharaB], l);
  lineYs(l, g, Scale::Ratio, w.y);
  signRow(c, dc, l, w.y, indicators::RowShinoharaB);

  signTotalArea(c, dc, g);
}

}  // namespace

void TChart::f4(TDC& dc) {
  if (!haveRing(*this)) return;
  const PaneGeometry g(setting(35));
  if (signFlag != 0) {
    signRows(*this, dc, g);
    return;
  }
  dc.SelectObject(paneFont());
  std::fill_n(indicator1.get(), RingDays, 0);
  std::fill_n(indicator2.get(), RingDays, 0);
  std::fill_n(indicator3.get(), RingDays, 0);
  std::fill_n(indicator4.get(), RingDays, 0);
  drawPaneGrid(*this, dc, g);
  drawMonthLines(*this, dc, 18, g.h + 23);

  OscillatorWork& w = oscillators();
  const indicators::RingColumns ring = ringColumns(*this);
  OscillatorLine& l = w.line[0];
  const int period = setting(21);

  indicators::rsi(ring, setting(32), l);
  indicators::storeSeries(l, ring.oldest, indicator2.get());
  lineYs(l, g, Scale::Percent, w.y);
  drawOscillator(dc, l, w.y, g, fullColour(colour(16)));

  indicators::wvr(ring, period, l);
  indicators::storeSeries(l, ring.oldest, indicator1.get());
  lineYs(l, g, Scale::Percent, w.y);
  drawOscillator(dc, l, w.y, g, fullColour(colour(19)));

  indicators::shinoharaA(ring, period, l);
  indicators::storeSeries(l, ring.oldest, indicator3.get());
  lineYs(l, g, Scale::Ratio, w.y);
  drawOscillator(dc, l, w.y, g, fullColour(colour(17)));

  indicators::closePosition(ring, period, l);
  lineYs(l, g, Scale::Ratio, w.y);
  drawOscillator(dc, l, w.y, g, fullColour(colour(7)));

  indicators::shinoharaB(ring, period, l);
  indicators::storeSeries(l, ring.oldest, indicator4.get());
  lineYs(l, g, Scale::Ratio, w.y);
  drawOscillator(dc, l, w.y, g, fullColour(colour(18)));

  dc.SetTextColor(fullColour(colour(2)));
  drawAxisLabels(dc, g, [](int j, int& value) {
    value = 20 * j;
    return true;
  });
}

}  // namespace viewer
