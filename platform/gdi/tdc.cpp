// The device context: keeps the mapping and the selected objects and hands every drawing
// operation, in logical coordinates, to its device.
#include "platform/gdi/tdc.h"

#include <climits>

#include "platform/gdi/int_range.h"
#include "platform/text/cp932.h"

namespace {

// floor(a / b) for any signs (b != 0).
long long floorDiv(long long a, long long b) {
  long long q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

using pelinor::gdi::clampToInt;

// One axis of the anisotropic mapping. A zero window extent would divide by zero; it is
// treated as one unit.
int mapAxis(int v, int windowExt, int viewportExt, int origin) {
  long long w = windowExt == 0 ? 1 : windowExt;
  return clampToInt(floorDiv(static_cast<long long>(v) * viewportExt, w) + origin);
}

}  // namespace

TDC::TDC(DrawDevice& device) : device_(device) {}

int TDC::SetMapMode(int mode) {
  int old = mapMode_;
  mapMode_ = mode;
  return old;
}

void TDC::SetWindowExt(const TSize& ext) { windowExt_ = ext; }
void TDC::SetViewportExt(const TSize& ext) { viewportExt_ = ext; }
void TDC::SetViewportOrg(const TPoint& org) { viewportOrg_ = org; }

int TDC::LPtoDPx(int x) const {
  if (mapMode_ == MM_ANISOTROPIC) return mapAxis(x, windowExt_.cx, viewportExt_.cx, viewportOrg_.x);
  return clampToInt(static_cast<long long>(x) + viewportOrg_.x);
}

int TDC::LPtoDPy(int y) const {
  if (mapMode_ == MM_ANISOTROPIC) return mapAxis(y, windowExt_.cy, viewportExt_.cy, viewportOrg_.y);
  return clampToInt(static_cast<long long>(y) + viewportOrg_.y);
}

COLORREF TDC::SetTextColor(COLORREF c) {
  COLORREF old = textColor_;
  textColor_ = c;
  return old;
}

COLORREF TDC::SetBkColor(COLORREF c) {
  COLORREF old = bkColor_;
  bkColor_ = c;
  return old;
}

int TDC::SetBkMode(int mode) {
  int old = bkMode_;
  bkMode_ = mode;
  return old;
}

bool TDC::TextOut(int x, int y, std::string_view cp932) {
  if (bkMode_ == OPAQUE) {
    long long right = static_cast<long long>(x) +
                      static_cast<long long>(pelinor::text::cellCount(cp932)) * font_.width;
    TRect cell{x, y, clampToInt(right), clampToInt(static_cast<long long>(y) + font_.height)};
    device_.fill(*this, cell, bkColor_);
  }
  device_.text(*this, x, y, cp932, textColor_);
  return true;
}

bool TDC::MoveTo(int x, int y) {
  current_ = {x, y};
  return true;
}

bool TDC::LineTo(int x, int y) {
  device_.line(*this, current_.x, current_.y, x, y, pen_);
  current_ = {x, y};
  return true;
}

bool TDC::Rectangle(int left, int top, int right, int bottom) {
  device_.rectangle(*this, TRect{left, top, right, bottom}, pen_, brush_);
  return true;
}

bool TDC::FillRect(const TRect& r, const TBrush& brush) {
  if (brush.hollow) return true;  // a hollow brush paints nothing
  device_.fill(*this, r, brush.color);
  return true;
}

COLORREF TDC::SetPixel(int x, int y, COLORREF color) {
  device_.pixel(*this, x, y, color);
  return color;
}
