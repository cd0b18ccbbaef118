// The straightforward raster renderer, kept for tests only: every pixel goes through one
// bounds-checked write into 3-byte RGB, a line's minor coordinate is divided out for each
// pixel, and a glyph is drawn pixel by pixel from its ink. The raster device's fast paths
// must give exactly its frames.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi/tdc.h"

class PlainRaster : public DrawDevice {
 public:
  PlainRaster(int width, int height);
  const std::vector<std::uint8_t>& rgb() const { return rgb_; }
  void clear(COLORREF color);

  TSize deviceSize() const override { return {width_, height_}; }
  void fill(const TDC& dc, const TRect& logical, COLORREF color) override;
  void text(const TDC& dc, int x, int y, std::string_view cp932, COLORREF color) override;
  void line(const TDC& dc, int x1, int y1, int x2, int y2, const TPen& pen) override;
  void rectangle(const TDC& dc, const TRect& logical, const TPen& pen,
                 const TBrush& brush) override;
  void pixel(const TDC& dc, int x, int y, COLORREF color) override;

 private:
  void put(long long x, long long y, COLORREF c);
  void fillDevice(long long left, long long top, long long right, long long bottom, COLORREF c);
  int width_;
  int height_;
  std::vector<std::uint8_t> rgb_;
};
