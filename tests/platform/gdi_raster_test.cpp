// Raster device geometry: mapping, lines, pens, rectangles, fills and pixels, pixel by pixel.
// Expected device coordinates are worked out by hand from device = floor(logical * size / extent).
#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>

#include "platform/gdi/raster_device.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

void mapTo640x480(TDC& dc, int w, int h) {
  dc.SetMapMode(MM_ANISOTROPIC);
  dc.SetWindowExt({640, 480});
  dc.SetViewportExt({w, h});
}

// The device pixels of the given colour.
std::set<std::pair<int, int>> pixelsOf(const RasterDevice& dev, COLORREF c) {
  std::set<std::pair<int, int>> out;
  for (int y = 0; y < dev.height(); ++y)
    for (int x = 0; x < dev.width(); ++x)
      if (dev.pixelAt(x, y) == c) out.insert({x, y});
  return out;
}

std::set<std::pair<int, int>> row(int y, std::initializer_list<int> xs) {
  std::set<std::pair<int, int>> out;
  for (int x : xs) out.insert({x, y});
  return out;
}

std::set<std::pair<int, int>> span(int y, int from, int to, int step = 1) {
  std::set<std::pair<int, int>> out;
  for (int x = from; x < to; x += step) out.insert({x, y});
  return out;
}

}  // namespace

TEST(TdcMapping, FloorOfScaledCoordinatesIncludingNegatives) {
  RasterDevice dev(800, 450);
  TDC dc(dev);
  EXPECT_EQ(dc.LPtoDPx(10), 10) << "MM_TEXT until the mode is set";
  dc.SetViewportOrg({3, -2});
  EXPECT_EQ(dc.LPtoDPx(10), 13);
  EXPECT_EQ(dc.LPtoDPy(10), 8);
  dc.SetViewportOrg({0, 0});
  mapTo640x480(dc, 800, 450);
  EXPECT_EQ(dc.GetMapMode(), MM_ANISOTROPIC);
  EXPECT_EQ(dc.LPtoDPx(10), 12);    // 12.5
  EXPECT_EQ(dc.LPtoDPy(20), 18);    // 18.75
  EXPECT_EQ(dc.LPtoDPx(-26), -33);  // -32.5 rounds down, not toward zero
  EXPECT_EQ(dc.LPtoDPy(-1), -1);    // -0.9375
  EXPECT_EQ(dc.LPtoDPx(640), 800);
  EXPECT_EQ(dc.LPtoDPy(480), 450);
  // No overflow for coordinates whose product exceeds 32 bits.
  EXPECT_EQ(dc.LPtoDPx(1000000000), 1250000000);
  EXPECT_EQ(dc.LPtoDPx(2000000000), INT_MAX) << "beyond int: held at the limit";
  dc.SetViewportOrg({5, 7});
  EXPECT_EQ(dc.LPtoDPx(-26), -28);
  EXPECT_EQ(dc.LPtoDPy(20), 25);
  dc.SetWindowExt({0, 0});  // degenerate extent: no division by zero
  (void)dc.LPtoDPx(1);
}

TEST(RasterLines, SolidLinesExcludeTheEndPointAndAreOnePixelThick) {
  RasterDevice dev(640, 480);
  TDC dc(dev);
  mapTo640x480(dc, 640, 480);
  dc.SelectObject(TPen(kRed, 0));
  dc.MoveTo(10, 20);
  EXPECT_TRUE(dc.LineTo(20, 20));
  EXPECT_EQ(dc.GetCurrentPosition().x, 20);
  EXPECT_EQ(pixelsOf(dev, kRed), span(20, 10, 20));

  RasterDevice dev2(640, 480);
  TDC dc2(dev2);
  dc2.SelectObject(TPen(kRed, 3));  // any width is one device pixel
  dc2.MoveTo(5, 5);
  dc2.LineTo(5, 9);  // vertical, downwards
  dc2.MoveTo(30, 3);
  dc2.LineTo(27, 0);  // diagonal, up and left
  dc2.MoveTo(50, 50);
  dc2.LineTo(50, 50);  // zero length: nothing
  std::set<std::pair<int, int>> expected{{5, 5}, {5, 6}, {5, 7}, {5, 8}, {30, 3}, {29, 2}, {28, 1}};
  EXPECT_EQ(pixelsOf(dev2, kRed), expected);
}

