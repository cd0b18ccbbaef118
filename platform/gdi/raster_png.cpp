// PNG output of the raster device's frame (8-bit RGB).
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "platform/gdi/raster_device.h"

namespace {

// libpng reports errors by long jump; writing happens inside this function only, with nothing
// on its stack that needs a destructor after setjmp.
bool writeRows(std::FILE* file, int width, int height, png_bytep* rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool RasterDevice::writePng(const std::string& path) const {
  if (width_ <= 0 || height_ <= 0) return false;  // a PNG has at least one pixel
  std::vector<png_bytep> rows(static_cast<std::size_t>(height_));
  for (int y = 0; y < height_; ++y)
    rows[static_cast<std::size_t>(y)] =
        const_cast<png_bytep>(rgb_.data() + static_cast<std::size_t>(y) * width_ * 3);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = writeRows(file, width_, height_, rows.data());
  if (std::fclose(file) != 0) ok = false;
  if (!ok) std::remove(path.c_str());
  return ok;
}
