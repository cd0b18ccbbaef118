// The raster device's fast paths (32-bit fills, straight and stepped lines, ready glyphs drawn
// by runs, the fast PNG settings) and the recording device's late formatting, each compared
// whole frame against the plain renderer kept in plain_raster.cpp.
#include <gtest/gtest.h>
#include <png.h>

#include <climits>
#include <functional>
#include <random>
#include <sstream>
#include <string>

#include "platform/gdi/raster_device.h"
#include "platform/gdi/recording_device.h"
#include "platform/host/headless_driver.h"
#include "platform/text/cp932.h"
#include "tests/platform/plain_raster.h"
#include "tests/support/test_support.h"

namespace {

struct Mapping {
  const char* name;
  int width, height;
  std::function<void(TDC&)> apply;
};

void anisotropic(TDC& dc, TSize window, TSize viewport, TPoint origin = {}) {
  dc.SetMapMode(MM_ANISOTROPIC);
  dc.SetWindowExt(window);
  dc.SetViewportExt(viewport);
  dc.SetViewportOrg(origin);
}

const Mapping kMappings[] = {
    {"device pixels", 320, 200, [](TDC&) {}},
    {"640x480 at 1920x1440", 1920, 1440, [](TDC& dc) { anisotropic(dc, {640, 480}, {1920, 1440}); }},
    {"640x480 at 800x450", 800, 450, [](TDC& dc) { anisotropic(dc, {640, 480}, {800, 450}); }},
    {"640x480 at 333x251", 333, 251, [](TDC& dc) { anisotropic(dc, {640, 480}, {333, 251}); }},
    {"mirrored both ways", 400, 300,
     [](TDC& dc) { anisotropic(dc, {640, 480}, {-400, -300}, {399, 299}); }},
    {"mirrored across, shifted", 500, 260,
     [](TDC& dc) { anisotropic(dc, {640, 480}, {-500, 260}, {520, -7}); }},
};

COLORREF randomColour(std::mt19937& rng) {
  return RGB(static_cast<int>(rng() % 256), static_cast<int>(rng() % 256),
             static_cast<int>(rng() % 256));
}

// A coordinate mostly on the 640x480 page, sometimes well off it, now and then huge.
int coordinate(std::mt19937& rng, int page) {
  switch (rng() % 10) {
    case 0: return static_cast<int>(rng() % 4000) - 2000;
    case 1: return (rng() % 2 ? 1 : -1) * static_cast<int>(rng() % 1000000000);
    default: return static_cast<int>(rng() % static_cast<unsigned>(page + 40)) - 20;
  }
}

// A scene of every kind of operation, the same for every device given the same seed.
void drawScene(TDC& dc, unsigned seed) {
  std::mt19937 rng(seed);
  const int styles[] = {PS_SOLID, PS_DOT, PS_DASHDOT};
  const std::string texts[] = {
      "AB12,.-", pelinor::text::toCp932("日経平均 ﾄﾖﾀ 株価"), std::string("x\x81\x20y\xFF", 5),
      pelinor::text::toCp932("連動・注目"), "W"};
  const TFont fonts[] = {TFont(SJ("MSｺﾞｼｯｸ"), 16, 8), TFont(SJ("MSｺﾞｼｯｸ"), 12, 6, FW_BOLD),
                         TFont(SJ("MSｺﾞｼｯｸ"), 24, 12), TFont(SJ("MSｺﾞｼｯｸ"), 9, 4)};
  for (int op = 0; op < 400; ++op) {
    const int kind = static_cast<int>(rng() % 10);
    if (kind < 5) {  // lines, a third of them along a row or a column
      dc.SelectObject(TPen(randomColour(rng), 0, styles[rng() % 3]));
      int x1 = coordinate(rng, 640), y1 = coordinate(rng, 480);
      int x2 = coordinate(rng, 640), y2 = coordinate(rng, 480);
      if (rng() % 3 == 0) (rng() % 2 ? y2 : x2) = (rng() % 2 ? y1 : x1);
      if (rng() % 3 == 0) {
        if (rng() % 2) y2 = y1; else x2 = x1;
      }
      dc.MoveTo(x1, y1);
      dc.LineTo(x2, y2);
    } else if (kind < 7) {
      dc.SelectObject(TPen(randomColour(rng)));
      dc.SelectObject(rng() % 3 == 0 ? TBrush::Hollow() : TBrush(randomColour(rng)));
      dc.Rectangle(coordinate(rng, 640), coordinate(rng, 480), coordinate(rng, 640),
                   coordinate(rng, 480));
    } else if (kind == 7) {
      dc.FillRect(TRect{coordinate(rng, 640), coordinate(rng, 480), coordinate(rng, 640),
                        coordinate(rng, 480)},
                  TBrush(randomColour(rng)));
    } else if (kind == 8) {
      dc.SetPixel(coordinate(rng, 640), coordinate(rng, 480), randomColour(rng));
    } else {
      dc.SelectObject(fonts[rng() % 4]);
      dc.SetTextColor(randomColour(rng));
      dc.SetBkColor(randomColour(rng));
      dc.SetBkMode(rng() % 2 ? OPAQUE : TRANSPARENT);
      const int x = static_cast<int>(rng() % 700) - 30, y = static_cast<int>(rng() % 520) - 20;
      dc.TextOut(x, y, texts[rng() % 5]);
    }
  }
}

}  // namespace

