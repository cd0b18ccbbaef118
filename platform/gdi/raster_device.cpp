// The raster device: a frame of 32-bit words of the client size. Every logical coordinate is
// mapped through the TDC, and every write is clipped to the frame.
#include "platform/gdi/raster_device.h"

#include <algorithm>
#include <utility>

#include "platform/gdi/glyph_cache.h"

namespace {

// Dash-dot pen: a dash of 6 pixels, a gap of 3, a dot of 1 and a gap of 3, repeating every 13
// pixels from the first pixel of each line. Dotted pen: every other pixel, starting with the
// first. The pattern is kept as a phase that steps with the line.
constexpr int DashDotPeriod = 13;

struct PenPattern {
  int style;
  long long phase;  // position within the pattern of the pixel about to be drawn

  PenPattern(int s, long long first) : style(s) {
    phase = style == PS_DOT ? first % 2 : style == PS_DASHDOT ? first % DashDotPeriod : 0;
  }
  bool on() const {
    switch (style) {
      case PS_DOT: return phase == 0;
      case PS_DASHDOT: return phase < 6 || phase == 9;
      default: return true;
    }
  }
  void step() {
    if (style == PS_DOT) {
      phase ^= 1;
    } else if (style == PS_DASHDOT) {
      if (++phase == DashDotPeriod) phase = 0;
    }
  }
};

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
  // A fresh, zeroed allocation: the frame is black.
  decltype(pixels_)().swap(pixels_);
  pixels_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
}

std::vector<std::uint8_t> RasterDevice::rgb() const {
  std::vector<std::uint8_t> out(pixels_.size() * 3);
  std::uint8_t* p = out.data();
  for (std::uint32_t w : pixels_) {
    *p++ = static_cast<std::uint8_t>(w >> 16);
    *p++ = static_cast<std::uint8_t>(w >> 8);
    *p++ = static_cast<std::uint8_t>(w);
  }
  return out;
}

COLORREF RasterDevice::pixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return RGB(0, 0, 0);
  const std::uint32_t w = pixels_[static_cast<std::size_t>(y) * width_ + static_cast<std::size_t>(x)];
  return RGB(static_cast<int>(w >> 16), static_cast<int>(w >> 8), static_cast<int>(w));
}

void RasterDevice::saveRect(TRect& rect, std::vector<std::uint32_t>& out) const {
  rect.left = std::clamp(rect.left, 0, width_);
  rect.right = std::clamp(rect.right, rect.left, width_);
  rect.top = std::clamp(rect.top, 0, height_);
  rect.bottom = std::clamp(rect.bottom, rect.top, height_);
  out.clear();
  const std::size_t w = static_cast<std::size_t>(rect.right - rect.left);
  out.reserve(w * static_cast<std::size_t>(rect.bottom - rect.top));
  for (int y = rect.top; y < rect.bottom; ++y) {
    const auto row = pixels_.begin() + static_cast<std::ptrdiff_t>(
                                           static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                           static_cast<std::size_t>(rect.left));
    out.insert(out.end(), row, row + static_cast<std::ptrdiff_t>(w));
  }
}

void RasterDevice::loadRect(const TRect& rect, const std::vector<std::uint32_t>& pixels) {
  const std::size_t w = static_cast<std::size_t>(std::max(rect.right - rect.left, 0));
  if (rect.left < 0 || rect.top < 0 || rect.right > width_ || rect.bottom > height_ ||
      pixels.size() != w * static_cast<std::size_t>(std::max(rect.bottom - rect.top, 0)))
    return;
  for (int y = rect.top; y < rect.bottom; ++y) {
    std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y - rect.top) * w), w,
                pixels_.begin() + static_cast<std::ptrdiff_t>(
                                      static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                      static_cast<std::size_t>(rect.left)));
  }
}

void RasterDevice::clear(COLORREF color) { fillDevice(0, 0, width_, height_, color); }

void RasterDevice::fillDevice(int left, int top, int right, int bottom, COLORREF color) {
  fillWords(left, top, right, bottom, word(color));
}

void RasterDevice::fillWords(int left, int top, int right, int bottom, std::uint32_t w) {
  int l = std::max(left, 0), t = std::max(top, 0);
  int r = std::min(right, width_), b = std::min(bottom, height_);
  if (l >= r || t >= b) return;
  if (l == 0 && r == width_) {  // whole rows lie next to each other: one run
    std::fill_n(pixels_.data() + static_cast<std::size_t>(t) * width_,
                static_cast<std::size_t>(b - t) * width_, w);
    return;
  }
  for (int y = t; y < b; ++y)
    std::fill_n(pixels_.data() + static_cast<std::size_t>(y) * width_ + l, r - l, w);
}

