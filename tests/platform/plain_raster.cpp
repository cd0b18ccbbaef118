#include "tests/platform/plain_raster.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "platform/gdi/glyph_cache.h"
#include "platform/text/cp932.h"

namespace {

bool penOn(int style, long long i) {
  if (style == PS_DOT) return i % 2 == 0;
  if (style == PS_DASHDOT) return i % 13 < 6 || i % 13 == 9;
  return true;
}

struct Box {
  long long left, top, right, bottom;
};

Box mapRect(const TDC& dc, const TRect& r) {
  int l = std::min(r.left, r.right), rr = std::max(r.left, r.right);
  int t = std::min(r.top, r.bottom), b = std::max(r.top, r.bottom);
  Box d{dc.LPtoDPx(l), dc.LPtoDPy(t), dc.LPtoDPx(rr), dc.LPtoDPy(b)};
  if (d.left > d.right) std::swap(d.left, d.right);
  if (d.top > d.bottom) std::swap(d.top, d.bottom);
  return d;
}

int clampToInt(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

}  // namespace

PlainRaster::PlainRaster(int width, int height)
    : width_(width), height_(height), rgb_(static_cast<std::size_t>(width) * height * 3, 0) {}

void PlainRaster::put(long long x, long long y, COLORREF c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  const std::size_t i = (static_cast<std::size_t>(y) * width_ + static_cast<std::size_t>(x)) * 3;
  rgb_[i] = static_cast<std::uint8_t>(GetRValue(c));
  rgb_[i + 1] = static_cast<std::uint8_t>(GetGValue(c));
  rgb_[i + 2] = static_cast<std::uint8_t>(GetBValue(c));
}

void PlainRaster::fillDevice(long long left, long long top, long long right, long long bottom,
                             COLORREF c) {
  for (long long y = std::max(top, 0LL); y < std::min<long long>(bottom, height_); ++y)
    for (long long x = std::max(left, 0LL); x < std::min<long long>(right, width_); ++x) put(x, y, c);
}

void PlainRaster::clear(COLORREF color) { fillDevice(0, 0, width_, height_, color); }

void PlainRaster::fill(const TDC& dc, const TRect& logical, COLORREF color) {
  const Box d = mapRect(dc, logical);
  fillDevice(d.left, d.top, d.right, d.bottom, color);
}

void PlainRaster::line(const TDC& dc, int x1, int y1, int x2, int y2, const TPen& pen) {
  const long long ax = dc.LPtoDPx(x1), ay = dc.LPtoDPy(y1);
  const long long dx = dc.LPtoDPx(x2) - ax, dy = dc.LPtoDPy(y2) - ay;
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const long long n = xMajor ? std::llabs(dx) : std::llabs(dy);
  const long long m = xMajor ? std::llabs(dy) : std::llabs(dx);
  const int majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
  const int minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
  const long long majorStart = xMajor ? ax : ay, minorStart = xMajor ? ay : ax;
  const long long majorLimit = xMajor ? width_ : height_;
  // Every pixel i in 0 .. n - 1 is at major + i, minor + round(i * m / n), halves away from
  // the start; the steps outside the frame's major range are skipped without being drawn.
  for (long long i = 0; i < n; ++i) {
    const long long major = majorStart + majorStep * i;
    if (major < 0 || major >= majorLimit) {
      // Jump to where the line enters the frame, or stop once it has left it.
      const long long entry = majorStep > 0 ? -majorStart : majorStart - (majorLimit - 1);
      if (i < entry) {
        i = entry - 1;
        continue;
      }
      break;
    }
    if (!penOn(pen.style, i)) continue;
    const __int128 num = static_cast<__int128>(2 * i) * m + n;
    const long long offset = static_cast<long long>(num / (2 * static_cast<__int128>(n)));
    const long long minor = minorStart + minorStep * offset;
    if (xMajor)
      put(major, minor, pen.color);
    else
      put(minor, major, pen.color);
  }
}

void PlainRaster::rectangle(const TDC& dc, const TRect& logical, const TPen& pen,
                            const TBrush& brush) {
  const Box d = mapRect(dc, logical);
  if (d.left >= d.right || d.top >= d.bottom) return;
  if (!brush.hollow) fillDevice(d.left + 1, d.top + 1, d.right - 1, d.bottom - 1, brush.color);
  for (long long x = std::max(d.left, 0LL); x < std::min<long long>(d.right, width_); ++x) {
    put(x, d.top, pen.color);
    put(x, d.bottom - 1, pen.color);
  }
  for (long long y = std::max(d.top, 0LL); y < std::min<long long>(d.bottom, height_); ++y) {
    put(d.left, y, pen.color);
    put(d.right - 1, y, pen.color);
  }
}

void PlainRaster::pixel(const TDC& dc, int x, int y, COLORREF color) {
  put(dc.LPtoDPx(x), dc.LPtoDPy(y), color);
}

void PlainRaster::text(const TDC& dc, int x, int y, std::string_view cp932, COLORREF color) {
  const TFont& font = dc.GetFont();
  const long long unit = font.width;
  const int top = dc.LPtoDPy(y);
  const int bottom = dc.LPtoDPy(clampToInt(static_cast<long long>(y) + font.height));
  if (bottom <= top) return;
  const double measured =
      (static_cast<double>(dc.LPtoDPx(clampToInt(x + 200 * unit))) - dc.LPtoDPx(x)) / 100.0;
  const int emWidth = static_cast<int>(std::lround(std::abs(measured)));
  long long units = 0;
  for (std::size_t pos = 0; pos < cp932.size();) {
    const pelinor::text::Cp932Char ch = pelinor::text::decodeAt(cp932, pos);
    pos += static_cast<std::size_t>(ch.bytes);
    const int cells = ch.fullWidth ? 2 : 1;
    long long left = dc.LPtoDPx(clampToInt(x + units * unit));
    long long right = dc.LPtoDPx(clampToInt(x + (units + cells) * unit));
    units += cells;
    if (left > right) std::swap(left, right);
    if (left == right) continue;
    auto inCell = [&](long long px, long long py) {
      return px >= left && px < right && py >= top && py < bottom;
    };
    if (!ch.valid) {
      const long long insetX = std::max(1LL, (right - left) / 6);
      const long long insetY = std::max(1, (bottom - top) / 6);
      const long long bl = left + insetX, br = right - 1 - insetX;
      const long long bt = top + insetY, bb = bottom - 1 - insetY;
      if (bl > br || bt > bb) continue;
      for (long long px = bl; px <= br; ++px) {
        put(px, bt, color);
        put(px, bb, color);
      }
      for (long long py = bt; py <= bb; ++py) {
        put(bl, py, color);
        put(br, py, color);
      }
      continue;
    }
    if (ch.codePoint <= 0x20 || ch.codePoint == 0x7F) continue;
    auto glyph = pelinor::gdi::glyphForCell(ch.codePoint, emWidth, bottom - top,
                                            font.weight >= FW_BOLD);
    if (!glyph) continue;
    for (int row = 0; row < glyph->height; ++row)
      for (int col = 0; col < glyph->width; ++col) {
        const long long px = left + glyph->left + col, py = top + glyph->top + row;
        if (glyph->ink[static_cast<std::size_t>(row) * glyph->width + col] && inCell(px, py))
          put(px, py, color);
      }
  }
}