TEST(RasterFastPaths, WholeFramesEqualThePlainRenderer) {
  for (const Mapping& m : kMappings) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
      RasterDevice fast(m.width, m.height);
      PlainRaster plain(m.width, m.height);
      fast.clear(RGB(10, 20, 30));
      plain.clear(RGB(10, 20, 30));
      TDC fastDc(fast), plainDc(plain);
      m.apply(fastDc);
      m.apply(plainDc);
      drawScene(fastDc, seed);
      drawScene(plainDc, seed);
      const std::vector<std::uint8_t> frame = fast.rgb();
      ASSERT_EQ(frame.size(), plain.rgb().size());
      std::size_t differing = 0, first = frame.size();
      for (std::size_t i = 0; i < frame.size(); i += 3) {
        if (frame[i] != plain.rgb()[i] || frame[i + 1] != plain.rgb()[i + 1] ||
            frame[i + 2] != plain.rgb()[i + 2]) {
          if (differing++ == 0) first = i / 3;
        }
      }
      EXPECT_EQ(differing, 0u) << m.name << ", seed " << seed << ": first at ("
                               << first % m.width << ", " << first / m.width << ")";
    }
  }
}

TEST(RasterFastPaths, StraightLinesOfEveryPenBothWaysAndClipped) {
  // Rows and columns from every side of the frame, in both directions, of every pen: the
  // straight paths must keep the pattern's phase from the start and leave the end point out.
  RasterDevice fast(97, 61);
  PlainRaster plain(97, 61);
  TDC fastDc(fast), plainDc(plain);
  const int ends[] = {-1000, -13, -1, 0, 5, 48, 96, 97, 130, 5000};
  for (int style : {PS_SOLID, PS_DOT, PS_DASHDOT}) {
    COLORREF colour = RGB(style * 60 + 10, 200, 40);
    for (int a : ends) {
      for (int b : ends) {
        for (TDC* dc : {&fastDc, &plainDc}) {
          dc->SelectObject(TPen(colour, 0, style));
          dc->MoveTo(a, (a & 63) % 61);
          dc->LineTo(b, (a & 63) % 61);  // a row
          dc->MoveTo((b & 127) % 97, a);
          dc->LineTo((b & 127) % 97, b);  // a column
        }
        colour += 0x010203;
      }
    }
  }
  EXPECT_EQ(fast.rgb(), plain.rgb());
}

TEST(RasterFastPaths, PngOfAWholeSceneDecodesToTheFrame) {
  testsupport::TempWorkDir dir;
  RasterDevice dev(640, 480);
  TDC dc(dev);
  drawScene(dc, 42);
  ASSERT_TRUE(dev.writePng("scene.png"));
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&png, "scene.png"));
  png.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> decoded(PNG_IMAGE_SIZE(png));
  ASSERT_TRUE(png_image_finish_read(&png, nullptr, decoded.data(), 0, nullptr));
  EXPECT_EQ(png.width, 640u);
  EXPECT_EQ(png.height, 480u);
  EXPECT_EQ(decoded, dev.rgb());
}

TEST(RecordingFormat, LinesAreFormattedWhenAskedAndFollowEveryChange) {
  RecordingDevice rec(640, 480);
  TDC dc(rec);
  dc.SelectObject(TPen(RGB(1, 2, 3), 0, PS_DASHDOT));
  dc.MoveTo(-5, 7);
  dc.LineTo(600, 7);
  ASSERT_EQ(rec.operations().size(), 1u);
  EXPECT_EQ(rec.operations()[0], "line -5 7 600 7 010203 dashdot");
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(RGB(255, 0, 16));
  dc.TextOut(3, 4, std::string("a\"b\\c", 5));
  dc.SelectObject(TBrush::Hollow());
  dc.Rectangle(1, 2, 3, 4);
  rec.clear();
  dc.TextOut(9, 8, "after");
  // After a clear only what came later is kept; the text buffer starts again.
  ASSERT_EQ(rec.operations().size(), 1u);
  EXPECT_EQ(rec.operations()[0], "text 9 8 FF0010 \"after\"");
  dc.TextOut(1, 1, std::string("q\"\\", 3));
  dc.Rectangle(1, 2, 3, 4);
  dc.SetPixel(-1, 2, RGB(0xAB, 0xCD, 0xEF));
  const std::vector<std::string> expected = {"text 9 8 FF0010 \"after\"",
                                             "text 1 1 FF0010 \"q\\\"\\\\\"",
                                             "rect 1 2 3 4 010203 none", "pixel -1 2 ABCDEF"};
  EXPECT_EQ(rec.operations(), expected);
  std::string joined;
  for (const std::string& line : expected) joined += line + "\n";
  EXPECT_EQ(rec.dump(), joined);
}

namespace {

// A window that draws the scene of its paint count.
class SceneWindow : public TWindow {
 public:
  void Paint(TDC& dc, bool, TRect&) override { drawScene(dc, 7 + paints++); }
  void EvKeyDown(unsigned, unsigned, unsigned) override { Invalidate(); }
  int paints = 0;
};

}  // namespace

TEST(RecordingFormat, AHeadlessRunWithoutRecordingPaintsTheSameFrames) {
  std::ostringstream out;
  std::vector<std::uint8_t> frames[2];
  std::size_t recorded[2] = {};
  for (int recording = 0; recording < 2; ++recording) {
    const ResourceSet none;
    SDIDecFrame frame("scene", std::make_unique<SceneWindow>(), none);
    HeadlessDriver driver(frame, TSize{640, 480}, out);
    driver.setRecording(recording == 1);
    driver.start();
    driver.key('A');
    frames[recording] = driver.raster().rgb();
    recorded[recording] = driver.recording().operations().size();
  }
  EXPECT_EQ(frames[0], frames[1]);
  EXPECT_EQ(recorded[0], 0u);
  EXPECT_GT(recorded[1], 300u);
}
