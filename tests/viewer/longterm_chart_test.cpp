// The long-term chart below the pane: grid and price labels, month separators, day and volume
// bars, the three averages and the values they leave, the bands, and the mode 3 offset.
//
// Default settings: H (setting 35) 260, so the chart spans y 284 (highest price) to 463
// (lowest price) and the scale is 180 / (chartMax - chartMin). Default colours: 1 month labels
// 00FFFF, 2 price labels FFFF00, 3 grid C0C0C0 (drawn halved: 606060), 4 rising FF0000,
// 5 falling 00FFFF, 6 volume 0000FF, 7/8/9 averages 00FF00/FF00FF/FFFF00, 18 bands FFFFFF,
// 19 lagging closes 0000FF.
#include "tests/viewer/chart_fixture.h"

namespace charttest {
namespace {

class LongTermChartTest : public ChartFixture {
 public:
  LongTermChartTest() { ignoreUpperArea = true; }

  // A stock whose lowest low is on day 0 and highest high on day 1; every other day trades
  // between 1200 and 1300. All days are in one month.
  Stock rangeStock(float code, int lowest, int highest, int low = 1200, int high = 1300) {
    Stock st;
    st.code = code;
    st.nameUtf8 = "レンジ";
    for (int i = 0; i < marketdb::HistoryDays; ++i) {
      marketdb::DayRecord d;
      d.date = 19990101;
      d.low = static_cast<std::int16_t>(i == 0 ? lowest : low);
      d.high = static_cast<std::int16_t>(i == 1 ? highest : high);
      d.open = d.close = static_cast<std::int16_t>((low + high) / 2);
      d.volume = 100;
      st.ring[slotOfDay(i)] = d;
    }
    return st;
  }

  // Horizontal dotted lines across the whole width, by y.
  std::vector<int> fullWidthDottedYs() const {
    std::vector<int> ys;
    for (const Op& op : ops())
      if (op.kind == "line" && op.style == "dot" && op.v[0] == 0 && op.v[2] == 639 &&
          op.v[1] == op.v[3])
        ys.push_back(op.v[1]);
    return ys;
  }

