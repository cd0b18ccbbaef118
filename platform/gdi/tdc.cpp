#include "platform/gdi/tdc.h"

TDC::TDC(DrawDevice& device) : device_(device) {}
int TDC::SetMapMode(int mode) { int old = mapMode_; mapMode_ = mode; return old; }
void TDC::SetWindowExt(const TSize& ext) { windowExt_ = ext; }
void TDC::SetViewportExt(const TSize& ext) { viewportExt_ = ext; }
void TDC::SetViewportOrg(const TPoint& org) { viewportOrg_ = org; }
int TDC::LPtoDPx(int x) const { return x; }
int TDC::LPtoDPy(int y) const { return y; }
COLORREF TDC::SetTextColor(COLORREF c) { COLORREF o = textColor_; textColor_ = c; return o; }
COLORREF TDC::SetBkColor(COLORREF c) { COLORREF o = bkColor_; bkColor_ = c; return o; }
int TDC::SetBkMode(int mode) { int o = bkMode_; bkMode_ = mode; return o; }
bool TDC::TextOut(int x, int y, std::string_view s) { device_.text(*this, x, y, s, textColor_); return true; }
bool TDC::MoveTo(int x, int y) { current_ = {x, y}; return true; }
bool TDC::LineTo(int x, int y) { device_.line(*this, current_.x, current_.y, x, y, pen_); current_ = {x, y}; return true; }
bool TDC::Rectangle(int l, int t, int r, int b) { device_.rectangle(*this, {l, t, r, b}, pen_, brush_); return true; }
bool TDC::FillRect(const TRect& r, const TBrush& brush) { device_.fill(*this, r, brush.color); return true; }
COLORREF TDC::SetPixel(int x, int y, COLORREF c) { device_.pixel(*this, x, y, c); return c; }
