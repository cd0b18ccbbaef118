// Pane 5 (view 5): the psychological line, the deviations from the three daily moving averages
// and the three RCIs, one pixel per day. With the sign flag set it draws the sign view's rows
// 0 to 5 instead.
#include <algorithm>
#include <optional>

#include "platform/text/cp932.h"
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

  indicators::psychologicalLine(ring, p.period[indicators::RowPsychological], l);
  signRow(c, dc, l, g, Scale::Percent, indicators::RowPsychological);
  signSeparator(c, dc, indicators::RowPsychological);

  // The 2nd average is kept for the peak marks of the total.
  indicators::movingAverageDeviation(ring, p.period[indicators::RowDeviation2], l, w.averages);
  indicators::storeWalkValues(w.averages, 0, ring.oldest, c.maValue2.get());
  signRow(c, dc, l, g, Scale::Percent, indicators::RowDeviation2);

  indicators::movingAverageDeviation(ring, p.period[indicators::RowDeviation3], l);
  signRow(c, dc, l, g, Scale::Percent, indicators::RowDeviation3);
  signSeparator(c, dc, indicators::RowDeviation3);

  for (int row = indicators::RowRci1; row <= indicators::RowRci3; ++row) {
    indicators::rci(ring, p.period[row], w.rciWork, l);
      signRow(c, dc, l, g, Scale::Rci, row);
  }
  signSeparator(c, dc, indicators::RowRci3);
}

}  // namespace

void TChart::f5(TDC& dc) {
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

  indicators::psychologicalLine(ring, setting(32), l);
  plotOscillator(dc, l, ring.oldest, indicator1.get(), g, Scale::Percent, w,
                 fullColour(colour(19)));

  int* deviations[3] = {maDeviation1.get(), maDeviation2.get(), maDeviation3.get()};
  for (int d = 0; d < 3; ++d) {
    std::optional<float> newest;
    indicators::movingAverageDeviation(ring, setting(20 + d), l, d == 1 ? w.averages : nullptr,
                                       &newest);
    if (d == 1) indicators::storeWalkValues(w.averages, l.lookback, ring.oldest, maValue2.get());
    const COLORREF lineColour = fullColour(colour(7 + d));
    plotOscillator(dc, l, ring.oldest, deviations[d], g, Scale::Percent, w, lineColour);
    // The newest day's deviation, also when that day traded nothing (thinly traded stocks).
    if (newest) {
      dc.SetTextColor(lineColour);
      dc.TextOut(600, 15 + 8 * d, pelinor::text::format("%5.1f", static_cast<double>(*newest)));
    }
  }

  int* rcis[3] = {indicator2.get(), indicator3.get(), indicator4.get()};
  for (int n = 0; n < 3; ++n) {
    const int period = setting(29 + n);
    if (period <= 0) continue;  // an RCI of period 0 is switched off
    indicators::rci(ring, period, w.rciWork, l);
    plotOscillator(dc, l, ring.oldest, rcis[n], g, Scale::Rci, w, fullColour(colour(16 + n)));
  }

  dc.SetTextColor(fullColour(colour(2)));
  drawAxisLabels(dc, g, [](int j, int& value) {
    value = -100 + 20 * j;
    return j <= 10;
  });
}

}  // namespace viewer
