// Snapshots of a real chart: the palette PNG and the plain RGB PNG decode to the same pixels,
// those of the frame, at the window's usual size and at a large one (compressed in two halves).
#include <png.h>

#include "platform/gdi/png_encode.h"
#include "tests/viewer/chart_fixture.h"

namespace charttest {
namespace {

class ChartPngTest : public ChartFixture {};

std::vector<std::uint8_t> decoded(const std::string& path, int& width, int& height, int& colourType) {
  const std::string bytes = testsupport::readFile(path);
  colourType = bytes.size() > 25 ? static_cast<unsigned char>(bytes[25]) : -1;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  return rgb;
}

TEST_F(ChartPngTest, PaletteAndRgbSnapshotsOfAChartDecodeToTheFrame) {
  stocks.push_back(linearStock(*this, 1301));
  open();
  show(1301);
  for (TSize size : {TSize{640, 480}, TSize{1920, 1440}, TSize{333, 251}}) {
    SCOPED_TRACE(std::to_string(size.cx) + "x" + std::to_string(size.cy));
    driver->size(size.cx, size.cy);
    const RasterDevice& raster = driver->raster();
    ASSERT_EQ(raster.width(), size.cx);
    ASSERT_TRUE(raster.writePng("fast.png"));
    ASSERT_TRUE(pelinor::gdi::writeRgbPng("plain.png", raster.pixels(), raster.width(), raster.height()));
    int w = 0, h = 0, type = 0;
    const std::vector<std::uint8_t> fast = decoded("fast.png", w, h, type);
    EXPECT_EQ(type, 3);  // a chart has few colours: the palette writer took it
    EXPECT_EQ(w, size.cx);
    EXPECT_EQ(h, size.cy);
    const std::vector<std::uint8_t> plain = decoded("plain.png", w, h, type);
    EXPECT_EQ(type, 2);
    const std::vector<std::uint8_t> frame = raster.rgb();
    EXPECT_TRUE(fast == frame);
    EXPECT_TRUE(plain == frame);
  }
}

}  // namespace
}  // namespace charttest
