// Text on the raster device: cell sizes at several scales, opaque cells, replacement cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <tuple>

#include "platform/gdi/raster_device.h"
#include "platform/text/cp932.h"

namespace {

constexpr COLORREF kInk = RGB(255, 255, 0);
constexpr COLORREF kPaper = RGB(0, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

struct Box {
  int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;  // inclusive
  int count = 0;
};

// Bounding box of the pixels of colour c.
Box inkBox(const RasterDevice& dev, COLORREF c) {
  Box b;
  for (int y = 0; y < dev.height(); ++y)
    for (int x = 0; x < dev.width(); ++x)
      if (dev.pixelAt(x, y) == c) {
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
        ++b.count;
      }
  return b;
}

void setUp(TDC& dc, int w, int h) {
  dc.SetMapMode(MM_ANISOTROPIC);
  dc.SetWindowExt({640, 480});
  dc.SetViewportExt({w, h});
  dc.SelectObject(TFont(SJ("MSｺﾞｼｯｸ"), 16, 6));
  dc.SetTextColor(kInk);
  dc.SetBkMode(TRANSPARENT);
}

class TextRaster : public ::testing::Test {
 protected:
  void SetUp() override {
    if (gothicFontPath().empty()) GTEST_SKIP() << "no font installed";
  }
};

}  // namespace

TEST_F(TextRaster, FullWidthGlyphFillsItsCellAtTwoScales) {
  struct Case {
    int w, h, left, top, right, bottom;  // expected device cell of "■" at logical (100, 50)
  };
  // 640x480: [100, 112) x [50, 66); 1280x960: [200, 224) x [100, 132).
  for (Case c : {Case{640, 480, 100, 50, 112, 66}, Case{1280, 960, 200, 100, 224, 132}}) {
    for (const char* glyph : {"■", "Ｗ"}) {
      RasterDevice dev(c.w, c.h);
      TDC dc(dev);
      setUp(dc, c.w, c.h);
      dc.TextOut(100, 50, pelinor::text::toCp932(glyph));
      Box b = inkBox(dev, kInk);
      ASSERT_GT(b.count, 0) << glyph;
      EXPECT_GE(b.left, c.left);
      EXPECT_LT(b.right, c.right);
      EXPECT_GE(b.top, c.top);
      EXPECT_LT(b.bottom, c.bottom);
      // The glyph spans most of its cell: within a fifth of the cell of each side edge.
      int cw = c.right - c.left, ch = c.bottom - c.top;
      EXPECT_LE(b.left - c.left, cw / 5) << glyph << " at " << c.w;
      EXPECT_LE(c.right - 1 - b.right, cw / 5) << glyph << " at " << c.w;
      EXPECT_GE(b.bottom - b.top + 1, ch / 2) << glyph << " at " << c.w;
    }
  }
}

TEST_F(TextRaster, HalfWidthCharactersStayInTheirOwnCells) {
  // "WW" at 800x450: cells [125, 132) and [132, 140) in x (floor of 125, 132.5, 140),
  // rows [46, 61) (floor of 46.875 and 61.875).
  RasterDevice dev(800, 450);
  TDC dc(dev);
  setUp(dc, 800, 450);
  dc.TextOut(100, 50, "W");
  Box first = inkBox(dev, kInk);
  ASSERT_GT(first.count, 0);
  EXPECT_GE(first.left, 125);
  EXPECT_LT(first.right, 132);
  EXPECT_GE(first.top, 46);
  EXPECT_LT(first.bottom, 61);

  RasterDevice dev2(800, 450);
  TDC dc2(dev2);
  setUp(dc2, 800, 450);
  dc2.TextOut(106, 50, "W");
  Box second = inkBox(dev2, kInk);
  ASSERT_GT(second.count, 0);
  EXPECT_GE(second.left, 132);
  EXPECT_LT(second.right, 140);
  EXPECT_GT(first.right - first.left, 3) << "a W is several pixels wide";
}

TEST_F(TextRaster, StringAdvancesSixUnitsPerHalfWidthAndTwelvePerFullWidth) {
  // "A日A" at 1280x960 from x 10: A in [20, 32), 日 in [32, 56), A in [56, 68).
  RasterDevice all(1280, 960);
  TDC dc(all);
  setUp(dc, 1280, 960);
  dc.TextOut(10, 0, SJ("A日A"));
  Box whole = inkBox(all, kInk);
  EXPECT_GE(whole.left, 20);
  EXPECT_LT(whole.right, 68);
  EXPECT_GE(whole.right, 56) << "the last A is drawn after the full-width cell";
  EXPECT_LT(whole.bottom, 32);

  // The same character drawn alone at its cell's position gives the same pixels.
  RasterDevice alone(1280, 960);
  TDC dcAlone(alone);
  setUp(dcAlone, 1280, 960);
  dcAlone.TextOut(28, 0, "A");
  for (int y = 0; y < 32; ++y)
    for (int x = 56; x < 68; ++x) ASSERT_EQ(all.pixelAt(x, y), alone.pixelAt(x, y)) << x << "," << y;
}

TEST_F(TextRaster, OpaqueTextFillsExactlyItsCell) {
  for (auto [w, h, l, t, r, b] : {std::tuple{640, 480, 100, 50, 118, 66},
                                  std::tuple{800, 450, 125, 46, 147, 61}}) {
    RasterDevice dev(w, h);
    TDC dc(dev);
    setUp(dc, w, h);
    dc.SetBkMode(OPAQUE);
    dc.SetBkColor(kPaper);
    dc.TextOut(100, 50, SJ("1日"));  // three half-width units: 18 logical
    int ink = 0;
    for (int y = t - 2; y < b + 2; ++y)
      for (int x = l - 2; x < r + 2; ++x) {
        bool in = x >= l && x < r && y >= t && y < b;
        COLORREF p = dev.pixelAt(x, y);
        if (in) {
          ASSERT_TRUE(p == kPaper || p == kInk) << x << "," << y;
          ink += p == kInk;
        } else {
          ASSERT_EQ(p, kBlack) << x << "," << y;
        }
      }
    EXPECT_GT(ink, 10);
  }
}

TEST_F(TextRaster, BoldIsHeavier) {
  RasterDevice normal(640, 480), bold(640, 480);
  TDC dcN(normal), dcB(bold);
  setUp(dcN, 640, 480);
  setUp(dcB, 640, 480);
  dcB.SelectObject(TFont(SJ("MSｺﾞｼｯｸ"), 16, 6, FW_BOLD));
  dcN.TextOut(0, 0, SJ("分析"));
  dcB.TextOut(0, 0, SJ("分析"));
  EXPECT_GT(inkBox(bold, kInk).count, inkBox(normal, kInk).count);
  EXPECT_LT(inkBox(bold, kInk).right, 24);
}

TEST(TextRasterAnyFont, InvalidByteDrawsOneReplacementCell) {
  // "\xFF" then "A" at 640x480, from x 60: the replacement is a box inside [60, 66) x [0, 16),
  // the A lies in [66, 72).
  RasterDevice dev(640, 480);
  TDC dc(dev);
  setUp(dc, 640, 480);
  dc.TextOut(60, 0, "\xFF");
  Box box = inkBox(dev, kInk);
  ASSERT_GT(box.count, 0) << "the replacement is visible even without a font";
  EXPECT_EQ(box.left, 61);
  EXPECT_EQ(box.right, 64);
  EXPECT_EQ(box.top, 2);
  EXPECT_EQ(box.bottom, 13);
  EXPECT_EQ(dev.pixelAt(62, 5), kBlack) << "an outline, not a filled block";

  dc.TextOut(60, 0, "\xFF" "A");
  if (!gothicFontPath().empty()) {
    Box both = inkBox(dev, kInk);
    EXPECT_GE(both.right, 66);
    EXPECT_LT(both.right, 72);
  }
  // Bytes that do not decode never crash, at any position, and at the end of a string.
  dc.TextOut(0, 100, std::string("\x81", 1));
  dc.TextOut(0, 120, std::string("\x81\x20\x80\xA0\xFD\xFE\xFF\x00", 8));
}

// The packaged gothic taken directly is the file fontconfig itself chooses, so the shortcut
// draws the same glyphs.
TEST_F(TextRaster, DirectFontFileIsTheOneFontconfigChooses) {
  const std::string viaFontconfig = gothicThroughFontconfig();
  ASSERT_FALSE(viaFontconfig.empty());
  EXPECT_EQ(std::filesystem::canonical(gothicFontPath()), std::filesystem::canonical(viaFontconfig));
}
