// The mouse on the chart screens: pointer moves only redraw the overlay (crosshair, readout,
// price at the line); the wheel, a drag, Shift+arrows, End and a double-click on the long-term
// chart move the shown days of the daily charts and repaint them.
#include "viewer/chart_pointer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "marketdb/layout.h"
#include "platform/text/cp932.h"
#include "viewer/panes/daily_chart.h"
#include "viewer/panes/oscillator_panes.h"
#include "viewer/tchart.h"

namespace viewer {

int maxScroll() { return RingDays - DailyDays; }

bool scrollingView(int viewMode) { return viewMode == 9 || viewMode == 3; }

// ---- The shown range ------------------------------------------------------------------------

ShownRange::ShownRange(TChart& c, int scroll) : c_(c) {
  if (!scrollingView(c.viewMode) || !c.arraysReady || !c.dates) return;
  scroll_ = std::clamp(scroll, 0, maxScroll());
  if (scroll_ == 0) return;
  const int newest = ringSlot(c.storePosition);
  for (int k = 0; k < scroll_; ++k) {
    const int s = ringSlot(newest - k);
    dates_[k] = c.dates[s];
    opens_[k] = c.opens[s];
    highs_[k] = c.highs[s];
    lows_[k] = c.lows[s];
    closes_[k] = c.closes[s];
    changes_[k] = c.changes[s];
    volumes_[k] = c.volumes[s];
    exactVolumes_[k] = c.exactVolumes[s];
    c.dates[s] = 0;
    c.opens[s] = c.highs[s] = c.lows[s] = c.closes[s] = c.changes[s] = 0;
    c.volumes[s] = 0.0f;
    c.exactVolumes[s] = 0.0;
  }
  c.storePosition = ringSlot(newest - scroll_);
  // The long-term chart keeps every day: its part of the equilibrium chart is drawn after the
  // ring is whole again.
  longPriceScale_ = c.chart.longPriceScale;
  c.chart.longPriceScale = 0.0f;
}

ShownRange::~ShownRange() {
  if (scroll_ == 0) return;
  const int newest = ringSlot(c_.storePosition + scroll_);
  c_.storePosition = newest;
  c_.chart.longPriceScale = longPriceScale_;
  for (int k = 0; k < scroll_; ++k) {
    const int s = ringSlot(newest - k);
    c_.dates[s] = dates_[k];
    c_.opens[s] = opens_[k];
    c_.highs[s] = highs_[k];
    c_.lows[s] = lows_[k];
    c_.closes[s] = closes_[k];
    c_.changes[s] = changes_[k];
    c_.volumes[s] = volumes_[k];
    c_.exactVolumes[s] = exactVolumes_[k];
  }
}

void markShownRange(TChart& c, TDC& dc) {
  const int scroll = c.pointer->scroll;
  if (scroll <= 0 || !scrollingView(c.viewMode) || !(c.chart.longPriceScale > 0.0f)) return;
  // Long-term x of a day: its walk day from the oldest (26 units left in view 3).
  const int shift = c.viewMode == 3 ? -26 : 0;
  const int newestX = RingDays - 1 - scroll + shift;
  const int oldestX = newestX - (DailyDays - 1);
  const int top = c.setting(35) + 24;
  dc.SelectObject(TPen(fullColour(c.colour(3)), 0, PS_DOT));
  for (int x : {oldestX, newestX}) {
    dc.MoveTo(x, top);
    dc.LineTo(x, 471);
  }
  dc.MoveTo(oldestX, top);
  dc.LineTo(newestX + 1, top);
}

// ---- Overlay ----------------------------------------------------------------------------------

namespace {

TFont readoutFont() { return TFont(SJ("MSｺﾞｼｯｸ"), 10, 6, FW_NORMAL, SHIFTJIS_CHARSET); }

std::string number(float v, int decimals) {
  return pelinor::text::format("%.*f", decimals, static_cast<double>(v));
}

void drawReadout(TChart& c, TDC& dc, const ReadoutPane& p, int column, int pointerX) {
  std::vector<std::pair<std::string, COLORREF>> rows;
  const COLORREF text = fullColour(c.colour(2));
  const bool empty = p.volume[column] == 0.0f;
  const std::string date = p.date[column] != 0
                               ? c.layout->formatDate(p.date[column])
                               : std::string("------");
  if (empty) {
    rows.emplace_back(date + " " + SJ("取引なし"), text);
  } else {
    rows.emplace_back(date, text);
    rows.emplace_back(SJ("始") + pelinor::text::format("%7d", p.open[column]), text);
    rows.emplace_back(SJ("高") + pelinor::text::format("%7d", p.high[column]), text);
    rows.emplace_back(SJ("安") + pelinor::text::format("%7d", p.low[column]), text);
    rows.emplace_back(SJ("終") + pelinor::text::format("%7d", p.close[column]), text);
    rows.emplace_back(SJ("出来") + pelinor::text::format("%10.1f", static_cast<double>(p.volume[column])),
                      fullColour(c.colour(6)));
  }
  for (int n = 0; n < p.lineCount; ++n) {
    const ReadoutLine& line = p.lines[n];
    std::string value = line.has[column] ? number(line.value[column], line.decimals) : "--";
    rows.emplace_back(line.label + " " + value, line.colour);
  }
  std::size_t widest = 0;
  for (const auto& row : rows) widest = std::max(widest, row.first.size());
  const int width = static_cast<int>(widest) * 6 + 6;
  const int height = static_cast<int>(rows.size()) * 10 + 4;
  // The corner away from the pointer, clear of the price labels at the left.
  const int left = pointerX < 320 ? 639 - width : 34;
  const int top = p.top + 1;
  dc.SelectObject(TPen(halfColour(c.colour(3))));
  dc.SelectObject(TBrush(RGB(c.background[0], c.background[1], c.background[2])));
  dc.Rectangle(left, top, left + width, top + height);
  dc.SelectObject(readoutFont());
  dc.SetBkMode(TRANSPARENT);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    dc.SetTextColor(rows[r].second);
    dc.TextOut(left + 3, top + 2 + static_cast<int>(r) * 10, rows[r].first);
  }
}

void drawCrosshair(TChart& c, TDC& dc, const ReadoutPane& p, int x, int y) {
  const COLORREF lineColour = RGB(200, 200, 200);
  dc.SelectObject(TPen(lineColour, 0, PS_DOT));
  dc.MoveTo(0, y);
  dc.LineTo(640, y);
  const int column = p.columnAt(x);
  if (column >= 0) {
    const int cx = p.x0 + p.dx * column;
    dc.MoveTo(cx, p.top);
    dc.LineTo(cx, p.bottom);
  }
  if (p.priced && p.priceScale > 0.0f) {
    const float price = p.priceBase + (p.priceZeroY - static_cast<float>(y)) / p.priceScale;
    dc.SelectObject(readoutFont());
    dc.SetBkMode(OPAQUE);
    dc.SetBkColor(RGB(c.background[0], c.background[1], c.background[2]));
    dc.SetTextColor(lineColour);
    dc.TextOut(0, y - 5, pelinor::text::format("%5d", static_cast<int>(std::lround(price))));
    dc.SetBkMode(TRANSPARENT);
  }
  if (column >= 0) drawReadout(c, dc, p, column, x);
}

}  // namespace

