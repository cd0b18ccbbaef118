// PNG output of the raster device's frame: a palette image when the frame has at most 256
// colours (charts have a dozen), else 8-bit RGB through libpng. Both decode to the frame's pixels.
#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include "platform/gdi/png_encode.h"
#include "platform/gdi/raster_device.h"

namespace pelinor::gdi {
namespace {

// libpng reports errors by long jump; writing happens inside this function only, with nothing
// on its stack that needs a destructor after setjmp. The rows are 32-bit words 0x00RRGGBB:
// libpng drops the unused byte and puts red first.
//
// The frame is mostly runs of one colour: the difference from the pixel to the left with
// deflate's fastest level compresses it well at a small part of the default settings' time,
// and a PNG decodes to the same pixels whatever its filters. (A run-length-only deflate was
// measured too: on a 1920 x 1440 chart it was slower than level 1 and wrote files 4x larger.)
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
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  if constexpr (std::endian::native == std::endian::little) {
    png_set_bgr(png);                             // bytes B G R X in memory
    png_set_filler(png, 0, PNG_FILLER_AFTER);
  } else {
    png_set_filler(png, 0, PNG_FILLER_BEFORE);    // bytes X R G B in memory
  }
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// Closes the file; on any failure the partial file is removed.
bool finish(std::FILE* file, bool ok, const std::string& path) {
  if (std::fclose(file) != 0) ok = false;
  if (!ok) std::remove(path.c_str());
  return ok;
}

}  // namespace

bool writeRgbPng(const std::string& path, const std::uint32_t* pixels, int width, int height) {
  if (width <= 0 || height <= 0) return false;  // a PNG has at least one pixel
  std::vector<png_bytep> rows(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    rows[static_cast<std::size_t>(y)] = reinterpret_cast<png_bytep>(
        const_cast<std::uint32_t*>(pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width)));
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  return finish(file, writeRows(file, width, height, rows.data()), path);
}

}  // namespace pelinor::gdi

bool RasterDevice::writePng(const std::string& path) const {
  if (width_ <= 0 || height_ <= 0) return false;
  const auto png = pelinor::gdi::encodeIndexedPng(pixels_.data(), width_, height_);
  if (!png) return pelinor::gdi::writeRgbPng(path, pixels_.data(), width_, height_);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = true;
  for (const auto& piece : png->pieces)
    ok = ok && std::fwrite(piece.data(), 1, piece.size(), file) == piece.size();
  return pelinor::gdi::finish(file, ok, path);
}