TEST(RasterLines, ShallowLineStepsOncePerHalf) {
  RasterDevice dev(640, 480);
  TDC dc(dev);
  dc.SelectObject(TPen(kRed));
  dc.MoveTo(0, 0);
  dc.LineTo(4, 2);
  // y = round(x * 2 / 4), halves away from the start: 0, 1 (0.5), 1, 2 (1.5).
  std::set<std::pair<int, int>> expected{{0, 0}, {1, 1}, {2, 1}, {3, 2}};
  EXPECT_EQ(pixelsOf(dev, kRed), expected);
}

TEST(RasterLines, ScaledLinesAt1280x960And800x450) {
  RasterDevice big(1280, 960);
  TDC dcBig(big);
  mapTo640x480(dcBig, 1280, 960);
  dcBig.SelectObject(TPen(kRed, 0));
  dcBig.MoveTo(10, 20);
  dcBig.LineTo(20, 20);
  EXPECT_EQ(pixelsOf(big, kRed), span(40, 20, 40)) << "one device pixel thick at scale 2";

  RasterDevice wide(800, 450);
  TDC dcWide(wide);
  mapTo640x480(dcWide, 800, 450);
  dcWide.SelectObject(TPen(kRed, 0));
  dcWide.MoveTo(10, 20);  // (12, 18)
  dcWide.LineTo(20, 20);  // (25, 18)
  dcWide.MoveTo(-26, 40);  // (-33, 37): starts left of the frame
  dcWide.LineTo(2, 40);    // (2, 37)
  std::set<std::pair<int, int>> expected = span(18, 12, 25);
  for (auto p : span(37, 0, 2)) expected.insert(p);
  EXPECT_EQ(pixelsOf(wide, kRed), expected);
}

TEST(RasterLines, DottedPenAlternatesAndRestartsAtEachLineTo) {
  RasterDevice dev(640, 480);
  TDC dc(dev);
  mapTo640x480(dc, 640, 480);
  dc.SelectObject(TPen(kRed, 0, PS_DOT));
  dc.MoveTo(10, 30);
  dc.LineTo(20, 30);
  dc.MoveTo(10, 40);
  dc.LineTo(13, 40);  // 10, 12
  dc.LineTo(16, 40);  // restarts at 13: 13, 15
  dc.MoveTo(20, 50);
  dc.LineTo(10, 50);  // right to left, starting at 20
  std::set<std::pair<int, int>> expected = row(30, {10, 12, 14, 16, 18});
  for (auto p : row(40, {10, 12, 13, 15})) expected.insert(p);
  for (auto p : row(50, {20, 18, 16, 14, 12})) expected.insert(p);
  EXPECT_EQ(pixelsOf(dev, kRed), expected);

  // At scale 2 the dots are every other device pixel, not every other logical unit.
  RasterDevice big(1280, 960);
  TDC dcBig(big);
  mapTo640x480(dcBig, 1280, 960);
  dcBig.SelectObject(TPen(kRed, 0, PS_DOT));
  dcBig.MoveTo(10, 20);
  dcBig.LineTo(20, 20);
  EXPECT_EQ(pixelsOf(big, kRed), span(40, 20, 40, 2));
}

TEST(RasterLines, DottedPhaseDoesNotDependOnClipping) {
  RasterDevice dev(640, 480);
  TDC dc(dev);
  dc.SelectObject(TPen(kRed, 0, PS_DOT));
  dc.MoveTo(-5, 10);  // pixels -5, -3, -1, 1, 3 ... of which 1 and 3 are visible
  dc.LineTo(5, 10);
  EXPECT_EQ(pixelsOf(dev, kRed), row(10, {1, 3}));
}

TEST(RasterLines, DashDotPattern) {
  RasterDevice dev(640, 480);
  TDC dc(dev);
  dc.SelectObject(TPen(kRed, 0, PS_DASHDOT));
  dc.MoveTo(0, 0);
  dc.LineTo(26, 0);
  // Dash of 6, gap of 3, dot, gap of 3; twice.
  EXPECT_EQ(pixelsOf(dev, kRed), row(0, {0, 1, 2, 3, 4, 5, 9, 13, 14, 15, 16, 17, 18, 22}));
}

