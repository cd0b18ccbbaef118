#include "platform/gdi/damage_device.h"

#include <algorithm>
#include <climits>

void DamageDevice::note(const TDC& dc, int left, int top, int right, int bottom, int penWidth) {
  // Callers pass left <= right and top <= bottom. One logical unit past the far corner covers a
  // unit that maps onto several pixels; the margin covers wide pens and the device's rounding.
  const int pen = std::max({dc.LPtoDPx(penWidth) - dc.LPtoDPx(0),
                            dc.LPtoDPy(penWidth) - dc.LPtoDPy(0), 0});
  const int margin = 2 + pen;
  // Far outside any frame nothing is drawn: the box is clamped there so the margin cannot
  // overflow.
  constexpr int Far = 1 << 24;
  const int l = std::clamp(dc.LPtoDPx(left), -Far, Far);
  const int r = std::clamp(dc.LPtoDPx(right == INT_MAX ? right : right + 1), l, Far);
  const int t = std::clamp(dc.LPtoDPy(top), -Far, Far);
  const int b = std::clamp(dc.LPtoDPy(bottom == INT_MAX ? bottom : bottom + 1), t, Far);
  if (before_) before_(TRect{l - margin, t - margin, r + margin, b + margin});
}

void DamageDevice::fill(const TDC& dc, const TRect& r, COLORREF c) {
  note(dc, r.left, r.top, r.right, r.bottom);
  inner_.fill(dc, r, c);
}

void DamageDevice::text(const TDC& dc, int x, int y, std::string_view s, COLORREF c) {
  // A Shift-JIS byte is half a cell of `width` units, a double-byte character a whole one.
  const TFont& f = dc.GetFont();
  const int width = static_cast<int>(std::min<std::size_t>(s.size(), 100000)) * std::max(f.width, 1);
  note(dc, x, y, x + width, y + std::max(f.height, 1));
  inner_.text(dc, x, y, s, c);
}

void DamageDevice::line(const TDC& dc, int x1, int y1, int x2, int y2, const TPen& p) {
  note(dc, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), p.width);
  inner_.line(dc, x1, y1, x2, y2, p);
}

void DamageDevice::rectangle(const TDC& dc, const TRect& r, const TPen& p, const TBrush& b) {
  note(dc, std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
       std::max(r.top, r.bottom), p.width);
  inner_.rectangle(dc, r, p, b);
}

void DamageDevice::pixel(const TDC& dc, int x, int y, COLORREF c) {
  note(dc, x, y, x, y);
  inner_.pixel(dc, x, y, c);
}
