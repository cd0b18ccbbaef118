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
  signRow(c, dc, l, g, Scale::Percent, indicators::RowRsi);
  signSeparator(c, dc, indicators::RowRsi);

  indicators::wvr(ring, p.period[indicators::RowWvr], l);
  signRow(c, dc, l, g, Scale::Percent, indicators::RowWvr);
  signSeparator(c, dc, indicators::RowWvr);

  indicators::shinoharaA(ring, p.period[indicators::RowShinoharaA], l);
  signRow(c, dc, l, g, Scale::Ratio, indicators::RowShinoharaA);

  indicators::shinoharaB(ring, p.period[indicators::RowShinoharaB], l);
  signRow(c, dc, l, g, Scale::Ratio, indicators::RowShinoharaB);

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
  beginOscillatorPane(*this, dc, g);

  OscillatorWork& w = oscillators();
  const indicators::RingColumns ring = ringColumns(*this);
  OscillatorLine& l = w.line[0];
  const int period = setting(21);
  auto plot = [&](int* series, Scale scale, int colourSetting) {
    plotOscillator(dc, l, ring.oldest, series, g, scale, w, fullColour(colour(colourSetting)));
  };

  indicators::rsi(ring, setting(32), l);
  plot(indicator2.get(), Scale::Percent, 16);
  indicators::wvr(ring, period, l);
  plot(indicator1.get(), Scale::Percent, 19);
  indicators::shinoharaA(ring, period, l);
  plot(indicator3.get(), Scale::Ratio, 17);
  indicators::closePosition(ring, period, l);
  plot(nullptr, Scale::Ratio, 7);
  indicators::shinoharaB(ring, period, l);
  plot(indicator4.get(), Scale::Ratio, 18);

  dc.SetTextColor(fullColour(colour(2)));
  drawAxisLabels(dc, g, [](int j, int& value) {
    value = 20 * j;
    return true;
  });
}

}  // namespace viewer
