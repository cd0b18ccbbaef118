// pelinor-icon: writes the program icon as an RGBA PNG, each pixel of the 32 x 32 picture
// scaled up to a SCALE x SCALE block (the desktop's icon theme wants fixed sizes). Run at build
// time to make the icons that `cmake --install` puts into the hicolor theme.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/program_icon.h"

namespace {

bool writePng(const std::string& path, int width, int height,
              const std::vector<unsigned char>& rgba) {
  std::FILE* fp = std::fopen(path.c_str(), "wb");
  if (!fp) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    std::fclose(fp);
    return false;
  }
  png_init_io(png, fp);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y)
    png_write_row(png, rgba.data() + static_cast<std::size_t>(y) * width * 4);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(fp) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int scale = argc == 3 ? std::atoi(argv[1]) : 0;
  if (scale < 1 || scale > 16) {
    std::fprintf(stderr, "usage: pelinor-icon SCALE OUT.png   (SCALE 1..16)\n");
    return 2;
  }
  const Icon icon = programIcon();
  const int width = icon.width * scale;
  const int height = icon.height * scale;
  std::vector<unsigned char> rgba(static_cast<std::size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = icon.rgba[static_cast<std::size_t>(y / scale) * icon.width + x / scale];
      unsigned char* o = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
      o[0] = static_cast<unsigned char>(p >> 16);
      o[1] = static_cast<unsigned char>(p >> 8);
      o[2] = static_cast<unsigned char>(p);
      o[3] = static_cast<unsigned char>(p >> 24);
    }
  }
  if (!writePng(argv[2], width, height, rgba)) {
    std::fprintf(stderr, "pelinor-icon: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
