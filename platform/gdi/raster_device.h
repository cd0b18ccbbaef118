// Software renderer into an RGB frame of the client size; text through FreeType with the
// Japanese gothic found by fontconfig; PNG output through libpng.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/tdc.h"

class RasterDevice : public DrawDevice {
 public:
  RasterDevice(int width, int height);
  ~RasterDevice() override;

  void resize(int width, int height);  // contents become black
  int width() const { return width_; }
  int height() const { return height_; }
  // Pixels row by row, 3 bytes each (red, green, blue).
  const std::vector<std::uint8_t>& rgb() const { return rgb_; }
  COLORREF pixelAt(int x, int y) const;
  void clear(COLORREF color);                                   // device pixels
  void fillDevice(int left, int top, int right, int bottom, COLORREF color);  // device pixels
  bool writePng(const std::string& path) const;

  TSize deviceSize() const override { return {width_, height_}; }
  void fill(const TDC& dc, const TRect& logical, COLORREF color) override;
  void text(const TDC& dc, int x, int y, std::string_view cp932, COLORREF color) override;
  void line(const TDC& dc, int x1, int y1, int x2, int y2, const TPen& pen) override;
  void rectangle(const TDC& dc, const TRect& logical, const TPen& pen,
                 const TBrush& brush) override;
  void pixel(const TDC& dc, int x, int y, COLORREF color) override;

 private:
  void put(int x, int y, COLORREF c);
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> rgb_;
};

// Path of the font file that serves "MSｺﾞｼｯｸ" (found once through fontconfig); empty if none.
const std::string& gothicFontPath();
