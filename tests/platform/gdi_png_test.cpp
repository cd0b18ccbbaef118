// PNG output of the raster device, read back with libpng.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/gdi/png_encode.h"
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

// The palette writer against the frame and against the plain RGB writer, on frames of every bit
// depth and size class, including frames large enough to be compressed in two halves.
namespace {

struct Written {
  Image image;
  int depth = 0;
  int colourType = 0;
};

// Writes through RasterDevice::writePng (or the RGB writer) and reads the file back.
Written writeAndRead(const RasterDevice& dev, bool plain) {
  Written w;
  const bool ok = plain ? pelinor::gdi::writeRgbPng("frame.png", dev.pixels(), dev.width(), dev.height())
                        : dev.writePng("frame.png");
  EXPECT_TRUE(ok);
  const std::string bytes = testsupport::readFile("frame.png");
  if (bytes.size() < 26) return w;
  w.depth = static_cast<unsigned char>(bytes[24]);
  w.colourType = static_cast<unsigned char>(bytes[25]);
  EXPECT_TRUE(readPng("frame.png", w.image));
  return w;
}

// Fills the frame with `colours` distinct colours laid out by `layout`: "chart" (runs, dotted
// lines, boxes), "late" (the first colour everywhere, the others only in the bottom rows, in a
// scrambled order), "halves" (the first colour everywhere, half of the others in the top rows and
// the rest in the bottom rows), "palette noise" (each pixel one of the colours at random) or
// "noise" (random colours).
void paint(RasterDevice& dev, int colours, const std::string& layout, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<COLORREF> palette;
  for (int i = 0; i < colours; ++i)
    palette.push_back(RGB((i * 37 + 11) & 0xFF, (i * 91 + (i >> 8) * 7) & 0xFF, ((i * 13) ^ (i >> 3)) & 0xFF));
  TDC dc(dev);
  const int w = dev.width(), h = dev.height();
  const auto x = [&] { return static_cast<int>(rng() % static_cast<unsigned>(w)); };
  const auto y = [&] { return static_cast<int>(rng() % static_cast<unsigned>(h)); };
  if (layout == "noise") {
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) dc.SetPixel(i, j, RGB(rng() & 0xFF, rng() & 0xFF, rng() & 0xFF));
    return;
  }
  if (layout == "palette noise") {  // each pixel one of the colours at random: few matches
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) dc.SetPixel(i, j, palette[rng() % palette.size()]);
    for (int i = 0; i < colours; ++i) dc.SetPixel(i % w, i / w % h, palette[static_cast<std::size_t>(i)]);
    return;
  }
  dev.clear(palette[0]);
  if (layout == "chart") {
    for (int i = 0; i < colours; ++i) {
      const COLORREF c = palette[static_cast<std::size_t>(i)];
      dc.SelectObject(TPen(c, 0, i % 3 == 0 ? PS_DOT : PS_SOLID));
      dc.MoveTo(x(), y());
      dc.LineTo(x(), y());
      dc.FillRect(TRect{x(), y(), x(), y()}, TBrush(c));
    }
    for (int i = 0; i < colours; ++i) dc.SetPixel(i % w, i / w % h, palette[static_cast<std::size_t>(i)]);
    return;
  }
  const int firstLate = layout == "halves" ? colours / 2 + 1 : 1;
  for (int i = 1; i < firstLate; ++i) dc.SetPixel(i % w, i / w, palette[static_cast<std::size_t>(i)]);
  for (int i = firstLate; i < colours; ++i) dc.SetPixel(x(), h - 1 - i % 3, palette[static_cast<std::size_t>(i)]);
  for (int i = firstLate; i < colours; ++i) dc.SetPixel(i % w, h - 1, palette[static_cast<std::size_t>(i)]);
}

}  // namespace

