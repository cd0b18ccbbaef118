// PNG output of the raster device, read back with libpng.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <vector>

#include "platform/gdi/raster_device.h"
#include "tests/support/test_support.h"

namespace {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
};

bool readPng(const std::string& path, Image& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.rgb.assign(PNG_IMAGE_SIZE(image), 0);
  return png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr) != 0;
}

}  // namespace

TEST(RasterPng, WritesTheFrameAsRgb) {
  testsupport::TempWorkDir dir;
  RasterDevice dev(3, 2);
  dev.clear(RGB(10, 20, 30));
  TDC dc(dev);
  dc.SetPixel(2, 1, RGB(255, 128, 0));
  dc.SetPixel(0, 0, RGB(1, 2, 3));
  ASSERT_TRUE(dev.writePng("frame.png"));
  std::string bytes = testsupport::readFile("frame.png");
  ASSERT_GE(bytes.size(), 8u);
  EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1A\n");
  Image img;
  ASSERT_TRUE(readPng("frame.png", img));
  EXPECT_EQ(img.width, 3);
  EXPECT_EQ(img.height, 2);
  EXPECT_EQ(img.rgb, dev.rgb());
  EXPECT_EQ(img.rgb[(1 * 3 + 2) * 3 + 0], 255);
  EXPECT_EQ(img.rgb[(1 * 3 + 2) * 3 + 1], 128);
  EXPECT_EQ(img.rgb[0], 1);
}

TEST(RasterPng, FailuresAreReported) {
  testsupport::TempWorkDir dir;
  RasterDevice dev(2, 2);
  EXPECT_FALSE(dev.writePng("no-such-folder/frame.png"));
  RasterDevice empty(0, 0);
  EXPECT_FALSE(empty.writePng("empty.png"));
  EXPECT_EQ(testsupport::readFile("empty.png"), "");
}
