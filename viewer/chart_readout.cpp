// The readout tables of the chart screens: for every column a pane draws, the day (or week) it
// stands for and the value of each of the pane's lines there. They are filled once per paint,
// after the pane drew, so that a pointer move only looks a column up.
#include <algorithm>
#include <cmath>

#include "platform/text/cp932.h"
#include "viewer/chart_pointer.h"
#include "viewer/indicators/averages.h"
#include "viewer/indicators/ichimoku.h"
#include "viewer/long_term_chart.h"
#include "viewer/panes/daily_chart.h"
#include "viewer/panes/oscillator_panes.h"
#include "viewer/tchart.h"

namespace viewer {
namespace {

// Where the lower long-term chart lies and where its prices sit (as longTermPriceY draws).
constexpr int LongTermBottom = 471;
constexpr float LongTermBaseY = 463.0f;

// Columns of the ring, one per slot from `firstSlot`.
void readDays(const TChart& c, ReadoutPane& p, int firstSlot, int count) {
  p.count = std::clamp(count, 0, RingDays);
  for (int k = 0; k < p.count; ++k) {
    const int s = ringSlot(firstSlot + k);
    p.date[k] = c.dates[s];
    p.open[k] = c.opens[s];
    p.high[k] = c.highs[s];
    p.low[k] = c.lows[s];
    p.close[k] = c.closes[s];
    p.volume[k] = c.volumes[s];
  }
}

// A line known per walk step: column k is step k + offset.
void lineFromWalk(ReadoutLine& line, int count, const float* values, const bool* defined,
                  int offset) {
  for (int k = 0; k < count; ++k) {
    line.has[k] = defined[k + offset];
    line.value[k] = defined[k + offset] ? values[k + offset] : 0.0f;
  }
}

// A line of an oscillator pane: column k is walk day k.
void lineFromOscillator(ReadoutLine& line, const indicators::OscillatorLine& l) {
  for (int k = 0; k < RingDays; ++k) {
    line.has[k] = l.hasEntry(k);
    line.value[k] = l.hasEntry(k) ? l.value[k] : 0.0f;
  }
}

void readDailyChart(TChart& c, ReadoutPane& p, bool view3) {
  const int h = c.setting(35);
  p.top = 16;
  p.bottom = h + 24;
  p.x0 = view3 ? -77 : 1;
  p.dx = 3;
  const int firstShown = RingDays - DailyDays;
  readDays(c, p, ringSlot(c.storePosition - (DailyDays - 1)), DailyDays);
  const PriceAxis axis = dailyAxis(c);
  if (axis.scale > 0.0f) {
    p.priced = true;
    p.priceBase = static_cast<float>(axis.base);
    p.priceZeroY = static_cast<float>(h + 15);
    p.priceScale = axis.scale;
  }
  const int oldest = oldestSlot(c.storePosition);
  if (!view3) {
    // The three averages f9 walked: shown day k is walk step k + period.
    for (int a = 0; a < 3; ++a) {
      const int period = c.setting(20 + a);
      if (period < 1 || period > RingDays) continue;
      ReadoutLine* line = p.addLine(SJ("平均") + std::to_string(a + 1),
                                    fullColour(c.colour(7 + a)), 1);
      if (line) lineFromWalk(*line, p.count, c.panes.average[a], c.panes.averageDefined[a], period);
    }
    return;
  }
  // The conversion and base lines of each shown day, walked as f3 walks them.
  const int periods[2] = {ConversionDays, BaseLineDays};
  const char* names[2] = {"転換", "基準"};
  for (int n = 0; n < 2; ++n) {
    ReadoutLine* line =
        p.addLine(pelinor::text::toCp932(names[n]), fullColour(c.colour(10 + n)), 1);
    if (!line) continue;
    ichimokuLine(c.highs.get(), c.lows.get(), c.volumes.get(), oldest, firstShown - periods[n],
                 DailyDays + periods[n], periods[n], c.panes.line, c.panes.lineDefined);
    lineFromWalk(*line, p.count, c.panes.line, c.panes.lineDefined, periods[n]);
  }
}

void readOscillatorPane(TChart& c, ReadoutPane& p) {
  p.top = 16;
  p.bottom = c.setting(35) + 24;
  p.x0 = 0;
  p.dx = 1;
  const int oldest = oldestSlot(c.storePosition);
  readDays(c, p, oldest, RingDays);
  if (!haveRing(c)) return;
  OscillatorWork& w = c.oscillators();
  const indicators::RingColumns ring = ringColumns(c);
  indicators::OscillatorLine& l = w.line[1];
  auto add = [&](const char* utf8, int colourNumber) {
    if (ReadoutLine* line = p.addLine(pelinor::text::toCp932(utf8),
                                      fullColour(c.colour(colourNumber)), 1))
      lineFromOscillator(*line, l);
  };
  if (c.viewMode == 5) {
    indicators::psychologicalLine(ring, c.setting(32), l);
    add("ｻｲｺﾛ", 19);
    const char* deviations[3] = {"乖離1", "乖離2", "乖離3"};
    for (int d = 0; d < 3; ++d) {
      indicators::movingAverageDeviation(ring, c.setting(20 + d), l, nullptr);
      add(deviations[d], 7 + d);
    }
    const char* rcis[3] = {"RCI1", "RCI2", "RCI3"};
    for (int n = 0; n < 3; ++n) {
      if (c.setting(29 + n) <= 0) continue;
      indicators::rci(ring, c.setting(29 + n), w.rciWork, l);
      add(rcis[n], 16 + n);
    }
  } else if (c.viewMode == 4) {
    const int period = c.setting(21);
    indicators::rsi(ring, c.setting(32), l);
    add("RSI", 16);
    indicators::wvr(ring, period, l);
    add("WVR", 19);
    indicators::shinoharaA(ring, period, l);
    add("篠原A", 17);
    indicators::closePosition(ring, period, l);
    add("位置", 7);
    indicators::shinoharaB(ring, period, l);
    add("篠原B", 18);
  } else if (ReadoutLine* line = p.addLine(SJ("合計"), fullColour(c.colour(11)), 0)) {
    // The sign view: the weighted total, stored by ring slot.
    for (int k = 0; k < RingDays; ++k) {
      line->has[k] = p.volume[k] != 0.0f;
      line->value[k] = static_cast<float>(c.signTotal[ringSlot(oldest + k)]);
    }
  }
}

void readWeeklyChart(TChart& c, ReadoutPane& p) {
  const WeekArrays& weeks = c.panes.weeks;
  const int first = firstShownWeek(weeks.count);
  p.top = 16;
  p.bottom = c.setting(35) + 24;
  p.x0 = 2;
  p.dx = 5;
  p.count = std::clamp(weeks.count - first, 0, ShownWeeks);
  for (int k = 0; k < p.count; ++k) {
    p.date[k] = weeks.date[first + k];
    p.open[k] = weeks.open[first + k];
    p.high[k] = weeks.high[first + k];
    p.low[k] = weeks.low[first + k];
    p.close[k] = weeks.close[first + k];
    p.volume[k] = weeks.volume[first + k];
  }
  const int h = c.setting(35);
  if (c.dailyScale > 0.0f) {
    p.priced = true;
    p.priceBase = static_cast<float>(c.dailyBase);
    p.priceZeroY = static_cast<float>(h + 15);
    p.priceScale = c.dailyScale;
  }
  for (int a = 0; a < 2; ++a) {
    ReadoutLine* line = p.addLine(SJ("平均") + std::to_string(a + 1),
                                  fullColour(c.colour(10 + a)), 1);
    if (line) lineFromWalk(*line, p.count, c.panes.weekAverage[a], c.panes.weekAverageDefined[a], 0);
  }
}

}  // namespace

int ReadoutPane::columnAt(int x) const {
  if (!active || count <= 0 || dx <= 0) return -1;
  // The nearest column: half a step either side of its x.
  const int offset = x - x0 + dx / 2;
  if (offset < 0) return -1;
  const int k = offset / dx;
  return k < count ? k : -1;
}

ReadoutLine* ReadoutPane::addLine(std::string label, COLORREF colour, int decimals) {
  if (lineCount >= MaxLines) return nullptr;
  ReadoutLine& line = lines[lineCount++];
  line.label = std::move(label);
  line.colour = colour;
  line.decimals = decimals;
  std::fill(std::begin(line.has), std::end(line.has), false);
  return &line;
}

void readUpperPane(TChart& c) {
  ReadoutPane& p = c.pointer->upper;
  p.clear();
  if (!c.arraysReady || !c.dates) return;
  switch (c.viewMode) {
    case 9: readDailyChart(c, p, false); break;
    case 3: readDailyChart(c, p, true); break;
    case 4: case 5: case 7: case 77: readOscillatorPane(c, p); break;
    case 8: readWeeklyChart(c, p); break;
    default: return;
  }
  p.active = true;
}

void beginComparisonReadout(TChart& c) {
  c.pointer->lower.clear();
  ReadoutPane& p = c.pointer->upper;
  p.clear();
  p.top = 16;
  p.bottom = LongTermBottom + 1;
  p.x0 = 0;
  p.dx = 1;
  p.active = c.arraysReady && c.dates;
}

void readComparedStock(TChart& c, marketdb::StockCode code, int base, COLORREF colour) {
  ReadoutPane& p = c.pointer->upper;
  if (!p.active) return;
  // The days are those of the stock read last; every compared stock has the same ring slots.
  readDays(c, p, oldestSlot(c.storePosition), RingDays);
  ReadoutLine* line =
      p.addLine(marketdb::codeText(code).append("%"), colour, 1);
  if (!line) return;
  for (int k = 0; k < RingDays; ++k) {
    // The change from the base close, on the days the stock traded.
    line->has[k] = base > 0 && p.volume[k] != 0.0f;
    line->value[k] = line->has[k] ? static_cast<float>(p.close[k] - base) /
                                        static_cast<float>(base) * 100.0f
                                  : 0.0f;
  }
}

void readLowerPane(TChart& c) {
  ReadoutPane& p = c.pointer->lower;
  p.clear();
  if (!c.arraysReady || !c.dates || c.viewMode == 8 || !(c.chart.longPriceScale > 0.0f)) return;
  p.top = c.setting(35) + 24;
  p.bottom = LongTermBottom + 1;
  p.x0 = c.viewMode == 3 ? -26 : 0;
  p.dx = 1;
  readDays(c, p, oldestSlot(c.storePosition), RingDays);
  p.priced = true;
  p.priceBase = static_cast<float>(c.chartMin);
  p.priceZeroY = LongTermBaseY;
  p.priceScale = c.chart.longPriceScale;
  p.active = true;
}

}  // namespace viewer