TEST(RasterLines, HugeCoordinatesAreClippedNotWalked) {
  RasterDevice dev(640, 480);
  TDC dc(dev);
  mapTo640x480(dc, 640, 480);
  dc.SelectObject(TPen(kRed));
  dc.MoveTo(-2000000000, 100);
  dc.LineTo(2000000000, 100);
  EXPECT_EQ(pixelsOf(dev, kRed), span(100, 0, 640));
  dc.SelectObject(TPen(kGreen));
  dc.MoveTo(INT_MIN, INT_MIN);
  dc.LineTo(INT_MAX, INT_MAX);  // through the whole frame, diagonally
  dc.MoveTo(INT_MAX, INT_MIN);
  dc.LineTo(INT_MIN, INT_MAX);
  EXPECT_EQ(dev.pixelAt(0, 0), kGreen);
  EXPECT_EQ(dev.pixelAt(240, 240), kGreen);
}

TEST(RasterShapes, RectangleOutlineAndFillAt640x480) {
  RasterDevice dev(640, 480);
  TDC dc(dev);
  mapTo640x480(dc, 640, 480);
  dc.SelectObject(TPen(kRed));
  dc.SelectObject(TBrush(kGreen));
  dc.Rectangle(10, 20, 15, 24);  // device [10,15) x [20,24)
  std::set<std::pair<int, int>> outline;
  for (int x = 10; x < 15; ++x) outline.insert({x, 20}), outline.insert({x, 23});
  for (int y = 20; y < 24; ++y) outline.insert({10, y}), outline.insert({14, y});
  EXPECT_EQ(pixelsOf(dev, kRed), outline);
  std::set<std::pair<int, int>> inside;
  for (int y = 21; y < 23; ++y)
    for (int x = 11; x < 14; ++x) inside.insert({x, y});
  EXPECT_EQ(pixelsOf(dev, kGreen), inside);
}

TEST(RasterShapes, RectangleWithCornersInAnyOrderAndHollowBrush) {
  RasterDevice dev(640, 480);
  TDC dc(dev);
  dc.SelectObject(TPen(kRed));
  dc.SelectObject(TBrush(kGreen));
  dc.Rectangle(14, 23, 10, 20);  // a candle body given bottom-up
  EXPECT_EQ(dev.pixelAt(10, 20), kRed);
  EXPECT_EQ(dev.pixelAt(13, 22), kRed);
  EXPECT_EQ(dev.pixelAt(11, 21), kGreen);
  EXPECT_EQ(dev.pixelAt(14, 20), kBlack);

  dc.SelectObject(TBrush::Hollow());
  dc.Rectangle(30, 30, 34, 34);
  EXPECT_EQ(dev.pixelAt(30, 30), kRed);
  EXPECT_EQ(dev.pixelAt(31, 31), kBlack) << "hollow brush leaves the inside alone";
  EXPECT_EQ(dev.pixelAt(32, 32), kBlack);
}

TEST(RasterShapes, RectangleFillAndPixelAt800x450) {
  RasterDevice dev(800, 450);
  TDC dc(dev);
  mapTo640x480(dc, 800, 450);
  dc.SelectObject(TPen(kRed));
  dc.SelectObject(TBrush(kGreen));
  dc.Rectangle(10, 20, 30, 40);  // device [12,37) x [18,37)
  int red = 0, green = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 60; ++x) {
      bool in = x >= 12 && x < 37 && y >= 18 && y < 37;
      bool edge = in && (x == 12 || x == 36 || y == 18 || y == 36);
      COLORREF want = !in ? kBlack : edge ? kRed : kGreen;
      ASSERT_EQ(dev.pixelAt(x, y), want) << x << "," << y;
      red += edge;
      green += in && !edge;
    }
  EXPECT_EQ(red, 2 * 25 + 2 * 17);
  EXPECT_EQ(green, 23 * 17);

  RasterDevice dev2(800, 450);
  TDC dc2(dev2);
  mapTo640x480(dc2, 800, 450);
  dc2.FillRect(TRect{10, 20, 30, 40}, TBrush(kGreen));
  std::set<std::pair<int, int>> filled;
  for (int y = 18; y < 37; ++y)
    for (int x = 12; x < 37; ++x) filled.insert({x, y});
  EXPECT_EQ(pixelsOf(dev2, kGreen), filled);
  EXPECT_TRUE(dc2.FillRect(TRect{0, 0, 640, 480}, TBrush::Hollow()));
  EXPECT_EQ(pixelsOf(dev2, kGreen), filled) << "a hollow brush fills nothing";

  EXPECT_EQ(dc2.SetPixel(10, 20, kRed), kRed);
  EXPECT_EQ(pixelsOf(dev2, kRed), row(18, {12}));
}

