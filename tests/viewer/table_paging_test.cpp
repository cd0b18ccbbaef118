// The price table of ← and →: its header, its rows and how it pages through the ring.
#include "tests/viewer/chart_fixture.h"

namespace charttest {
namespace {

class PriceTableTest : public ChartFixture {
 public:
  // Every slot dated 980000 + slot, so that a row tells which slot it shows.
  Stock slotStock() {
    Stock st;
    st.code = 1301;
    st.nameUtf8 = "表";
    for (int s = 0; s < marketdb::HistoryDays; ++s) {
      marketdb::DayRecord d;
      d.date = 19980000 + s;
      d.open = d.high = d.low = d.close = 500;
      d.volume = 10;
      st.ring[s] = d;
    }
    return st;
  }
  // The date in row r (y = 16 r + 16).
  std::string rowDate(int r) const {
    for (const Op& op : ops())
      if (op.kind == "text" && op.v[0] == 0 && op.v[1] == 16 * r + 16) return op.text;
    return "";
  }
  std::string slotDate(int s) const { return std::to_string(980000 + s); }
};

TEST_F(PriceTableTest, LeftPagesBackFromTheNewestDayAndWrapsRightWrapsForward) {
  sys.storePosition = 0;
  stocks.push_back(slotStock());
  open();
  show(1301);

  // ← right after a chart: the newest day first, then one slot back per row, 0 wrapping to 639.
  key(VK_LEFT);
  EXPECT_EQ(chart->viewMode, 15);
  EXPECT_EQ(rowDate(0), slotDate(0));
  EXPECT_EQ(rowDate(1), slotDate(639));
  EXPECT_EQ(rowDate(28), slotDate(612));
  EXPECT_EQ(rowDate(29), "");
  EXPECT_EQ(chart->arrowPressed, 0);

  // Each further ← goes back 29 days; from 0 that wraps to 611.
  key(VK_LEFT);
  EXPECT_EQ(rowDate(0), slotDate(611));
  EXPECT_EQ(rowDate(28), slotDate(583));
  key(VK_LEFT);
  EXPECT_EQ(rowDate(0), slotDate(582));

  // A repaint that no arrow caused keeps the page.
  driver->paint();
  EXPECT_EQ(rowDate(0), slotDate(582));

  // → goes forward 29; from 611 it wraps to 0 (not to 640, outside the ring).
  key(VK_RIGHT);
  EXPECT_EQ(rowDate(0), slotDate(611));
  key(VK_RIGHT);
  EXPECT_EQ(rowDate(0), slotDate(0));
  EXPECT_EQ(rowDate(1), slotDate(639));
  key(VK_RIGHT);
  EXPECT_EQ(rowDate(0), slotDate(29));
}

TEST_F(PriceTableTest, BackFromEarlySlotsWrapsToTheEndAndAChartRestartsAtTheNewestDay) {
  sys.storePosition = 28;
  stocks.push_back(slotStock());
  open();
  show(1301);
  key(VK_RIGHT);  // → right after a chart also opens at the newest day
  EXPECT_EQ(chart->viewMode, 16);
  EXPECT_EQ(rowDate(0), slotDate(28));
  key(VK_LEFT);
  EXPECT_EQ(rowDate(0), slotDate(639));  // 28 + 611
  key(VK_LEFT);
  EXPECT_EQ(rowDate(0), slotDate(610));
  key(VK_F9);
  key(VK_LEFT);
  EXPECT_EQ(rowDate(0), slotDate(28));
}

TEST_F(PriceTableTest, RowsShowThePricesAndTheAveragesOfTheLastChart) {
  stocks.push_back(linearStock(*this, 1301));
  open();
  show(1301);
  key(VK_LEFT);
  // Newest day 639: 1999-07-10, close 1679 on a falling day.
  EXPECT_TRUE(hasText(0, 16, "C0C0C0", "990710"));
  EXPECT_TRUE(hasText(48, 16, "C0C0C0", " 1689"));
  EXPECT_TRUE(hasText(88, 16, "C0C0C0", " 1720"));
  EXPECT_TRUE(hasText(128, 16, "C0C0C0", " 1639"));
  EXPECT_TRUE(hasText(168, 16, "C0C0C0", " 1679"));
  EXPECT_TRUE(hasText(208, 16, "C0C0C0", "    1"));
  EXPECT_TRUE(hasText(248, 16, "C0C0C0", "   720.0"));
  // Averages of the long-term chart: 200 days (1480 .. 1679) 1579.5, 25 days 1667, 75 days 1642.
  EXPECT_TRUE(hasText(312, 16, "00FF00", " 1579"));
  EXPECT_TRUE(hasText(352, 16, "00FF00", "  0"));
  EXPECT_TRUE(hasText(376, 16, "FF00FF", " 1667"));
  EXPECT_TRUE(hasText(440, 16, "FFFF00", " 1642"));
  EXPECT_TRUE(hasText(504, 16, "0000FF", "  0"));
  EXPECT_TRUE(hasText(576, 16, "FFFFFF", "  0"));
  EXPECT_TRUE(hasText(608, 16, "FFFFFF", "    0"));
  // Row 9 is day 630: the month's first day, 1999-07-01.
  EXPECT_TRUE(hasText(0, 160, "C0C0C0", "990701"));
  // Nothing but the table is drawn: no top row, no chart.
  EXPECT_TRUE(texts("1301").empty());
  for (const Op& op : ops()) EXPECT_TRUE(op.kind == "text" || op.kind == "fill") << op.kind;
}

TEST_F(PriceTableTest, HeaderNamesTheColumnsOfTheLastPane) {
  stocks.push_back(linearStock(*this, 1301));
  open();
  show(1301);
  key(VK_LEFT);
  for (const auto& [x, name] : std::vector<std::pair<int, std::string>>{
           {0, "日付"}, {56, "始値"}, {96, "高値"}, {136, "安値"}, {176, "終値"}, {216, "前比"},
           {264, "出来高"}}) {
    EXPECT_TRUE(hasText(x, 0, "C0C0C0", name)) << name;
  }
  EXPECT_TRUE(hasText(312, 0, "00FF00", "移日1"));
  EXPECT_TRUE(hasText(360, 0, "00FF00", "－"));
  EXPECT_TRUE(hasText(376, 0, "FF00FF", "移日2"));
  EXPECT_TRUE(hasText(424, 0, "FF00FF", "－"));
  EXPECT_TRUE(hasText(440, 0, "FFFF00", "移日3"));
  EXPECT_TRUE(hasText(488, 0, "FFFF00", "－"));
  EXPECT_TRUE(hasText(504, 0, "0000FF", "  -"));
  EXPECT_TRUE(hasText(528, 0, "FF0000", "  -"));
  EXPECT_TRUE(hasText(552, 0, "00FFFF", "  -"));
  EXPECT_TRUE(hasText(576, 0, "FFFFFF", "  -"));
  EXPECT_TRUE(hasText(608, 0, "FFFFFF", "ｻｲﾝ"));

  key(VK_F5);
  key(VK_LEFT);
  EXPECT_TRUE(hasText(360, 0, "00FF00", "率"));
  EXPECT_TRUE(hasText(488, 0, "FFFF00", "率"));
  EXPECT_TRUE(hasText(504, 0, "0000FF", "ｻｲｺ"));
  EXPECT_TRUE(hasText(528, 0, "FF0000", "rci"));
  EXPECT_TRUE(hasText(576, 0, "FFFFFF", "rci"));

  key(VK_F4);
  key(VK_LEFT);
  EXPECT_TRUE(hasText(360, 0, "00FF00", "－"));
  EXPECT_TRUE(hasText(504, 0, "0000FF", "wvr"));
  EXPECT_TRUE(hasText(528, 0, "FF0000", "rsi"));
  EXPECT_TRUE(hasText(552, 0, "00FFFF", "ｼﾉa"));
  EXPECT_TRUE(hasText(576, 0, "FFFFFF", "ｼﾉb"));
}

}  // namespace
}  // namespace charttest
