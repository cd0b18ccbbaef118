// The chart screen: the top row, the pane of each mode and where the long-term chart appears.
#include "tests/viewer/chart_fixture.h"

namespace charttest {
namespace {

class ChartScreenTest : public ChartFixture {};

TEST_F(ChartScreenTest, TopRowShowsCodeNameMarketButtonsAndNewestFigures) {
  stocks.push_back(linearStock(*this, 1301));
  Stock second;
  second.code = 2001;
  second.nameUtf8 = "第二";
  second.section = 3;
  marketdb::DayRecord d;
  d.date = 20010105;  // 2001-01-05: the year needs its leading zero
  d.open = 95;
  d.high = 120;
  d.low = -3;
  d.close = 101;
  d.change = -7;
  d.volume = 12345.5f;
  second.ring[sys.storePosition] = d;
  stocks.push_back(second);
  open();

  show(1301);
  EXPECT_TRUE(hasText(0, 0, "FFFF00", "1301"));
  EXPECT_TRUE(hasText(32, 0, "FFFFFF", "テスト"));
  EXPECT_TRUE(hasText(136, 0, "FF0000", "東証１"));
  EXPECT_TRUE(hasText(511, 0, "FF0000", "注目登録"));
  EXPECT_TRUE(hasText(575, 0, "00FFFF", "注目削除"));
  // The newest day is day 639 of the history: 1999-07-10, close 1679 on an odd (falling) day.
  EXPECT_TRUE(hasText(184, 0, "C0C0C0", "990710"));
  EXPECT_TRUE(hasText(232, 0, "C0C0C0", " 1689"));
  EXPECT_TRUE(hasText(272, 0, "C0C0C0", " 1720"));
  EXPECT_TRUE(hasText(312, 0, "C0C0C0", " 1639"));
  EXPECT_TRUE(hasText(352, 0, "C0C0C0", " 1679"));
  EXPECT_TRUE(hasText(392, 0, "C0C0C0", "    1"));
  EXPECT_TRUE(hasText(432, 0, "C0C0C0", "   720.0"));

  show(2001);
  EXPECT_TRUE(hasText(0, 0, "FFFF00", "2001"));
  EXPECT_TRUE(hasText(32, 0, "FFFFFF", "第二"));
  EXPECT_TRUE(hasText(136, 0, "FF0000", "東証２"));
  EXPECT_TRUE(hasText(184, 0, "C0C0C0", "010105"));
  EXPECT_TRUE(hasText(232, 0, "C0C0C0", "   95"));
  EXPECT_TRUE(hasText(312, 0, "C0C0C0", "   -3"));
  EXPECT_TRUE(hasText(392, 0, "C0C0C0", "   -7"));
  EXPECT_TRUE(hasText(432, 0, "C0C0C0", " 12345.5"));
  EXPECT_TRUE(texts("1301").empty());
}

TEST_F(ChartScreenTest, EachModeRecordsItsPaneAndTheLongTermChartFollowsExceptInMode8) {
  stocks.push_back(linearStock(*this, 1301));
  open();
  show(1301);
  EXPECT_EQ(chart->viewMode, 9);
  EXPECT_EQ(chart->lastPaneMode, 9);

  struct Case {
    unsigned key;
    int mode;
    int pane;
  };
  const Case cases[] = {{VK_F5, 5, 5}, {VK_F4, 4, 4}, {VK_F3, 3, 9}, {VK_F6, 7, 7},
                        {VK_F7, 77, 7}, {VK_F9, 9, 9}, {VK_F8, 8, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    chart->lastPaneMode = 0;
    key(c.key);
    EXPECT_EQ(chart->viewMode, c.mode);
    EXPECT_EQ(chart->lastPaneMode, c.pane);
    EXPECT_TRUE(hasText(0, 0, "FFFF00", "1301"));
    EXPECT_TRUE(hasText(184, 0, "C0C0C0", "990710"));
    // The dash-dot line at x 427 belongs to the long-term chart alone.
    EXPECT_EQ(countLines("606060", "dashdot"), c.mode == 8 ? 0 : 1);
  }
  // Mode 8 draws the top row and its pane only: none of the long-term chart's labels (its
  // month labels at y 462, its summary and highest price at H + 23 = 283).
  for (const Op& op : ops()) {
    if (op.kind == "text") {
      EXPECT_NE(op.v[1], 462) << op.text;
      EXPECT_NE(op.v[1], 283) << op.text;
    }
  }
}

}  // namespace
}  // namespace charttest
