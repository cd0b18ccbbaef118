// The analysis of a wide database through the batch command: the ranking file of a stock with a
// letter in its code and prices above 32,767 yen, against the formulas worked out here.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "dbprogram/analysis.h"
#include "dbprogram/batch.h"
#include "marketdb/layout.h"
#include "marketdb/settings.h"
#include "marketdb/wide_header.h"
#include "marketdb/wide_index.h"
#include "marketdb/wide_text.h"
#include "platform/text/cp932.h"
#include "tests/support/test_support.h"

namespace {

constexpr int Capacity = 16;
constexpr int Latest = 5;  // ring slot of the newest day
constexpr int Days = 30;   // 2024-01-01 .. 2024-01-30, the last one at Latest

struct Price {
  int open, high, low, close;
};

// Day i (0 the oldest) of a stock trading around `base` yen.
Price priceOf(int base, int i) {
  const int close = base + (i * 7919) % 9000 - 4500;
  return {close - 300, close + 1200 + i, close - 900 - (i % 5) * 100, close};
}

void writeWideDatabase(const std::vector<std::pair<const char*, int>>& stocks) {
  const marketdb::DatabaseLayout layout = marketdb::wideLayout(Capacity);
  marketdb::WideSystem sys;
  marketdb::WideSettings win;
  marketdb::applyDefaults(sys.sys, win.win);
  sys.sys.storePosition = Latest;
  sys.lastStoreDate = 20240100 + Days;
  testsupport::writeFile(marketdb::WideSystemFileName, marketdb::formatWideSystemFile(sys));
  testsupport::writeFile(marketdb::WideSettingsFileName, marketdb::formatWideSettingsFile(win));
  std::vector<marketdb::WideIndexEntry> entries;
  marketdb::WideHeader header;
  header.capacity = Capacity;
  header.recordsAssigned = static_cast<std::uint32_t>(stocks.size());
  std::string dat = marketdb::encodeWideHeader(header);
  dat.resize(static_cast<std::size_t>(layout.recordOffset(0, marketdb::HistoryDays)));
  for (std::size_t k = 0; k < stocks.size(); ++k) {
    const int slot = static_cast<int>(k);
    entries.push_back({0, 1, marketdb::codeFromText(stocks[k].first), "NAME", slot, 0});
    int previousClose = 0;
    for (int i = 0; i < Days; ++i) {
      const Price p = priceOf(stocks[k].second, i);
      marketdb::DayRecord r;
      r.date = 20240101 + i;
      r.open = p.open;
      r.high = p.high;
      r.low = p.low;
      r.close = p.close;
      r.change = previousClose ? p.close - previousClose : 0;
      r.volume = 3e9 + i;  // beyond a float's exact range
      previousClose = p.close;
      const int ring = (Latest - (Days - 1 - i) + marketdb::HistoryDays) % marketdb::HistoryDays;
      layout.encodeRecord(r, reinterpret_cast<unsigned char*>(dat.data()) +
                                 layout.recordOffset(slot, ring));
    }
  }
  testsupport::writeFile(marketdb::WideIndexFileName, marketdb::formatWideIndex(entries));
  testsupport::writeFile(marketdb::WidePriceFileName, dat);
}

TEST(WideAnalysis, PricesAboveSixteenBitsAndLetterCodes) {
  testsupport::TempWorkDir dir;
  writeWideDatabase({{"130A", 60000}, {"1301", 9000}, {"9999", 5000000}});
  std::ostringstream out, err;
  ASSERT_EQ(dbprogram::runBatch({"analyze", "20240110"}, out, err), 0) << out.str() << err.str();

  const std::string text = testsupport::readFile("ranking.dat");
  EXPECT_EQ(text.substr(0, text.find('\n')),
            SJ("［ペリノ改Ｃ］ 指定は20240110と20240130本日比較"));
  const dbprogram::RankingFileContents file =
      dbprogram::parseRankingFile(text, marketdb::wideLayout(Capacity));
  ASSERT_EQ(file.rows.size(), 3u);
  EXPECT_NE(text.find(" 130A "), std::string::npos);
  EXPECT_EQ(file.rows[1].code, marketdb::codeFromText("130A"));  // 1301 < 130A < 9999

  // The reference: the values of the newest day over the 30 days, in single precision.
  for (const auto& [code, base] : {std::pair{"130A", 60000}, {"1301", 9000}, {"9999", 5000000}}) {
    SCOPED_TRACE(code);
    int highMax = 0, lowMin = INT32_MAX;
    for (int i = 0; i < Days; ++i) {
      highMax = std::max(highMax, priceOf(base, i).high);
      lowMin = std::min(lowMin, priceOf(base, i).low);
    }
    const int close = priceOf(base, Days - 1).close;
    const int change = close - priceOf(base, Days - 2).close;
    const int baseClose = priceOf(base, 9).close;  // 2024-01-10
    auto tenths = [](float v) { return static_cast<int>(std::trunc(v)); };
    const dbprogram::RankingRow* row = nullptr;
    for (const auto& r : file.rows)
      if (r.code == marketdb::codeFromText(code)) row = &r;
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->close, close);
    EXPECT_EQ(row->riseRate,
              tenths(static_cast<float>(change) / static_cast<float>(close - change) * 1000.0f));
    EXPECT_EQ(row->rebound, tenths(static_cast<float>(close - lowMin) /
                                   static_cast<float>(highMax - lowMin) * 1000.0f));
    EXPECT_EQ(row->range,
              tenths(static_cast<float>(highMax) / static_cast<float>(lowMin) * 10.0f));
    EXPECT_EQ(row->sinceDate, tenths(static_cast<float>(close - baseClose) /
                                     static_cast<float>(baseClose) * 1000.0f));
  }

  // A comparison date that is no day is refused, nothing written.
  std::ostringstream out2, err2;
  EXPECT_EQ(dbprogram::runBatch({"analyze", "20240230"}, out2, err2), 1);
  EXPECT_NE(out2.str().find("yyyymmdd"), std::string::npos) << out2.str();
  EXPECT_EQ(testsupport::readFile("ranking.dat"), text);
}

}  // namespace
