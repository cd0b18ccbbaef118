// Prices of a wide database on the chart screens: eight-digit cells of the top row and the price
// table, and the long-term grid over the whole price range.
#include "marketdb/layout.h"
#include "marketdb/wide_header.h"
#include "tests/viewer/shell_fixture.h"
#include "viewer/chart_screen_state.h"
#include "viewer/indicators/distribution.h"

namespace viewertest {
namespace {

class WideFiguresTest : public ViewerFixture {
 protected:
  // A wide database of two stocks, 130A with a price above 99,999 on its newest day.
  void writeWide(const marketdb::DayRecord& newest) {
    marketdb::WideHeader header;
    header.capacity = 4;
    header.recordsAssigned = 2;
    testsupport::writeFile(marketdb::WideSystemFileName, "PELWIDE SYS 1\n");
    testsupport::writeFile(marketdb::WidePriceFileName, marketdb::encodeWideHeader(header));
    sys.lastStoreDate = newest.date;
    ASSERT_EQ(marketdb::writeSystemFile(sys), marketdb::FileStatus::Ok);
    ASSERT_EQ(marketdb::writeSettingsFile(win), marketdb::FileStatus::Ok);
    marketdb::StockTable table(4);
    const char* codes[2] = {"1301", "130A"};
    for (int i = 0; i < 2; ++i) {
      table.kcodeidx[i] = marketdb::codeFromText(codes[i]);
      table.ksijo[i] = 1;
      table.krecordi[i] = i;
      std::snprintf(table.kmeiidx[i].text, sizeof table.kmeiidx[i].text, "%s", codes[i]);
    }
    table.count = 2;
    table.kcodeidx[2] = marketdb::StockCodeEnd;
    ASSERT_EQ(marketdb::writeStockTable(table), marketdb::FileStatus::Ok);
    marketdb::PriceFile dat;
    ASSERT_TRUE(dat.openForWriting());
    ASSERT_TRUE(dat.writeDay(1, sys.storePosition, newest));
  }
};

TEST_F(WideFiguresTest, PricesOfEightDigitsFitTheirColumnsInTheTopRowAndThePriceTable) {
  marketdb::DayRecord day;
  day.date = 20261204;
  day.open = 12345678;
  day.high = 99999999;
  day.low = 12000000;  // a range the price-unit correction leaves alone
  day.close = 123456;
  day.change = -4321;
  day.volume = 1234567890123.0;
  writeWide(day);
  start();
  ASSERT_TRUE(chart().wideDatabase);
  type("130A\r");
  ASSERT_EQ(chart().selection.code, marketdb::codeFromText("130A"));

  // Cells of more than five characters end 38 units into their 40-unit column, five units a
  // character; five characters or fewer stay where a classic screen has them.
  const auto cellX = [](int column, const std::string& text) {
    return text.size() > 5 ? column + 38 - 5 * static_cast<int>(text.size()) : column;
  };
  const std::string prices[5] = {"12345678", "99999999", "12000000", "123456", "-4321"};
  const COLORREF figures = viewer::fullColour(chart().colour(3));
  for (const auto& [top, y, firstColumn] : {std::tuple{true, 0, 232}, {false, 16, 48}}) {
    if (!top) driver->key(VK_LEFT);  // the price table, newest day first
    SCOPED_TRACE(top ? "top row" : "price table");
    EXPECT_TRUE(drewText(top ? 184 : 0, y, figures, "20261204"));
    for (int k = 0; k < 5; ++k) {
      const int column = firstColumn + 40 * k;
      const std::string& text = prices[k];
      EXPECT_TRUE(drewText(cellX(column, text), y, figures, text)) << text;
      // No cell reaches into the next column.
      EXPECT_LE(cellX(column, text) + 5 * static_cast<int>(text.size()), column + 40);
    }
    EXPECT_TRUE(drewText(top ? 432 : 248, y, figures, "1234567890123.0"));
  }
}

TEST(WideSteps, ClassicStepsStayAndAnyPriceGetsAFewDozenLinesAtMost) {
  const marketdb::StockCode stock = marketdb::codeFromText("130A");
  const marketdb::StockCode index = marketdb::codeFromNumber(1001);
  // The steps of prices a 16-bit record can hold.
  const auto classic = [](int top) {
    return top < 500 ? 50 : top < 1500 ? 100 : top < 5000 ? 500 : 1000;
  };
  for (int top = 1; top <= 32767; top += 97) {
    ASSERT_EQ(viewer::longTermGridStep(top, stock), classic(top)) << top;
    ASSERT_EQ(viewer::longTermGridStep(top, index), 100);
  }
  int previous = 1000;
  for (long long top = 40000; top <= 99999999; top = top * 21 / 20) {
    const int step = viewer::longTermGridStep(static_cast<int>(top), stock);
    const long long lines = top / step;
    EXPECT_GE(lines, 4) << top;
    EXPECT_LE(lines, 40) << top;
    EXPECT_GE(step, previous) << top;  // a higher chart never gets a finer grid
    previous = step;
  }
  // The distribution's step: as before up to 16-bit prices; above, a base is spread over less
  // than 100,000 steps.
  for (int base = 1; base <= 32767; base += 89)
    ASSERT_EQ(viewer::distributionStep(base, stock), base < 3000 ? 1 : 10) << base;
  for (long long base = 100000; base <= 99999999; base = base * 11 / 10) {
    const int step = viewer::distributionStep(static_cast<int>(base), stock);
    EXPECT_LT(base / step, 100000) << base;
    EXPECT_GE(base / step, 10000) << base;
  }
}

}  // namespace
}  // namespace viewertest
