#include "platform/gdi/raster_device.h"

RasterDevice::RasterDevice(int w, int h) { resize(w, h); }
RasterDevice::~RasterDevice() = default;
void RasterDevice::resize(int w, int h) { width_ = w < 0 ? 0 : w; height_ = h < 0 ? 0 : h; rgb_.assign(static_cast<std::size_t>(width_) * height_ * 3, 0); }
COLORREF RasterDevice::pixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
  return RGB(rgb_[i], rgb_[i + 1], rgb_[i + 2]);
}
void RasterDevice::clear(COLORREF) {}
void RasterDevice::fillDevice(int, int, int, int, COLORREF) {}
bool RasterDevice::writePng(const std::string&) const { return false; }
void RasterDevice::fill(const TDC&, const TRect&, COLORREF) {}
void RasterDevice::text(const TDC&, int, int, std::string_view, COLORREF) {}
void RasterDevice::line(const TDC&, int, int, int, int, const TPen&) {}
void RasterDevice::rectangle(const TDC&, const TRect&, const TPen&, const TBrush&) {}
void RasterDevice::pixel(const TDC&, int, int, COLORREF) {}
void RasterDevice::put(int, int, COLORREF) {}
const std::string& gothicFontPath() { static const std::string empty; return empty; }