namespace {
// The chart screens and the comparison chart follow the pointer.
bool showsPointer(const TChart& c) {
  return (TChart::isChartMode(c.viewMode) && !c.lookupFailed) || c.viewMode == 97;
}
}  // namespace

void drawPointerOverlay(TChart& c, TDC& dc) {
  ChartPointer& ptr = *c.pointer;
  const TSize client = c.clientPixels;
  if (client.cx <= 0 || client.cy <= 0) return;
  dc.SetMapMode(MM_ANISOTROPIC);
  dc.SetWindowExt(TSize{640, 480});
  dc.SetViewportExt(client);
  dc.SetViewportOrg(TPoint{0, 0});
  if (ptr.help) {
    drawKeyHelp(c, dc);
    return;
  }
  if (!ptr.inside || !showsPointer(c)) return;
  const int x = static_cast<int>(static_cast<long long>(ptr.pixel.x) * 640 / client.cx);
  const int y = static_cast<int>(static_cast<long long>(ptr.pixel.y) * 480 / client.cy);
  for (const ReadoutPane* p : {&ptr.upper, &ptr.lower}) {
    if (p->active && y >= p->top && y < p->bottom) {
      drawCrosshair(c, dc, *p, x, y);
      return;
    }
  }
}

// ---- Messages ---------------------------------------------------------------------------------

namespace {

// Sets the scroll, keeping it inside the ring, and repaints when it changed.
void scrollTo(TChart& c, int scroll) {
  ChartPointer& p = *c.pointer;
  scroll = std::clamp(scroll, 0, maxScroll());
  if (scroll == p.scroll) return;
  p.scroll = scroll;
  p.anchorStock = c.currentStock;
  p.anchorDate = scroll > 0 && c.dates ? c.dates[ringSlot(c.storePosition - scroll)] : 0;
  c.Invalidate(false);
}

int logicalX(const TChart& c, int pixelX) {
  const int w = c.GetClientRect().Width();
  return w > 0 ? static_cast<int>(static_cast<long long>(pixelX) * 640 / w) : 0;
}

}  // namespace

