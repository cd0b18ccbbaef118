// A drawing device that passes every operation on and tells, before each one, which device
// pixels it may touch, as a rectangle. A host that draws an overlay through it keeps the pixels
// under each operation and puts them back before the next overlay, without copying the frame.
#pragma once

#include <functional>

#include "platform/gdi/tdc.h"

class DamageDevice : public DrawDevice {
 public:
  using Hook = std::function<void(const TRect& devicePixels)>;
  DamageDevice(DrawDevice& inner, Hook beforeDrawing)
      : inner_(inner), before_(std::move(beforeDrawing)) {}

  TSize deviceSize() const override { return inner_.deviceSize(); }
  void fill(const TDC& dc, const TRect& r, COLORREF c) override;
  void text(const TDC& dc, int x, int y, std::string_view s, COLORREF c) override;
  void line(const TDC& dc, int x1, int y1, int x2, int y2, const TPen& p) override;
  void rectangle(const TDC& dc, const TRect& r, const TPen& p, const TBrush& b) override;
  void pixel(const TDC& dc, int x, int y, COLORREF c) override;

 private:
  // The logical box [left, right] x [top, bottom] (corners included), mapped, with a margin.
  void note(const TDC& dc, int left, int top, int right, int bottom, int penWidth = 0);
  DrawDevice& inner_;
  Hook before_;
};