void RasterDevice::fill(const TDC& dc, const TRect& logical, COLORREF color) {
  DeviceRect d = mapRect(dc, logical);
  auto clampX = [&](long long v) { return static_cast<int>(std::clamp<long long>(v, 0, width_)); };
  auto clampY = [&](long long v) { return static_cast<int>(std::clamp<long long>(v, 0, height_)); };
  fillDevice(clampX(d.left), clampY(d.top), clampX(d.right), clampY(d.bottom), color);
}

// Every pen is one device pixel wide, whatever its width: the drawings ask only for thin
// pens, which stay one pixel at any scale.
//
// Pixel i of a line lies at major + i and minor + round(i * minorLen / n) (halves away from
// the start), for i from 0 to n - 1: the end point is left out, and the pen's pattern counts
// from the start whichever way the line runs. Only the steps whose major coordinate falls
// inside the frame are visited. The rounding is kept as an integer error term that grows by
// 2 * minorLen per step; lines along a row or a column skip it.
void RasterDevice::line(const TDC& dc, int x1, int y1, int x2, int y2, const TPen& pen) {
  long long ax = dc.LPtoDPx(x1), ay = dc.LPtoDPy(y1);
  long long bx = dc.LPtoDPx(x2), by = dc.LPtoDPy(y2);
  long long dx = bx - ax, dy = by - ay;
  long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  bool xMajor = adx >= ady;
  long long n = xMajor ? adx : ady;  // pixels drawn: the end point is left out
  if (n == 0 || width_ <= 0 || height_ <= 0) return;
  long long minorLen = xMajor ? ady : adx;
  int majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
  int minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
  long long majorStart = xMajor ? ax : ay, minorStart = xMajor ? ay : ax;
  long long majorLimit = xMajor ? width_ : height_, minorLimit = xMajor ? height_ : width_;

  long long first = 0, last = n - 1;
  if (majorStep > 0) {
    first = std::max(first, -majorStart);
    last = std::min(last, majorLimit - 1 - majorStart);
  } else {
    first = std::max(first, majorStart - (majorLimit - 1));
    last = std::min(last, majorStart);
  }
  if (first > last) return;

  const std::uint32_t w = word(pen.color);
  PenPattern pattern(pen.style, first);
  // Offset in the frame of one step along the line.
  const long long majorStride = xMajor ? majorStep : static_cast<long long>(majorStep) * width_;
  long long major = majorStart + majorStep * first;
  std::uint32_t* frame = pixels_.data();

  if (minorLen == 0) {  // along a row or a column
    if (minorStart < 0 || minorStart >= minorLimit) return;
    std::uint32_t* p = frame + (xMajor ? minorStart * width_ + major : major * width_ + minorStart);
    const long long count = last - first + 1;
    if (pen.style == PS_SOLID) {
      if (xMajor) {
        std::fill_n(majorStep > 0 ? p : p - (count - 1), count, w);
      } else {
        for (long long i = 0; i < count; ++i, p += majorStride) *p = w;
      }
    } else if (pen.style == PS_DOT) {
      // Every other pixel, from the first one of the line's own pattern.
      for (long long i = pattern.phase; i < count; i += 2) p[i * majorStride] = w;
    } else {
      for (long long i = 0; i < count; ++i, p += majorStride) {
        if (pattern.on()) *p = w;
        pattern.step();
      }
    }
    return;
  }

  // offset = floor((2 * i * minorLen + n) / (2 * n)), kept as quotient and remainder.
  const long long twoN = 2 * n, twoMinor = 2 * minorLen;
  const __int128 start = static_cast<__int128>(2 * first) * minorLen + n;
  long long offset = static_cast<long long>(start / twoN);
  long long error = static_cast<long long>(start % twoN);
  long long minor = minorStart + minorStep * offset;
  for (long long i = first; i <= last; ++i) {
    if (pattern.on() && minor >= 0 && minor < minorLimit)
      frame[xMajor ? minor * width_ + major : major * width_ + minor] = w;
    pattern.step();
    major += majorStep;
    error += twoMinor;
    if (error >= twoN) {  // minorLen <= n: at most one step of the minor axis
      error -= twoN;
      minor += minorStep;
    }
  }
}

// The outline of [left, right] x [top, bottom] in device pixels; rows and columns beyond the
// frame are left out.
void RasterDevice::boxOutline(int l, int t, int r, int b, std::uint32_t w) {
  const int from = std::max(l, 0), to = std::min(r, width_ - 1) + 1;
  if (t >= 0 && t < height_) fillWords(from, t, to, t + 1, w);
  if (b >= 0 && b < height_) fillWords(from, b, to, b + 1, w);
  for (int y = std::max(t, 0); y <= std::min(b, height_ - 1); ++y) {
    put(l, y, w);
    put(r, y, w);
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
  // frame when they lie beyond it, where nothing is drawn).
  boxOutline(l, t, r, b, word(pen.color));
}

void RasterDevice::pixel(const TDC& dc, int x, int y, COLORREF color) {
  put(dc.LPtoDPx(x), dc.LPtoDPy(y), word(color));
}