void TChart::EvMouseMove(unsigned modKeys, const TPoint& point) {
  TWindow::EvMouseMove(modKeys, point);
  ChartPointer& p = *pointer;
  const int x = logicalX(*this, point.x);
  if ((modKeys & MK_LBUTTON) && scrollingView(viewMode)) {
    if (!p.dragging) {
      p.dragging = true;
      p.dragStartX = logicalX(*this, p.pixel.x);
      p.dragStartScroll = p.scroll;
    }
    // The chart follows the pointer: dragging to the right brings older days in.
    scrollTo(*this, p.dragStartScroll + (x - p.dragStartX) / 3);
  } else if (!(modKeys & MK_LBUTTON)) {
    p.dragging = false;
  }
  p.inside = true;
  p.pixel = point;
  if (showsPointer(*this)) InvalidateOverlay();
}

void TChart::EvMouseWheel(unsigned modKeys, int notches, const TPoint& point) {
  TWindow::EvMouseWheel(modKeys, notches, point);
  // A notch away from the user goes back in time, or up a wide database's menu page.
  if (scrollingView(viewMode)) scrollTo(*this, pointer->scroll + notches * WheelDays);
  if (wideDatabase && (viewMode == 12 || viewMode == 13 || viewMode == 14))
    scrollMenu(-notches * 3);
}

void TChart::EvLButtonUp(unsigned modKeys, const TPoint& point) {
  TWindow::EvLButtonUp(modKeys, point);
  pointer->dragging = false;
}

void TChart::EvMouseLeave() {
  TWindow::EvMouseLeave();
  if (!pointer->inside) return;
  pointer->inside = false;
  pointer->dragging = false;
  InvalidateOverlay();
}

void TChart::PaintOverlay(TDC& dc) { drawPointerOverlay(*this, dc); }

bool TChart::pointerKey(unsigned key, unsigned flags) {
  ChartPointer& p = *pointer;
  if (p.help) {
    // Any key closes the help and does nothing else.
    p.help = false;
    InvalidateOverlay();
    return true;
  }
  if (key == VK_HELP) {
    p.help = true;
    InvalidateOverlay();
    return true;
  }
  if (!scrollingView(viewMode)) return false;
  if (key == VK_END) {
    scrollTo(*this, 0);
    return true;
  }
  if ((flags & MK_SHIFT) && (key == VK_LEFT || key == VK_RIGHT)) {
    scrollTo(*this, p.scroll + (key == VK_LEFT ? ShiftArrowDays : -ShiftArrowDays));
    return true;
  }
  return false;
}

void TChart::pointerDoubleClick(const TPoint& point) {
  const ReadoutPane& lower = pointer->lower;
  if (!scrollingView(viewMode) || !lower.active) return;
  const TSize client = GetClientRect().Width() > 0 ? TSize{GetClientRect().Width(), GetClientRect().Height()}
                                                   : TSize{};
  if (client.cy <= 0) return;
  const int y = static_cast<int>(static_cast<long long>(point.y) * 480 / client.cy);
  if (y < lower.top || y >= lower.bottom) return;
  const int column = lower.columnAt(logicalX(*this, point.x));
  if (column < 0) return;
  // The chosen day comes to the middle of the daily chart.
  scrollTo(*this, (RingDays - 1 - column) - DailyDays / 2);
}

// Another stock keeps the newest shown date where it has that date; otherwise the chart
// returns to its newest day.
void TChart::keepScrollForStock() {
  ChartPointer& p = *pointer;
  if (p.scroll == 0 || p.anchorStock == currentStock || !dates) return;
  p.anchorStock = currentStock;
  const int newest = ringSlot(storePosition);
  for (int k = 0; k <= maxScroll(); ++k) {
    if (dates[ringSlot(newest - k)] == p.anchorDate) {
      p.scroll = k;
      return;
    }
  }
  p.scroll = 0;
  p.anchorDate = 0;
}

// ---- Title --------------------------------------------------------------------------------

std::string viewTitle(int viewMode) {
  switch (viewMode) {
    case 2: return SJ("情報");
    case 3: return SJ("一目均衡表");
    case 4: return SJ("オシレーター (RSI・WVR・篠原)");
    case 5: return SJ("オシレーター (乖離・RCI)");
    case 6: return SJ("比較 基準日");
    case 97: return SJ("比較");
    case 7: return SJ("サイン");
    case 77: return SJ("Sサイン");
    case 8: return SJ("週足");
    case 9: return SJ("日足");
    case 11: return SJ("銘柄コード");
    case 12: case 13: case 14: case 98: return SJ("銘柄メニュー");
    case 15: case 16: return SJ("株価表");
    default: return {};
  }
}

std::string viewTitle(const TChart& c) {
  std::string title = viewTitle(c.viewMode);
  const bool showsStock = TChart::isChartMode(c.viewMode) || c.viewMode == 15 || c.viewMode == 16;
  if (showsStock && !c.lookupFailed && c.table && c.currentStock >= 0 &&
      c.currentStock < c.stockCount) {
    title += ' ';
    title += marketdb::codeText(c.codeOf(c.currentStock));
    title += ' ';
    const char* name = c.table->kmeiidx[c.currentStock];
    title.append(name, strnlen(name, sizeof c.table->kmeiidx[0]));
  }
  return title;
}

}  // namespace viewer