TEST(RasterShapes, PixelAndFillAt1280x960AreScaled) {
  RasterDevice dev(1280, 960);
  TDC dc(dev);
  mapTo640x480(dc, 1280, 960);
  dc.SetPixel(10, 20, kRed);
  EXPECT_EQ(pixelsOf(dev, kRed), row(40, {20})) << "a pixel stays one device pixel";
  dc.FillRect(TRect{1, 1, 3, 2}, TBrush(kGreen));
  std::set<std::pair<int, int>> filled;
  for (int y = 2; y < 4; ++y)
    for (int x = 2; x < 6; ++x) filled.insert({x, y});
  EXPECT_EQ(pixelsOf(dev, kGreen), filled);
}

TEST(RasterShapes, ClippingAtTheFrameEdges) {
  RasterDevice dev(20, 10);
  TDC dc(dev);
  dc.SelectObject(TPen(kRed));
  dc.SelectObject(TBrush(kGreen));
  dc.Rectangle(-5, -5, 25, 15);  // outline entirely outside, inside covers the frame
  EXPECT_EQ(pixelsOf(dev, kRed).size(), 0u);
  EXPECT_EQ(pixelsOf(dev, kGreen).size(), 200u);
  dc.Rectangle(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  dc.FillRect(TRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, TBrush(kRed));
  EXPECT_EQ(pixelsOf(dev, kRed).size(), 200u);
  dc.SetPixel(-1, 0, kGreen);
  dc.SetPixel(20, 0, kGreen);
  dc.SetPixel(0, 10, kGreen);
  EXPECT_EQ(pixelsOf(dev, kRed).size(), 200u);
}

TEST(RasterDeviceFrame, ResizeClearAndExtremeSizes) {
  RasterDevice dev(4, 3);
  dev.clear(kRed);
  EXPECT_EQ(dev.rgb().size(), 36u);
  EXPECT_EQ(dev.rgb()[0], 255);
  EXPECT_EQ(dev.rgb()[1], 0);
  dev.fillDevice(1, 1, 3, 2, kGreen);
  EXPECT_EQ(dev.pixelAt(1, 1), kGreen);
  EXPECT_EQ(dev.pixelAt(3, 1), kRed);
  dev.resize(2, 2);
  EXPECT_EQ(dev.pixelAt(0, 0), kBlack);
  EXPECT_EQ(dev.deviceSize().cx, 2);
  // Grown again after drawing, small and large (the large come from other memory): black
  // everywhere, none of the earlier frame left.
  for (auto [w, h] : {std::pair{4, 3}, std::pair{1000, 600}, std::pair{1000, 700}}) {
    dev.clear(kRed);
    dev.resize(w, h);
    EXPECT_EQ(dev.rgb(), std::vector<std::uint8_t>(std::size_t(w) * h * 3, 0)) << w << "x" << h;
  }

  for (auto [w, h] : {std::pair{1, 1}, std::pair{4000, 3000}, std::pair{0, 0}}) {
    RasterDevice frame(w, h);
    TDC dc(frame);
    mapTo640x480(dc, w, h);
    dc.SelectObject(TPen(kRed, 0, PS_DOT));
    dc.SelectObject(TBrush(kGreen));
    dc.SelectObject(TFont("", 16, 6));
    dc.FillRect(TRect{0, 0, 640, 480}, TBrush(kBlack));
    dc.Rectangle(10, 10, 600, 400);
    dc.MoveTo(-100, -100);
    dc.LineTo(700, 500);
    dc.SetPixel(639, 479, kRed);
    dc.SetBkMode(OPAQUE);
    dc.TextOut(600, 470, "ABC\xFF");
    dc.TextOut(-30, -5, "\x93\xFA");
    if (w == 4000) {
      EXPECT_EQ(frame.pixelAt(62, 62), kRed);         // rectangle corner: floor(10 * 6.25)
      EXPECT_EQ(frame.pixelAt(3993, 2993), kRed);     // the pixel at (639, 479)
      EXPECT_EQ(frame.pixelAt(3994, 2994), kBlack);
    }
  }
}
