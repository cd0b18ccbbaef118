// The drawing steps shared by the oscillator panes and the sign view.
#include "viewer/panes/oscillator_panes.h"

#include <algorithm>
#include <cstdint>

#include "platform/text/cp932.h"
#include "viewer/tchart.h"

namespace viewer {

using indicators::OscillatorLine;

OscillatorWork& TChart::oscillators() {
  if (!oscillatorWork) oscillatorWork = std::make_unique<OscillatorWork>();
  return *oscillatorWork;
}

TFont paneFont() { return TFont(SJ("MSｺﾞｼｯｸ"), 10, 6, FW_NORMAL, 0); }

bool haveRing(const TChart& c) {
  return c.dates && c.opens && c.highs && c.lows && c.closes && c.changes && c.volumes &&
         c.maValue1 && c.maValue2 && c.maValue3 && c.maDeviation1 && c.maDeviation2 &&
         c.maDeviation3 && c.indicator1 && c.indicator2 && c.indicator3 && c.indicator4 &&
         c.signTotal;
}

indicators::RingColumns ringColumns(const TChart& c) {
  using Ints = std::span<const int, RingDays>;
  return indicators::RingColumns{
      Ints(c.opens.get(), RingDays),  Ints(c.highs.get(), RingDays),
      Ints(c.lows.get(), RingDays),   Ints(c.closes.get(), RingDays),
      Ints(c.changes.get(), RingDays), std::span<const float, RingDays>(c.volumes.get(), RingDays),
      oldestSlot(c.storePosition)};
}

namespace {

void line(TDC& dc, int x1, int y1, int x2, int y2) {
  dc.MoveTo(x1, y1);
  dc.LineTo(x2, y2);
}

}  // namespace

void drawPaneGrid(TChart& c, TDC& dc, const PaneGeometry& g) {
  const COLORREF half = halfColour(c.colour(3));
  const TPen solid(half, 0, PS_SOLID);
  const TPen dotted(half, 0, PS_DOT);
  for (int j = 0; j <= 20; ++j) {
    dc.SelectObject(j == 5 || j == 10 || j == 15 ? solid : dotted);
    const int y = g.gridY(j);
    line(dc, 0, y, 639, y);
  }
}

void drawMonthLines(TChart& c, TDC& dc, int top, int bottom) {
  dc.SelectObject(TPen(halfColour(c.colour(3)), 0, PS_DOT));
  const int oldest = oldestSlot(c.storePosition);
  c.chart.resetMonthDetection();
  for (int k = 0; k < RingDays; ++k) {
    const std::int32_t date = c.dates[ringSlot(oldest + k)];
    if (date != 0 && c.chart.monthChanged(date)) line(dc, k, top, k, bottom);
  }
}

void lineYs(const OscillatorLine& l, const PaneGeometry& g, Scale scale, int* ys) {
  for (int k = 0; k < RingDays; ++k) {
    if (!l.hasEntry(k)) {
      ys[k] = 0;
      continue;
    }
    const float v = l.value[k];
    ys[k] = scale == Scale::Percent ? g.percentY(v) : scale == Scale::Rci ? g.rciY(v) : g.ratioY(v);
  }
}

void drawOscillator(TDC& dc, const OscillatorLine& l, const int* ys, const PaneGeometry& g,
                    COLORREF colour) {
  dc.SelectObject(TPen(colour));
  // A segment needs both of its days: it starts the day after the first entry.
  for (int k = std::max(l.lookback + 1, 1); k < RingDays; ++k) {
    if (g.inside(ys[k - 1]) && g.inside(ys[k])) line(dc, k - 1, ys[k - 1], k, ys[k]);
  }
}

void beginOscillatorPane(TChart& c, TDC& dc, const PaneGeometry& g) {
  dc.SelectObject(paneFont());
  std::fill_n(c.indicator1.get(), RingDays, 0);
  std::fill_n(c.indicator2.get(), RingDays, 0);
  std::fill_n(c.indicator3.get(), RingDays, 0);
  std::fill_n(c.indicator4.get(), RingDays, 0);
  drawPaneGrid(c, dc, g);
  drawMonthLines(c, dc, 18, g.h + 23);
}

void plotOscillator(TDC& dc, const OscillatorLine& l, int oldest, int* series,
                    const PaneGeometry& g, Scale scale, OscillatorWork& work, COLORREF colour) {
  if (series != nullptr) indicators::storeSeries(l, oldest, series);
  lineYs(l, g, scale, work.y);
  drawOscillator(dc, l, work.y, g, colour);
}

void drawAxisLabelRow(TDC& dc, const PaneGeometry& g, int j, int x, int value) {
  int y = indicators::truncToInt(g.base() - g.r * static_cast<float>(j) - 3.0f) - 2;
  if (j == 0) y -= 3;
  if (j == 20) y += 3;
  dc.TextOut(x, y, pelinor::text::format("%4d", value));
}

// ---- Sign view ------------------------------------------------------------------------------

namespace {

COLORREF tickColour(indicators::Tick t) {
  switch (t) {
    case indicators::Tick::Green: return RGB(0, 255, 0);
    case indicators::Tick::DarkGreen: return RGB(0, 128, 0);
    case indicators::Tick::Red: return RGB(255, 0, 0);
    case indicators::Tick::DarkRed: return RGB(128, 0, 0);
    case indicators::Tick::None: break;
  }
  return RGB(0, 0, 0);
}

}  // namespace

void signRow(TChart& c, TDC& dc, const OscillatorLine& l, const PaneGeometry& g, Scale scale,
             int row) {
  int* ys = c.oscillators().y;
  lineYs(l, g, scale, ys);
  const indicators::SignParameters& p = c.signParameters;
  const int oldest = oldestSlot(c.storePosition);
  indicators::addToSignTotal(l, p.weight[row], oldest, c.signTotal.get());
  const int top = c.signRowTop + c.signRowHeight * row;
  indicators::Tick selected = indicators::Tick::None;
  for (int k = std::max(l.lookback, 0); k < RingDays; ++k) {
    if (k + 1 < p.period[row] || !(c.volumes[ringSlot(oldest + k)] > 0.0f)) continue;
    // The first entry has no previous point: it neither rose nor fell.
    const int previousY = l.hasEntry(k - 1) ? ys[k - 1] : ys[k];
    const indicators::Tick t = indicators::signTick(l.series[k], p.low[row], p.high[row], ys[k],
                                                    previousY);
    if (t == indicators::Tick::None) continue;
    if (t != selected) {
      dc.SelectObject(TPen(tickColour(t)));
      selected = t;
    }
    line(dc, k, top, k, top + c.signRowHeight);
  }
  ++c.signRowTop;
}

void signSeparator(TChart& c, TDC& dc, int row) {
  dc.SelectObject(TPen(halfColour(c.colour(3)), 0, PS_DOT));
  const int y = c.signRowTop + c.signRowHeight * (row + 1);
  line(dc, 0, y, 639, y);
}

void signTotalArea(TChart& c, TDC& dc, const PaneGeometry& g) {
  const COLORREF half = halfColour(c.colour(3));
  for (int row = indicators::RowShinoharaB; row <= 19; ++row) {
    ++c.signRowTop;
    dc.SelectObject(TPen(half, 0, row == 14 ? PS_SOLID : PS_DOT));
    const int y = c.signRowTop + c.signRowHeight * (row + 1);
    line(dc, 0, y, 639, y);
  }

  const bool fixedView = c.viewMode != 77;
  const int warmUp = indicators::signWarmUp(fixedView, c.periods);
  const int oldest = oldestSlot(c.storePosition);
  int* totals = c.signTotal.get();
  const indicators::SignRange range = indicators::signRange(totals, oldest, warmUp);
  if (fixedView || c.peakSign != 0) {
    const int start = std::clamp(c.setting(21), 0, RingDays) - 1;
    indicators::peakSign(c.oscillators().averages, start, range, oldest, totals);
  }

  // Without a range there is nothing to scale the total by: no line.
  if (!range.flat()) {
    const float span = static_cast<float>(static_cast<std::int64_t>(range.max) - range.min);
    const float middle = static_cast<float>(range.min) + span / 2.0f;
    int* ys = c.oscillators().y;
    for (int k = 0; k < RingDays; ++k) {
      const float total = static_cast<float>(totals[ringSlot(oldest + k)]);
      ys[k] = indicators::truncToInt(g.base() - 5.0f * g.r -
                                     (total - middle) / span * 100.0f * g.r / 10.0f);
    }
    dc.SelectObject(TPen(fullColour(c.colour(11))));
    for (int k = std::max(warmUp, 1); k < RingDays; ++k) {
      if (g.inside(ys[k - 1]) && ys[k] > 15) line(dc, k - 1, ys[k - 1], k, ys[k]);
    }
  }

  dc.SelectObject(paneFont());
  dc.SetTextColor(fullColour(c.colour(2)));
  dc.TextOut(0, g.h / 2 + 20, pelinor::text::format("%5d", range.max));
  dc.TextOut(0, g.h + 12, pelinor::text::format("%5d", range.min));
}

}  // namespace viewer
