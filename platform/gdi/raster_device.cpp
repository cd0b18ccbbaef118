// The raster device: an RGB frame of the client size. Every logical coordinate is mapped
// through the TDC, and every write is clipped to the frame.
#include "platform/gdi/raster_device.h"

#include <algorithm>
#include <utility>

namespace {

// Dash-dot pen: a dash of 6 pixels, a gap of 3, a dot of 1 and a gap of 3, repeating every 13
// pixels from the first pixel of each line.
bool dashDotOn(long long i) {
  long long phase = i % 13;
  return phase < 6 || phase == 9;
}

bool penOn(int style, long long i) {
  switch (style) {
    case PS_DOT:
      return i % 2 == 0;  // every other pixel, starting with the first one of the line
    case PS_DASHDOT:
      return dashDotOn(i);
    default:
      return true;
  }
}

// Device rectangle [left, right) x [top, bottom) of a logical rectangle, corners in any order.
struct DeviceRect {
  long long left, top, right, bottom;
};

DeviceRect mapRect(const TDC& dc, const TRect& r) {
  int l = std::min(r.left, r.right), rr = std::max(r.left, r.right);
  int t = std::min(r.top, r.bottom), b = std::max(r.top, r.bottom);
  DeviceRect d{dc.LPtoDPx(l), dc.LPtoDPy(t), dc.LPtoDPx(rr), dc.LPtoDPy(b)};
  // A mirrored mapping turns the rectangle round; keep it the right way up.
  if (d.left > d.right) std::swap(d.left, d.right);
  if (d.top > d.bottom) std::swap(d.top, d.bottom);
  return d;
}

}  // namespace

RasterDevice::RasterDevice(int width, int height) { resize(width, height); }

RasterDevice::~RasterDevice() = default;

void RasterDevice::resize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  rgb_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3, 0);
}

COLORREF RasterDevice::pixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return RGB(0, 0, 0);
  std::size_t i = (static_cast<std::size_t>(y) * width_ + static_cast<std::size_t>(x)) * 3;
  return RGB(rgb_[i], rgb_[i + 1], rgb_[i + 2]);
}

void RasterDevice::put(int x, int y, COLORREF c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  std::size_t i = (static_cast<std::size_t>(y) * width_ + static_cast<std::size_t>(x)) * 3;
  rgb_[i] = static_cast<std::uint8_t>(GetRValue(c));
  rgb_[i + 1] = static_cast<std::uint8_t>(GetGValue(c));
  rgb_[i + 2] = static_cast<std::uint8_t>(GetBValue(c));
}

void RasterDevice::clear(COLORREF color) { fillDevice(0, 0, width_, height_, color); }

void RasterDevice::fillDevice(int left, int top, int right, int bottom, COLORREF color) {
  int l = std::max(left, 0), t = std::max(top, 0);
  int r = std::min(right, width_), b = std::min(bottom, height_);
  if (l >= r || t >= b) return;
  const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(GetRValue(color)),
                               static_cast<std::uint8_t>(GetGValue(color)),
                               static_cast<std::uint8_t>(GetBValue(color))};
  for (int y = t; y < b; ++y) {
    std::uint8_t* p = rgb_.data() + (static_cast<std::size_t>(y) * width_ + l) * 3;
    for (int x = l; x < r; ++x, p += 3) {
      p[0] = rgb[0];
      p[1] = rgb[1];
      p[2] = rgb[2];
    }
  }
}

void RasterDevice::fill(const TDC& dc, const TRect& logical, COLORREF color) {
  DeviceRect d = mapRect(dc, logical);
  auto clampX = [&](long long v) { return static_cast<int>(std::clamp<long long>(v, 0, width_)); };
  auto clampY = [&](long long v) { return static_cast<int>(std::clamp<long long>(v, 0, height_)); };
  fillDevice(clampX(d.left), clampY(d.top), clampX(d.right), clampY(d.bottom), color);
}

// Every pen is one device pixel wide, whatever its width: the drawings ask only for thin
// pens, which stay one pixel at any scale.
void RasterDevice::line(const TDC& dc, int x1, int y1, int x2, int y2, const TPen& pen) {
  long long ax = dc.LPtoDPx(x1), ay = dc.LPtoDPy(y1);
  long long bx = dc.LPtoDPx(x2), by = dc.LPtoDPy(y2);
  long long dx = bx - ax, dy = by - ay;
  long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  bool xMajor = adx >= ady;
  long long n = xMajor ? adx : ady;  // pixels drawn: the end point is left out
  if (n == 0) return;
  long long minorLen = xMajor ? ady : adx;
  int majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
  int minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
  long long majorStart = xMajor ? ax : ay, minorStart = xMajor ? ay : ax;
  long long majorLimit = xMajor ? width_ : height_, minorLimit = xMajor ? height_ : width_;

  // Pixel i lies at major + i and minor + round(i * minorLen / n) (halves away from the
  // start). Only the steps whose major coordinate falls inside the frame are visited.
  long long first = 0, last = n - 1;
  if (majorStep > 0) {
    first = std::max(first, -majorStart);
    last = std::min(last, majorLimit - 1 - majorStart);
  } else {
    first = std::max(first, majorStart - (majorLimit - 1));
    last = std::min(last, majorStart);
  }
  for (long long i = first; i <= last; ++i) {
    if (!penOn(pen.style, i)) continue;
    __int128 num = static_cast<__int128>(2 * i) * minorLen + n;
    long long offset = static_cast<long long>(num / (2 * static_cast<__int128>(n)));
    long long major = majorStart + majorStep * i;
    long long minor = minorStart + minorStep * offset;
    if (minor < 0 || minor >= minorLimit) continue;
    if (xMajor)
      put(static_cast<int>(major), static_cast<int>(minor), pen.color);
    else
      put(static_cast<int>(minor), static_cast<int>(major), pen.color);
  }
}

void RasterDevice::rectangle(const TDC& dc, const TRect& logical, const TPen& pen,
                             const TBrush& brush) {
  DeviceRect d = mapRect(dc, logical);
  if (d.left >= d.right || d.top >= d.bottom) return;
  auto clampX = [&](long long v) { return static_cast<int>(std::clamp<long long>(v, -1, width_)); };
  auto clampY = [&](long long v) { return static_cast<int>(std::clamp<long long>(v, -1, height_)); };
  int l = clampX(d.left), t = clampY(d.top), r = clampX(d.right - 1), b = clampY(d.bottom - 1);
  if (!brush.hollow) fillDevice(l + 1, t + 1, r, b, brush.color);
  // Outline: rows top and bottom - 1, columns left and right - 1 (clamped just outside the
  // frame when they lie beyond it, where put() ignores them).
  for (int x = std::max(l, 0); x <= std::min(r, width_ - 1); ++x) {
    put(x, t, pen.color);
    put(x, b, pen.color);
  }
  for (int y = std::max(t, 0); y <= std::min(b, height_ - 1); ++y) {
    put(l, y, pen.color);
    put(r, y, pen.color);
  }
}

void RasterDevice::pixel(const TDC& dc, int x, int y, COLORREF color) {
  put(dc.LPtoDPx(x), dc.LPtoDPy(y), color);
}