  // Price labels: texts at x 0 below the top row in the price-label colour.
  std::vector<std::pair<int, std::string>> priceLabels() const {
    std::vector<std::pair<int, std::string>> out;
    for (const Op& op : ops())
      if (op.kind == "text" && op.v[0] == 0 && op.v[1] > 16 && op.colour == "FFFF00")
        out.emplace_back(op.v[1], op.text);
    return out;
  }
};

using Labels = std::vector<std::pair<int, std::string>>;

TEST_F(LongTermChartTest, GridEveryHundredBetween1005And1480WithAllLabels) {
  stocks.push_back(rangeStock(1301, 1005, 1480));
  open();
  show(1301);
  // Scale 180 / 475: y(g) = trunc(463 - (g - 1005) * 0.378947...):
  // 1100 -> 463 - 36 = 427; 1200 -> 463 - 73.89 = 389.1; 1300 -> 351.2; 1400 -> 313.3.
  // Frame line at 284 first, the grid in ascending order, the bottom line at 471 last.
  EXPECT_EQ(fullWidthDottedYs(), (std::vector<int>{284, 427, 389, 351, 313, 471}));
  EXPECT_TRUE(hasLine(0, 427, 639, 427, "606060", "dot"));
  // Labels two units above their entries: lowest (458), the lines (y - 3), highest (285).
  EXPECT_EQ(priceLabels(), (Labels{{456, " 1005"}, {422, " 1100"}, {384, " 1200"},
                                   {346, " 1300"}, {308, " 1400"}, {283, " 1480"}}));
}

TEST_F(LongTermChartTest, GridLabelsTooCloseToTheLowestOrHighestAreLeftOut) {
  stocks.push_back(rangeStock(1301, 1095, 1405));
  open();
  show(1301);
  // Scale 180 / 310 = 0.5806: 1100 -> 460.1, 1200 -> 402.0, 1300 -> 343.97, 1400 -> 285.9.
  EXPECT_EQ(fullWidthDottedYs(), (std::vector<int>{284, 460, 402, 343, 285, 471}));
  // The 1100 label (457) lies 1 unit from the lowest (458), the 1400 label (282) 3 from the
  // highest (285): both omitted, their lines still drawn.
  EXPECT_EQ(priceLabels(),
            (Labels{{456, " 1095"}, {397, " 1200"}, {338, " 1300"}, {283, " 1405"}}));
}

TEST_F(LongTermChartTest, GridStepFollowsThePriceLevelAndCodesBelow1100UseHundreds) {
  // Highest 460 -> step 50; a code below 1100 keeps 100 whatever the level.
  stocks.push_back(rangeStock(1301, 300, 460, 350, 400));
  stocks.push_back(rangeStock(1000, 300, 460, 350, 400));
  open();
  show(1301);
  // Scale 180 / 160 = 1.125: 300 -> 463, 350 -> 406.75, 400 -> 350.5, 450 -> 294.25.
  EXPECT_EQ(fullWidthDottedYs(), (std::vector<int>{284, 463, 406, 350, 294, 471}));
  show(1000);
  EXPECT_EQ(fullWidthDottedYs(), (std::vector<int>{284, 463, 350, 471}));
}

TEST_F(LongTermChartTest, LabelListIsBoundedAndKeepsTheHighest) {
  // Lowest 100, highest 5000, code below 1100: 49 grid lines (100 .. 4900), about 3.7 units
  // apart, closer than a label is high and more than the 23 the label list holds.
  stocks.push_back(rangeStock(1000, 100, 5000, 200, 300));
  open();
  show(1000);
  EXPECT_EQ(fullWidthDottedYs().size(), 49u + 2u);
  const Labels labels = priceLabels();
  ASSERT_FALSE(labels.empty());
  EXPECT_EQ(labels.front(), (std::pair<int, std::string>{456, "  100"}));
  EXPECT_EQ(labels.back(), (std::pair<int, std::string>{283, " 5000"}));
  EXPECT_LE(labels.size(), 25u);
  // Every label is printed 2 above its grid line's y - 3, and the labels keep 8 units apart
  // (printed from the bottom up), reaching into the upper half of the chart.
  const float scale = 180.0f / 4900.0f;
  int highestMiddle = 0;
  for (std::size_t k = 1; k + 1 < labels.size(); ++k) {
    const int value = std::stoi(labels[k].second);
    EXPECT_EQ(value % 100, 0) << labels[k].second;
    EXPECT_EQ(labels[k].first, static_cast<int>(463.0f - (value - 100) * scale) - 5);
    EXPECT_GE(labels[k - 1].first - labels[k].first, 8) << labels[k].second;
    highestMiddle = std::max(highestMiddle, value);
  }
  EXPECT_GE(labels[labels.size() - 2].first - labels.back().first, 8);
  EXPECT_GT(highestMiddle, 2600);
  EXPECT_GE(labels.size(), 2u + 12u);  // about 170 units at one label per 8 to 12 units
}

TEST_F(LongTermChartTest, MonthSeparatorsAndLabelsFromTheSecondChange) {
  stocks.push_back(linearStock(*this, 1301));
  open();
  show(1301);
  // 21-day months: changes at days 0, 21, 42, ... 630. The first one (where the history
  // begins) gets a line but no label.
  int monthLines = 0;
  for (const Op& op : ops())
    if (op.kind == "line" && op.style == "dot" && op.v[0] == op.v[2] && op.v[1] == 284 &&
        op.v[3] == 471)
      ++monthLines;
  EXPECT_EQ(monthLines, 31);
  EXPECT_TRUE(hasLine(0, 284, 0, 471, "606060", "dot"));
  EXPECT_TRUE(hasLine(21, 284, 21, 471, "606060", "dot"));
  EXPECT_TRUE(hasLine(630, 284, 630, 471, "606060", "dot"));
  EXPECT_FALSE(hasText(1, 462, "00FFFF", "01"));
  EXPECT_TRUE(hasText(22, 462, "00FFFF", "02"));
  EXPECT_TRUE(hasText(190, 462, "00FFFF", "10"));   // month index 9: October 1997
  EXPECT_TRUE(hasText(232, 462, "00FFFF", "12"));
  EXPECT_TRUE(hasText(253, 462, "00FFFF", "01"));   // January 1998
  EXPECT_TRUE(hasText(631, 462, "00FFFF", "07"));
  int monthLabels = 0;
  for (const Op& op : ops())
    if (op.kind == "text" && op.v[1] == 462) ++monthLabels;
  EXPECT_EQ(monthLabels, 30);
}

TEST_F(LongTermChartTest, DayBarsVolumeBarsAndFrame) {
  stocks.push_back(linearStock(*this, 1301));
  open();
  show(1301);
  // Prices 1000 .. 1720: scale 0.25. Volumes up to 1440: scale 0.125.
  EXPECT_TRUE(hasLine(0, 284, 639, 284, "606060", "dot"));
  EXPECT_TRUE(hasLine(427, 284, 427, 471, "606060", "dashdot"));
  EXPECT_TRUE(hasLine(0, 471, 639, 471, "606060", "dot"));
  // Day 100 rises (open 1130, close 1140): high 1181 -> 417.75, low 1100 -> 438.
  EXPECT_TRUE(hasLine(100, 417, 100, 438, "FF0000", "solid"));
  // Day 101 falls (open 1151, close 1141): high 1182 -> 417.5, low 1101 -> 437.75.
  EXPECT_TRUE(hasLine(101, 417, 101, 437, "00FFFF", "solid"));
  // Day 200: high = low = 1240 -> 403, extended by one unit.
  EXPECT_TRUE(hasLine(200, 403, 200, 404, "FF0000", "solid"));
  // Volume 720 -> 373, 1440 on day 300 -> 283, down to 463.
  EXPECT_TRUE(hasLine(100, 373, 100, 463, "0000FF", "solid"));
  EXPECT_TRUE(hasLine(300, 283, 300, 463, "0000FF", "solid"));
  // Day 30 is empty: no bar of either kind.
  int atDay30 = 0, solid = 0;
  for (const Op& op : ops()) {
    if (op.kind != "line" || op.style != "solid") continue;
    ++solid;
    if (op.v[0] == 30) ++atDay30;
  }
  EXPECT_EQ(atDay30, 0);
  EXPECT_EQ(solid, 2 * 639);
  // Summary figures: 1720 / 1000 and the largest volume.
  EXPECT_TRUE(hasText(48, 283, "C0C0C0", "  1.7"));
  EXPECT_TRUE(hasText(88, 283, "0000FF", "  1440.0"));
}

TEST_F(LongTermChartTest, AveragesAreDottedAndLeaveTheirValuesForTheSettingsPeriods) {
  stocks.push_back(linearStock(*this, 1301));
  open();
  show(1301);
  // Periods 200, 25, 75: a pixel on every even day from the period on.
  EXPECT_EQ(countPixels("00FF00"), 220);  // even days 200 .. 638
  EXPECT_EQ(countPixels("FF00FF"), 307);  // 26 .. 638
  EXPECT_EQ(countPixels("FFFF00"), 282);  // 76 .. 638
  // Day 100, period 25: closes 1116 .. 1140 average 1128 -> y 463 - 32 = 431.
  EXPECT_TRUE(hasText(0, 0, "FFFF00", "1301"));
  bool found = false;
  for (const Op& op : ops())
    found = found || (op.kind == "pixel" && op.v[0] == 100 && op.v[1] == 431 &&
                      op.colour == "FF00FF");
  EXPECT_TRUE(found);

  const int* ma1 = chart->maValue1.get();
  const int* ma2 = chart->maValue2.get();
  const int* ma3 = chart->maValue3.get();
  // Period 25 (setting 21): nothing before the first full window (day 24).
  EXPECT_EQ(ma2[slotOfDay(23)], 0);
  EXPECT_EQ(ma2[slotOfDay(24)], 1052);  // 1040 .. 1064
  // Day 30 is empty: it stays in the window but not in the sum; 24 closes remain.
  EXPECT_EQ(ma2[slotOfDay(40)], 1067);  // (25 * 1068 - 1070) / 24 = 1067.92
  EXPECT_EQ(ma2[slotOfDay(54)], 1082);  // (25 * 1082 - 1070) / 24 = 1082.5
  EXPECT_EQ(ma2[slotOfDay(55)], 1083);  // 1071 .. 1095
  // Period 200 (setting 20) and 75 (setting 22).
  EXPECT_EQ(ma1[slotOfDay(198)], 0);
  EXPECT_EQ(ma1[slotOfDay(199)], 1139);  // (200 * 1139.5 - 1070) / 199 = 1139.85
  EXPECT_EQ(ma1[slotOfDay(230)], 1170);  // 1071 .. 1270
  EXPECT_EQ(ma3[slotOfDay(74)], 1077);   // (75 * 1077 - 1070) / 74 = 1077.09
  EXPECT_EQ(ma3[slotOfDay(639)], 1642);  // 1605 .. 1679
}

TEST_F(LongTermChartTest, AWindowWithoutTradingFormsNoAverage) {
  // Days 400..459 without trading: from day 424 on the 25-day window holds no trading day.
  Stock st = linearStock(*this, 1301);
  for (int i = 400; i < 460; ++i) {
    marketdb::DayRecord& d = st.ring[slotOfDay(i)];
    d.open = d.high = d.low = d.close = d.change = 0;
    d.volume = 0;
  }
  stocks.push_back(st);
  open();
  show(1301);
  const int* ma2 = chart->maValue2.get();
  EXPECT_EQ(ma2[slotOfDay(423)], 1439);  // day 399 alone
  for (int i = 424; i < 460; ++i) ASSERT_EQ(ma2[slotOfDay(i)], 0) << i;
  EXPECT_EQ(ma2[slotOfDay(460)], 1500);  // day 460 alone
  // The dots of the empty windows stay at the last average's height.
  const float scale = 180.0f / static_cast<float>(chart->chartMax - chart->chartMin);
  const int carried = static_cast<int>(463.0f - (1439.0f - chart->chartMin) * scale);
  for (int i = 424; i < 460; i += 2) {
    int dots = 0;
    for (const Op& op : ops())
      if (op.kind == "pixel" && op.v[0] == i && op.colour == "FF00FF") {
        ++dots;
        EXPECT_EQ(op.v[1], carried) << i;
      }
    EXPECT_EQ(dots, 1) << i;
  }
}

TEST_F(LongTermChartTest, Mode3ShiftsTheDaysAndDrawsLaggingClosesWithoutAverages) {
  stocks.push_back(linearStock(*this, 1301));
  open();
  show(1301);
  key(VK_F3);
  EXPECT_EQ(chart->viewMode, 3);
  // Day 100 at x 74; its close 1140 (y 428) 26 days further back at x 48.
  EXPECT_TRUE(hasLine(74, 417, 74, 438, "FF0000", "solid"));
  bool dot = false;
  for (const Op& op : ops())
    dot = dot || (op.kind == "pixel" && op.v[0] == 48 && op.v[1] == 428 && op.colour == "0000FF");
  EXPECT_TRUE(dot);
  // Months shift too: day 42 at x 16.
  EXPECT_TRUE(hasLine(16, 284, 16, 471, "606060", "dot"));
  EXPECT_TRUE(hasText(17, 462, "00FFFF", "03"));
  // No volume bars, no averages, no summary figures; the price labels stay.
  EXPECT_EQ(countLines("0000FF", "solid"), 0);
  EXPECT_EQ(countPixels("00FF00"), 0);
  EXPECT_EQ(countPixels("FF00FF"), 0);
  EXPECT_EQ(countPixels("FFFF00"), 0);
  EXPECT_EQ(countPixels("0000FF"), 639);
  EXPECT_TRUE(texts("  1.7").empty());
  EXPECT_TRUE(hasText(0, 283, "FFFF00", " 1720"));
}

TEST_F(LongTermChartTest, Mode4BandBetweenTheAveragesOfSettings21And22) {
  stocks.push_back(linearStock(*this, 1301));
  open();
  show(1301);
  key(VK_F4);
  // Day 120: average 25 = 1148 -> 426, average 75 = 1123 -> 432.25. The shorter average lies
  // above (smaller y) the longer one: full colour.
  EXPECT_TRUE(hasLine(120, 426, 120, 432, "FFFFFF", "solid"));
  // One line per day from day 75 on (the pane above draws in the same colour; the long-term
  // chart starts at y 284).
  int bandLines = 0;
  for (const Op& op : ops())
    if (op.kind == "line" && op.colour == "FFFFFF" && op.v[1] >= 284) {
      ++bandLines;
      EXPECT_GE(op.v[0], 75);
    }
  EXPECT_EQ(bandLines, 640 - 75);
}

TEST_F(LongTermChartTest, Mode7UsesItsOwnPeriodsAndTheVolumeBand) {
  stocks.push_back(linearStock(*this, 1301));
  open();
  show(1301);
  key(VK_F6);
  EXPECT_EQ(countPixels("00FF00"), 245);  // period 150: even days 150 .. 638
  EXPECT_EQ(countPixels("FF00FF"), 311);  // 18: 20 .. 638 (18 itself included)
  EXPECT_EQ(countPixels("FFFF00"), 294);  // 52: 52 .. 638
  // Volume averages 9 and 26. Day 300 (1440): 7200 / 9 = 800 -> 463 - 50 = 413;
  // 19440 / 26 = 747.7 -> 416.3. The shorter lies above: full colour.
  EXPECT_TRUE(hasLine(300, 413, 300, 416, "FFFFFF", "solid"));
  // Day 100: both 720 -> 418, equal: dimmed (255 * 0.38 = 96).
  EXPECT_TRUE(hasLine(100, 418, 100, 418, "606060", "solid"));
  // None before the 26-day window is reached (in the long-term chart, from y 284).
  for (const Op& op : ops())
    if (op.kind == "line" && op.style == "solid" && op.v[1] >= 284 &&
        (op.colour == "FFFFFF" || op.colour == "606060")) {
      EXPECT_GE(op.v[0], 26);
    }
}

TEST_F(LongTermChartTest, GridColour99DropsOnlyTheFrame) {
  win.colours[2] = 99;
  stocks.push_back(linearStock(*this, 1301));
  open();
  show(1301);
  EXPECT_EQ(chart->colour(3).number, 99);
  EXPECT_EQ(countLines("000000", "dashdot") + countLines("606060", "dashdot"), 0);
  // Grid line at 1500 (y 338) and the month lines remain; the frame at 284 and 471 is gone.
  EXPECT_EQ(fullWidthDottedYs(), (std::vector<int>{463, 338}));
  int monthLines = 0;
  for (const Op& op : ops())
    if (op.kind == "line" && op.style == "dot" && op.v[0] == op.v[2]) ++monthLines;
  EXPECT_EQ(monthLines, 31);
}

TEST_F(LongTermChartTest, NothingToScaleDrawsNoChart) {
  Stock empty;  // no trading day: no range, no volume
  empty.code = 1301;
  empty.nameUtf8 = "空";
  Stock backwards;  // one damaged day whose high lies below its low
  backwards.code = 1302;
  backwards.nameUtf8 = "逆";
  marketdb::DayRecord d;
  d.date = 19990101;
  d.open = d.close = 150;
  d.high = 100;
  d.low = 200;
  d.volume = 10;
  backwards.ring[sys.storePosition] = d;
  stocks.push_back(empty);
  stocks.push_back(backwards);
  open();
  for (int code : {1301, 1302}) {
    SCOPED_TRACE(code);
    show(code);
    EXPECT_TRUE(hasText(0, 0, "FFFF00", std::to_string(code)));
    for (const Op& op : ops()) {
      EXPECT_NE(op.kind, "line");
      EXPECT_NE(op.kind, "pixel");
    }
  }
}

TEST_F(LongTermChartTest, ZeroLowestPriceAndZeroPeriodsAreSafe) {
  stocks.push_back(rangeStock(1301, 0, 1440));
  open();
  // The files never hold a period of 0 (the editor and the loading refuse it); the chart still
  // must not divide by it.
  chart->periods[0] = 0;  // setting 20
  show(1301);
  // No ratio without a positive lowest price; the largest volume is still shown.
  for (const Op& op : ops())
    if (op.kind == "text") {
      EXPECT_NE(op.v[0], 48) << op.text;
    }
  EXPECT_TRUE(hasText(88, 283, "0000FF", "   100.0"));
  // Scale 180 / 1440 = 0.125: 1200 -> 463 - 150 = 313.
  EXPECT_TRUE(hasLine(0, 313, 639, 313, "606060", "dot"));
  // No average of period 0; the other two are drawn.
  EXPECT_EQ(countPixels("00FF00"), 0);
  EXPECT_EQ(countPixels("FF00FF"), 307);
  for (int s = 0; s < marketdb::HistoryDays; ++s) ASSERT_EQ(chart->maValue1[s], 0);
}

}  // namespace
}  // namespace charttest