TEST(RasterPng, PaletteAndRgbWritersDecodeToTheFrame) {
  struct Case {
    int width, height, colours;
    const char* layout;
    int depth, colourType;  // what the fast writer uses
  };
  const Case cases[] = {
      {1, 1, 1, "chart", 1, 3},        {1, 300, 2, "chart", 1, 3},     {3001, 1, 3, "chart", 2, 3},
      {37, 23, 4, "chart", 2, 3},      {33, 17, 5, "chart", 4, 3},     {640, 480, 14, "chart", 4, 3},
      {101, 7, 16, "chart", 4, 3},     {99, 98, 17, "chart", 8, 3},    {255, 255, 256, "chart", 8, 3},
      {255, 255, 257, "chart", 8, 2},  {64, 48, 0, "noise", 8, 2},     {701, 301, 200, "chart", 8, 3},
      {1021, 401, 256, "late", 8, 3},  {1021, 401, 257, "late", 8, 2}, {1021, 401, 256, "halves", 8, 3},
      {1021, 401, 257, "halves", 8, 2}, {1021, 401, 9, "halves", 4, 3}, {801, 333, 0, "noise", 8, 2},
      {1920, 1440, 12, "chart", 4, 3},  {300, 200, 256, "palette noise", 8, 3},
      {900, 300, 16, "palette noise", 4, 3}, {70001, 3, 20, "chart", 8, 3},
  };
  testsupport::TempWorkDir dir;
  unsigned seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " " +
                 std::to_string(c.colours) + " " + c.layout);
    RasterDevice dev(c.width, c.height);
    paint(dev, c.colours, c.layout, seed++);
    const Written fast = writeAndRead(dev, false);
    EXPECT_EQ(fast.depth, c.depth);
    EXPECT_EQ(fast.colourType, c.colourType);
    EXPECT_EQ(fast.image.width, c.width);
    EXPECT_EQ(fast.image.height, c.height);
    EXPECT_TRUE(fast.image.rgb == dev.rgb());
    const Written plain = writeAndRead(dev, true);
    EXPECT_EQ(plain.colourType, 2);
    EXPECT_TRUE(plain.image.rgb == fast.image.rgb);
  }
}

TEST(RasterPng, UnusedTopBytesOfTheFrameAreIgnored) {
  // Frame words with a set top byte are the same colours: the palette holds each colour once.
  std::vector<std::uint32_t> words(4 * 3, 0x00102030u);
  words[1] = 0xFF102030u;
  words[5] = 0x7F405060u;
  words[6] = 0x00405060u;
  const auto pieces = pelinor::gdi::encodeIndexedPng(words.data(), 4, 3);
  ASSERT_TRUE(pieces.has_value());
  const std::vector<std::uint8_t> png = pieces->bytes();
  testsupport::TempWorkDir dir;
  testsupport::writeFile("words.png", std::string(png.begin(), png.end()));
  Image img;
  ASSERT_TRUE(readPng("words.png", img));
  for (std::size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(img.rgb[3 * i], (words[i] >> 16) & 0xFF);
    EXPECT_EQ(img.rgb[3 * i + 1], (words[i] >> 8) & 0xFF);
    EXPECT_EQ(img.rgb[3 * i + 2], words[i] & 0xFF);
  }
  EXPECT_EQ(png[24], 1);  // two colours: one bit per pixel
}

TEST(RasterPng, TheCompressedStreamAndItsChecksumsAreSound) {
  // Each chunk's CRC and the zlib stream's own Adler-32, checked with zlib, on a frame done in
  // two halves (the trailer combines the checksums of both).
  RasterDevice dev(900, 700);
  paint(dev, 40, "chart", 7);
  const auto pieces = pelinor::gdi::encodeIndexedPng(dev.pixels(), dev.width(), dev.height());
  ASSERT_TRUE(pieces.has_value());
  const std::vector<std::uint8_t> bytes = pieces->bytes();
  const std::vector<std::uint8_t>* png = &bytes;
  const std::uint8_t* p = png->data();
  std::size_t at = 8;
  std::vector<std::uint8_t> idat;
  std::vector<std::string> types;
  const auto u32 = [&](std::size_t i) {
    return std::uint32_t{p[i]} << 24 | std::uint32_t{p[i + 1]} << 16 | std::uint32_t{p[i + 2]} << 8 | p[i + 3];
  };
  while (at + 12 <= png->size()) {
    const std::uint32_t length = u32(at);
    ASSERT_LE(at + 12 + length, png->size());
    types.emplace_back(reinterpret_cast<const char*>(p + at + 4), 4);
    EXPECT_EQ(u32(at + 8 + length), crc32(0, p + at + 4, length + 4)) << types.back();
    if (types.back() == "IDAT") idat.insert(idat.end(), p + at + 8, p + at + 8 + length);
    at += 12 + length;
  }
  EXPECT_EQ(at, png->size());
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
  // 8 bits per pixel: each row is its filter byte and 900 indices.
  std::vector<std::uint8_t> raw(901 * 700 + 1);
  uLongf rawLength = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &rawLength, idat.data(), idat.size()), Z_OK);  // checks the Adler-32
  EXPECT_EQ(rawLength, 901u * 700u);
}
