// The recording device's lines, as written by the dump command.
#include <gtest/gtest.h>

#include "platform/gdi/recording_device.h"
#include "platform/text/cp932.h"

TEST(Recording, EveryOperationKindInLogicalCoordinates) {
  RecordingDevice rec(1280, 960);
  TDC dc(rec);
  dc.SetMapMode(MM_ANISOTROPIC);
  dc.SetWindowExt({640, 480});
  dc.SetViewportExt({1280, 960});  // the record stays in logical units whatever the scale
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(RGB(0x12, 0xAB, 0xEF));
  dc.TextOut(16, 0, SJ("銘柄名"));
  dc.SelectObject(TPen(RGB(255, 0, 0), 0, PS_DOT));
  dc.MoveTo(0, 40);
  dc.LineTo(639, 40);
  dc.LineTo(639, 471);
  dc.SelectObject(TPen(RGB(0, 0, 128)));
  dc.MoveTo(-26, 5);
  dc.LineTo(3, 6);
  dc.SelectObject(TPen(RGB(1, 2, 3), 0, PS_DASHDOT));
  dc.MoveTo(427, 59);
  dc.LineTo(427, 471);
  dc.SelectObject(TPen(RGB(0xFF, 0xFF, 0xFF)));
  dc.SelectObject(TBrush(RGB(0xC0, 0, 0x0A)));
  dc.Rectangle(10, 30, 5, 20);
  dc.SelectObject(TBrush::Hollow());
  dc.Rectangle(TRect{1, 2, 3, 4});
  dc.FillRect(TRect{0, 0, 640, 480}, TBrush(RGB(0, 0x80, 0)));
  dc.SetPixel(7, 8, RGB(0xAA, 0xBB, 0xCC));
  EXPECT_EQ(rec.dump(),
            "text 16 0 12ABEF \"銘柄名\"\n"
            "line 0 40 639 40 FF0000 dot\n"
            "line 639 40 639 471 FF0000 dot\n"
            "line -26 5 3 6 000080 solid\n"
            "line 427 59 427 471 010203 dashdot\n"
            "rect 10 30 5 20 FFFFFF C0000A\n"
            "rect 1 2 3 4 FFFFFF none\n"
            "fill 0 0 640 480 008000\n"
            "pixel 7 8 AABBCC\n");
  EXPECT_EQ(rec.operations().size(), 9u);
  rec.clear();
  EXPECT_EQ(rec.dump(), "");
}

TEST(Recording, OpaqueTextIsPrecededByTheFillOfItsCell) {
  RecordingDevice rec(640, 480);
  TDC dc(rec);
  dc.SelectObject(TFont(SJ("MSｺﾞｼｯｸ"), 16, 6));
  EXPECT_EQ(dc.GetBkMode(), OPAQUE) << "a new device context draws text opaque";
  dc.SetBkColor(RGB(0, 0, 0));
  dc.SetTextColor(RGB(255, 255, 0));
  dc.TextOut(424, 79, SJ("W9年"));  // 2 half-width + 1 full-width = 4 units of 6
  dc.SelectObject(TFont(SJ("MSｺﾞｼｯｸ"), 20, 10));
  dc.TextOut(0, 0, "");
  EXPECT_EQ(rec.dump(),
            "fill 424 79 448 95 000000\n"
            "text 424 79 FFFF00 \"W9年\"\n"
            "fill 0 0 0 20 000000\n"
            "text 0 0 FFFF00 \"\"\n");
}

TEST(Recording, TextEscapesAndInvalidBytes) {
  RecordingDevice rec(640, 480);
  TDC dc(rec);
  dc.SetBkMode(TRANSPARENT);
  dc.TextOut(1, 2, "say \"hi\" C:\\x");
  dc.TextOut(3, 4, std::string("\xFF" "A\x83", 3));
  dc.TextOut(5, 6, std::string("a\nb\x00", 4));
  EXPECT_EQ(rec.dump(),
            "text 1 2 000000 \"say \\\"hi\\\" C:\\\\x\"\n"
            "text 3 4 000000 \"\xEF\xBF\xBD" "A\xEF\xBF\xBD\"\n"
            "text 5 6 000000 \"a\\x0Ab\\x00\"\n");
}
