// The daily routine on a wide database from per-stock sources: import (the extended daily form),
// store and analyze, with a code with letters and prices above 32,767 yen; the ranking values
// against the formulas worked out here. A classic database refuses --wide.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "dbprogram/analysis.h"
#include "dbprogram/batch.h"
#include "tests/support/test_support.h"

namespace {

constexpr int Days = 30;  // 2024-01-01 .. 2024-01-30
struct Price {
  int open, high, low, close;
};
// Day i of a stock trading around `base` yen.
Price priceOf(int base, int i) {
  const int close = base + (i * 7919) % 9000 - 4500;
  return {close - 300, close + 1200 + i, close - 900 - (i % 5) * 100, close};
}
// In code order: 1301 < 130A < 9999.
const std::pair<const char*, int> Stocks[] = {{"1301", 9000}, {"130A0", 60000}, {"9999", 5000000}};

int run(std::vector<std::string> args, std::string& said) {
  std::ostringstream o, e;
  const int status = dbprogram::runBatch(args, o, e);
  said = o.str() + e.str();
  return status;
}

TEST(WideRoutine, ImportStoreAnalyze) {
  testsupport::TempWorkDir dir;
  std::string csv = "Code,Date,Open,High,Low,Close,Volume\n", said;
  for (const auto& [code, base] : Stocks)
    for (int i = 0; i < Days; ++i) {
      const Price p = priceOf(base, i);
      csv += std::string(code) + ",2024-01-" + (i < 9 ? "0" : "") + std::to_string(i + 1) + "," +
             std::to_string(p.open) + "," + std::to_string(p.high) + "," + std::to_string(p.low) +
             "," + std::to_string(p.close) + ",3000000000\n";
    }
  testsupport::writeFile("prices.csv", csv);
  {
    testsupport::TempWorkDir classic;
    testsupport::writeFile("prices.csv", csv);
    ASSERT_EQ(run({"init", "W"}, said), 0);
    EXPECT_EQ(run({"import", "--wide", "prices.csv"}, said), 1);
    EXPECT_FALSE(std::filesystem::exists("W240101"));
  }
  ASSERT_EQ(run({"init", "W", "--wide"}, said), 0) << said;
  ASSERT_EQ(run({"import", "prices.csv"}, said), 0) << said;
  const std::string daily = testsupport::readFile("W240130");
  EXPECT_EQ(daily.substr(0, 17), "#PELWIDE DAILY 1\n");
  EXPECT_NE(daily.find(",3000000000,20240130,801,130A0\n"), std::string::npos) << daily;
  std::vector<std::string> store = {"store"};
  for (int i = 1; i <= Days; ++i) store.push_back("W2401" + std::string(i < 10 ? "0" : "") + std::to_string(i));
  ASSERT_EQ(run(store, said), 0) << said;
  ASSERT_EQ(run({"analyze", "20240110"}, said), 0) << said;

  const std::string text = testsupport::readFile("ranking.dat");
  const dbprogram::RankingFileContents file = dbprogram::parseRankingFile(text);
  ASSERT_EQ(file.rows.size(), 3u);
  EXPECT_EQ(file.rows[1].code, marketdb::codeFromText("130A"));
  for (int k = 0; k < 3; ++k) {
    const int base = Stocks[k].second;
    int highMax = 0, lowMin = INT32_MAX;
    for (int i = 0; i < Days; ++i) {
      highMax = std::max(highMax, priceOf(base, i).high);
      lowMin = std::min(lowMin, priceOf(base, i).low);
    }
    const int close = priceOf(base, Days - 1).close;
    const int change = close - priceOf(base, Days - 2).close;
    const int since = priceOf(base, 9).close;  // 2024-01-10
    auto tr = [](float v) { return static_cast<int>(std::trunc(v)); };
    const dbprogram::RankingRow& row = file.rows[k];
    EXPECT_EQ(row.close, close) << base;
    EXPECT_EQ(row.riseRate, tr(float(change) / float(close - change) * 1000.0f)) << base;
    EXPECT_EQ(row.rebound, tr(float(close - lowMin) / float(highMax - lowMin) * 1000.0f)) << base;
    EXPECT_EQ(row.range, tr(float(highMax) / float(lowMin) * 10.0f)) << base;
    EXPECT_EQ(row.sinceDate, tr(float(close - since) / float(since) * 1000.0f)) << base;
  }
  // A comparison date that is no day is refused, nothing written.
  EXPECT_EQ(run({"analyze", "20240230"}, said), 1);
  EXPECT_NE(said.find("yyyymmdd"), std::string::npos) << said;
  EXPECT_EQ(testsupport::readFile("ranking.dat"), text);
  // An index that lost its last line is refused though the stocks' slots were analysed already.
  std::string index = testsupport::readFile("pelwide.idx");
  index.erase(index.rfind('\n', index.size() - 2) + 1);
  testsupport::writeFile("pelwide.idx", index);
  EXPECT_EQ(run({"analyze", "20240110"}, said), 1);
  EXPECT_NE(said.find("pelwide.idx"), std::string::npos) << said;
  EXPECT_EQ(testsupport::readFile("ranking.dat"), text);
}

}  // namespace
