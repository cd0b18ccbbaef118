// The stock load of the chart screens: the ring, the extremes, the price-scale correction, the
// reload marking and the recently shown codes.
#include <algorithm>
#include <climits>
#include <random>

#include "tests/viewer/shell_fixture.h"

namespace viewertest {
namespace {

class StockLoadTest : public ViewerFixture {
 protected:
  void SetUp() override { useDefaultStocks(); }

  struct Prices {
    int open, high, low, close, change;
  };
  Prices at(int slot) const {
    const viewer::TChart& c = chart();
    return {c.opens[slot], c.highs[slot], c.lows[slot], c.closes[slot], c.changes[slot]};
  }
  static void expectPrices(const Prices& p, int open, int high, int low, int close, int change) {
    EXPECT_EQ(p.open, open);
    EXPECT_EQ(p.high, high);
    EXPECT_EQ(p.low, low);
    EXPECT_EQ(p.close, close);
    EXPECT_EQ(p.change, change);
  }
};

TEST_F(StockLoadTest, RingIsReadIntoItsSlotsWithTheExtremesOfTradingDays) {
  day(2, 0, 100101, 500, 520, 480, 510, 3000, 10);
  day(2, 9, 100110, 515, 530, 505, 525, 4500.5f, 15);
  day(2, 5, 100106, 999, 999, 1, 999, 0);  // no volume: not a trading day
  writeDatabase();
  start();
  show(1377);
  const viewer::TChart& c = chart();
  EXPECT_EQ(c.currentStock, 2);
  EXPECT_EQ(c.listPosition, 2);
  EXPECT_EQ(c.stepReference, 2);
  EXPECT_EQ(c.menuShown, 0);
  EXPECT_FALSE(c.lookupFailed);
  EXPECT_EQ(c.dates[9], 20100110);
  expectPrices(at(0), 500, 520, 480, 510, 10);
  expectPrices(at(5), 999, 999, 1, 999, 0);
  EXPECT_FLOAT_EQ(c.volumes[9], 4500.5f);
  EXPECT_EQ(c.chartMax, 530);
  EXPECT_EQ(c.chartMin, 480);
  EXPECT_FLOAT_EQ(c.volumeMax, 4500.5f);
  // A chart screen starts the price table at the newest day.
  EXPECT_EQ(c.chart.tableStart, 9);
  EXPECT_TRUE(c.chart.tableFresh);
}

// A stock that never traded at or below 32700 yen (the low of a history without a trading
// day) has its own lowest low; a stock without any trading day still shows 32700.
TEST_F(StockLoadTest, LowsAboveTheEmptyLowAreTheirOwn) {
  std::mt19937 rng(3);
  int lowest = INT_MAX, highest = 0;
  for (int s = 0; s < 28; ++s) {
    const int low = 32701 + static_cast<int>(rng() % 60);
    const int high = low + static_cast<int>(rng() % static_cast<unsigned>(32768 - low));
    day(2, s, static_cast<float>(100101 + s), low, high, low, high, 100);
    lowest = std::min(lowest, low);
    highest = std::max(highest, high);
  }
  writeDatabase();
  start();
  show(1377);
  EXPECT_EQ(chart().chartMin, lowest);
  EXPECT_EQ(chart().chartMax, highest);
  show(1301);
  EXPECT_EQ(chart().chartMin, 32700);
  EXPECT_EQ(chart().chartMax, 0);
}

TEST_F(StockLoadTest, JumpAcrossThePriceUnitIsCorrected) {
  day(0, 0, 100101, 700, 720, 690, 710, 1000, 5);
  day(0, 1, 100102, 710, 750, 700, 740, 1000, 30);
  day(0, 2, 100103, 300, 300, 300, 300, 0, 0);  // empty day: left as it is
  day(0, 3, 100104, 8100, 8300, 8000, 8200, 2000, 7460);
  day(0, 4, 100105, 8200, 8500, 8150, 8400, 2000, 200);
  writeDatabase();
  start();
  show(1301);
  // (8500 - 690) / 690 = 11 > 10 and 8500 > 8000.
  expectPrices(at(0), 7000, 7200, 6900, 7100, 50);
  expectPrices(at(1), 7100, 7500, 7000, 7400, 300);
  expectPrices(at(2), 300, 300, 300, 300, 0);
  expectPrices(at(3), 810, 830, 800, 820, 746);
  expectPrices(at(4), 820, 850, 815, 840, 20);
  EXPECT_EQ(chart().chartMax, 7500);
  EXPECT_EQ(chart().chartMin, 800);
  EXPECT_FLOAT_EQ(chart().volumeMax, 2000.0f);

  // Another screen of the same stock reads nothing and corrects nothing again.
  driver->key(VK_F3);
  expectPrices(at(0), 7000, 7200, 6900, 7100, 50);
  EXPECT_EQ(chart().chartMax, 7500);
}

TEST_F(StockLoadTest, CorrectionNeedsARatioAboveTenAndAHighAbove8000) {
  // Ratio exactly 10: (8250 - 750) / 750.
  day(0, 0, 100101, 760, 790, 750, 780, 1000);
  day(0, 1, 100102, 8200, 8250, 8100, 8200, 1000);
  // Ratio 15 but the high is 8000, not above it.
  day(2, 0, 100101, 510, 520, 500, 510, 1000);
  day(2, 1, 100102, 7900, 8000, 7800, 7900, 1000);
  writeDatabase();
  start();
  show(1301);
  expectPrices(at(0), 760, 790, 750, 780, 0);
  EXPECT_EQ(chart().chartMax, 8250);
  EXPECT_EQ(chart().chartMin, 750);
  show(1377);
  expectPrices(at(1), 7900, 8000, 7800, 7900, 0);
  EXPECT_EQ(chart().chartMin, 500);
}

TEST_F(StockLoadTest, SmallestLowOfZeroSkipsTheCorrection) {
  day(0, 0, 100101, 10, 700, 0, 5, 1000);
  day(0, 1, 100102, 9000, 9100, 8900, 9050, 1000);
  writeDatabase();
  start();
  show(1301);
  EXPECT_EQ(chart().viewMode, 9);
  expectPrices(at(0), 10, 700, 0, 5, 0);
  expectPrices(at(1), 9000, 9100, 8900, 9050, 0);
  EXPECT_EQ(chart().chartMin, 0);
  EXPECT_EQ(chart().chartMax, 9100);
}

TEST_F(StockLoadTest, HistoryWithoutTradingDaysHasEmptyExtremes) {
  day(1, 3, 100104, 500, 500, 500, 500, 0);
  writeDatabase();
  start();
  show(1332);
  EXPECT_EQ(chart().chartMax, 0);
  EXPECT_EQ(chart().chartMin, 32700);
  EXPECT_EQ(chart().volumeMax, 0.0f);
}

TEST_F(StockLoadTest, CodeNotInTheIndexLeavesABlankScreen) {
  writeDatabase();
  start();
  show(1301);
  // A click below the last stock of the menu asks for code 0.
  driver->key(VK_F12);
  driver->click(600, 470);
  EXPECT_EQ(chart().viewMode, 9);
  EXPECT_TRUE(chart().lookupFailed);
  EXPECT_EQ(chart().currentStock, 0);  // the stock in memory stays
  EXPECT_EQ(ops().back(), "fill 0 0 640 480 000000");
  // A view key then shows the stock in memory again, as after the menu.
  driver->key(VK_F4);
  EXPECT_TRUE(drewText(0, 0, Yellow, "1301"));
}

TEST_F(StockLoadTest, StockIsReadAgainOnlyWhenTheCodeChangedOrTheLastLookupFailed) {
  day(0, 0, 100101, 500, 520, 480, 510, 1000);
  win.codes[0] = marketdb::codeFromNumber(1301);
  writeDatabase();
  start();
  show(1301);
  ASSERT_EQ(chart().highs[0], 520);

  // The price file changes behind the viewer's back.
  marketdb::PriceFile dat;
  ASSERT_TRUE(dat.openForWriting());
  marketdb::DayRecord r;
  r.date = 20100101;
  r.open = r.high = r.low = r.close = 600;
  r.volume = 1000;
  ASSERT_TRUE(dat.writeDay(0, 0, r));
  dat.close();

  driver->key(VK_F5);  // same stock: nothing is read
  EXPECT_EQ(chart().highs[0], 520);
  // A failed lookup in between (an empty menu cell) makes the next screen read the stock again.
  driver->key(VK_F12);
  driver->click(600, 470);
  show(1301);
  EXPECT_EQ(chart().highs[0], 600);

  r.high = 650;
  ASSERT_TRUE(dat.openForWriting());
  ASSERT_TRUE(dat.writeDay(0, 0, r));
  dat.close();
  // So does the watch-list page of the menu (it looks codes up), even for the same stock.
  type("30\r");
  ASSERT_EQ(menuCodes(), std::vector<std::string>{"0,16:1301"});
  driver->click(10, 20);
  EXPECT_EQ(chart().currentStock, 0);
  EXPECT_EQ(chart().highs[0], 650);
}

TEST_F(StockLoadTest, DerivedSeriesAreClearedForANewStock) {
  writeDatabase();
  start();
  show(1301);
  chart().maValue1[5] = 77;
  chart().signTotal[639] = 5;
  driver->key(VK_F9);  // same stock: kept
  EXPECT_EQ(chart().maValue1[5], 77);
  show(1377);
  EXPECT_EQ(chart().maValue1[5], 0);
  EXPECT_EQ(chart().signTotal[639], 0);
}

TEST_F(StockLoadTest, RecentCodesKeepTheSevenLastDistinctCodes) {
  writeDatabase();
  start();
  show(1301);
  show(1377);
  show(1301);
  EXPECT_EQ(chart().recentCodes[0], marketdb::codeFromNumber(1301));
  EXPECT_EQ(chart().recentCodes[1], marketdb::codeFromNumber(1377));
  EXPECT_EQ(chart().recentCodes[2], marketdb::NoStockCode);
  for (int code : {1332, 1379, 1380, 2001, 4004, 9984}) show(code);
  // The eighth distinct code wraps to the first entry.
  const int expected[7] = {9984, 1377, 1332, 1379, 1380, 2001, 4004};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(chart().recentCodes[i], marketdb::codeFromNumber(expected[i])) << i;
}

}  // namespace
}  // namespace viewertest
