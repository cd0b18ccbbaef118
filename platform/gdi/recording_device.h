// Keeps every operation of a paint in logical coordinates, one line per operation:
//   fill L T R B RRGGBB
//   text X Y RRGGBB "text in UTF-8"
//   line X1 Y1 X2 Y2 RRGGBB solid|dot|dashdot
//   rect L T R B RRGGBB FILL-RRGGBB|none
//   pixel X Y RRGGBB
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/tdc.h"

class RecordingDevice : public DrawDevice {
 public:
  RecordingDevice(int width, int height) : width_(width), height_(height) {}

  void resize(int width, int height) {
    width_ = width;
    height_ = height;
  }
  void clear();  // keeps the buffers' room for the next paint
  // The operations as text lines (without '\n'), formatted when asked for.
  const std::vector<std::string>& operations() const;
  std::string dump() const;  // the operations, each ending with '\n'

  TSize deviceSize() const override { return {width_, height_}; }
  void fill(const TDC& dc, const TRect& logical, COLORREF color) override;
  void text(const TDC& dc, int x, int y, std::string_view cp932, COLORREF color) override;
  void line(const TDC& dc, int x1, int y1, int x2, int y2, const TPen& pen) override;
  void rectangle(const TDC& dc, const TRect& logical, const TPen& pen,
                 const TBrush& brush) override;
  void pixel(const TDC& dc, int x, int y, COLORREF color) override;

 private:
  // One operation as drawn; a text's bytes lie in texts_ at [textAt, textAt + textSize).
  struct Op {
    enum Kind : std::uint8_t { Fill, Text, Line, Rect, Pixel } kind;
    bool hollow = false;
    int style = PS_SOLID;
    int a = 0, b = 0, c = 0, d = 0;
    COLORREF color = 0;
    COLORREF fillColor = 0;
    std::size_t textAt = 0;
    std::size_t textSize = 0;
  };
  void format(const Op& op, std::string& out) const;
  void changed() { formatted_ = false; }

  int width_;
  int height_;
  std::vector<Op> ops_;
  std::string texts_;
  mutable std::vector<std::string> lines_;
  mutable bool formatted_ = true;
};

// Forwards every operation to two devices (the script host paints into a raster and a
// recording at once).
class TeeDevice : public DrawDevice {
 public:
  TeeDevice(DrawDevice& a, DrawDevice& b) : a_(a), b_(b) {}
  TSize deviceSize() const override { return a_.deviceSize(); }
  void fill(const TDC& dc, const TRect& r, COLORREF c) override {
    a_.fill(dc, r, c);
    b_.fill(dc, r, c);
  }
  void text(const TDC& dc, int x, int y, std::string_view s, COLORREF c) override {
    a_.text(dc, x, y, s, c);
    b_.text(dc, x, y, s, c);
  }
  void line(const TDC& dc, int x1, int y1, int x2, int y2, const TPen& p) override {
    a_.line(dc, x1, y1, x2, y2, p);
    b_.line(dc, x1, y1, x2, y2, p);
  }
  void rectangle(const TDC& dc, const TRect& r, const TPen& p, const TBrush& br) override {
    a_.rectangle(dc, r, p, br);
    b_.rectangle(dc, r, p, br);
  }
  void pixel(const TDC& dc, int x, int y, COLORREF c) override {
    a_.pixel(dc, x, y, c);
    b_.pixel(dc, x, y, c);
  }

 private:
  DrawDevice& a_;
  DrawDevice& b_;
};
