// Software renderer into a frame of the client size; text through FreeType with the Japanese
// gothic found by fontconfig; PNG output (raster_png.cpp: palette images for few colours, else RGB).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/frame_memory.h"
#include "platform/gdi/tdc.h"

namespace pelinor::gdi {
class GlyphSets;
}

class RasterDevice : public DrawDevice {
 public:
  RasterDevice(int width, int height);
  ~RasterDevice() override;
  RasterDevice(const RasterDevice&) = delete;
  RasterDevice& operator=(const RasterDevice&) = delete;

  void resize(int width, int height);  // contents become black
  int width() const { return width_; }
  int height() const { return height_; }
  // Pixels row by row, one 32-bit word each holding 0x00RRGGBB (the layout a window takes
  // without conversion).
  const std::uint32_t* pixels() const { return pixels_.data(); }
  // Pixels row by row, 3 bytes each (red, green, blue).
  std::vector<std::uint8_t> rgb() const;
  COLORREF pixelAt(int x, int y) const;
  void clear(COLORREF color);                                   // device pixels
  void fillDevice(int left, int top, int right, int bottom, COLORREF color);  // device pixels
  bool writePng(const std::string& path) const;
  // The device pixels of `rect` (clipped to the frame first, and `rect` set to what was kept)
  // into `out`, row by row; and back from such a copy.
  void saveRect(TRect& rect, std::vector<std::uint32_t>& out) const;
  void loadRect(const TRect& rect, const std::vector<std::uint32_t>& pixels);

  TSize deviceSize() const override { return {width_, height_}; }
  void fill(const TDC& dc, const TRect& logical, COLORREF color) override;
  void text(const TDC& dc, int x, int y, std::string_view cp932, COLORREF color) override;
  void line(const TDC& dc, int x1, int y1, int x2, int y2, const TPen& pen) override;
  void rectangle(const TDC& dc, const TRect& logical, const TPen& pen,
                 const TBrush& brush) override;
  void pixel(const TDC& dc, int x, int y, COLORREF color) override;

  // The frame's word for a colour.
  static constexpr std::uint32_t word(COLORREF c) {
    return (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
           (static_cast<std::uint32_t>(GetGValue(c)) << 8) | static_cast<std::uint32_t>(GetBValue(c));
  }

 private:
  void put(long long x, long long y, std::uint32_t w) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(x)] = w;
  }
  void fillWords(int left, int top, int right, int bottom, std::uint32_t w);
  void boxOutline(int left, int top, int right, int bottom, std::uint32_t w);
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t, pelinor::gdi::FrameAllocator<std::uint32_t>> pixels_;
  std::unique_ptr<pelinor::gdi::GlyphSets> glyphs_;  // ready glyphs of the sizes drawn so far
};

// Path of the font file that serves "MSｺﾞｼｯｸ" (found once); empty if none.
const std::string& gothicFontPath();
// The same search through fontconfig alone (gothicFontPath may take the packaged file directly).
std::string gothicThroughFontconfig();
