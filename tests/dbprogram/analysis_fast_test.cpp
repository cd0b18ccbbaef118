// The analysis's fast paths against the straightforward ones: the column analysis against a
// plain per-day analysis written out here, whole runs on any number of threads against a plain
// run (one block read and analysed after the other, lines through printf), and the ranking
// line formatter against printf.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include "dbprogram/analysis.h"
#include "dbprogram/analysis_days.h"
#include "marketdb/bytes.h"
#include "marketdb/int_range.h"
#include "marketdb/wide_header.h"
#include "marketdb/wide_index.h"
#include "marketdb/wide_text.h"
#include "tests/dbprogram/analysis_testdb.h"
#include "tests/support/test_support.h"

namespace {

using dbprogram::AnalysisSettings;
using dbprogram::RankingRow;
using marketdb::HistoryDays;
using marketdb::StockHistory;

// ---- The plain analysis: one struct per day, every window walked slot by slot, ranks by
// counting, the comparison date searched back from the latest day.
struct PlainDay {
  std::int32_t date;
  int open, high, low, close, change;
  float volume;
  bool active() const { return volume != 0; }
};

int trunc(float v) { return marketdb::truncToInt(v); }
int prev(int s) { return (s + HistoryDays - 1) % HistoryDays; }
// The n slots ending at `latest`, oldest first.
std::vector<int> window(int latest, int period) {
  const int n = std::clamp(period, 0, HistoryDays);
  std::vector<int> slots;
  for (int i = n - 1; i >= 0; --i) slots.push_back(((latest - i) % HistoryDays + HistoryDays) % HistoryDays);
  return slots;
}

RankingRow plainAnalysis(const StockHistory& h, int latest, std::int32_t comparison, const AnalysisSettings& st) {
  PlainDay d[HistoryDays];
  for (int s = 0; s < HistoryDays; ++s) {
    const marketdb::DayRecord& r = h.day[s];
    d[s] = PlainDay{r.date, r.open, r.high, r.low, r.close, r.change, static_cast<float>(r.volume)};
  }
  int hi = 0, lo = 32700;
  auto range = [&] {
    hi = 0, lo = INT_MAX;
    for (const PlainDay& x : d)
      if (x.active()) hi = std::max(hi, x.high), lo = std::min(lo, x.low);
    if (lo == INT_MAX) lo = 32700;  // no trading day
  };
  range();
  float volumes = 0;
  for (const PlainDay& x : d)
    if (x.active()) volumes += x.volume;
  if (lo > 0 && (hi - lo) / lo > 10 && hi > 8000) {
    for (PlainDay& x : d) {
      if (!x.active()) continue;
      int* prices[] = {&x.open, &x.high, &x.low, &x.close, &x.change};
      const bool up = x.high < 800;
      for (int* p : prices) *p = up ? *p * 10 : *p / 10;
    }
    range();
  }
  RankingRow row;
  int sign = 0;
  auto term = [&](float t) { sign = trunc(static_cast<float>(sign) + t); };
  auto whole = [&](int v, int w) { sign = marketdb::clampToInt(std::int64_t{sign} + std::int64_t{v} * w / 10); };
  const PlainDay& today = d[latest];
  for (int i = 0, s = latest; i < HistoryDays; ++i, s = prev(s))
    if (d[s].date != 0 && d[s].active()) {
      row.close = d[s].close;
      break;
    }
  if (today.active() && today.close - today.change != 0)
    row.riseRate = trunc(static_cast<float>(today.change) / static_cast<float>(today.close - today.change) * 1000.0f);
  if (volumes != 0) row.volumeChange = trunc(today.volume / (volumes / 640.0f) * 10.0f);
  for (int j = 0; j < 3; ++j) {
    std::vector<int> c;
    for (int s : window(latest, st.rciPeriod[j]))
      if (d[s].active()) c.push_back(d[s].close);
    std::int64_t sum = 0;
    const std::int64_t n = static_cast<std::int64_t>(c.size());
    for (std::int64_t i = 0; i < n; ++i) {
      std::int64_t greater = 0;
      for (int other : c) greater += other > c[i];
      sum += (i - greater) * (i - greater);
    }
    if (n > 1 && sum > 0 && today.active()) {
      const float v = (1.0f - static_cast<float>(6 * sum) / static_cast<float>(n * n * n - n)) * -100.0f;
      if (j == 2) row.rci3 = trunc(v * 10.0f);
      term(v * static_cast<float>(st.rciWeight[j]) / 10.0f);
    }
  }
  for (int k = 0; k < 2; ++k) {
    std::int64_t sum = 0;
    int count = 0;
    for (int s : window(latest, k == 0 ? st.maPeriod2 : st.maPeriod3))
      if (d[s].active()) sum += d[s].close, ++count;
    if (count == 0 || sum <= 0) continue;
    const float average = static_cast<float>(sum) / static_cast<float>(count);
    const float deviation = (static_cast<float>(row.close) - average) / average;
    if (k == 0) row.deviation2 = trunc(deviation * 1000.0f);
    term(deviation * 100.0f * static_cast<float>(k == 0 ? st.maWeight2 : st.maWeight3) / 10.0f);
  }
  const std::vector<int> psycho = window(latest, st.psychoPeriod);
  int excluded = 0, up = 0;
  for (int s : psycho) {
    if (!d[s].active() || d[s].change == 0) ++excluded;
    else if (d[s].change > 0) ++up;
  }
  const int pn = static_cast<int>(psycho.size());
  if (excluded < pn && up > 0)
    term(static_cast<float>(up) / static_cast<float>(pn - excluded) * 100.0f * static_cast<float>(st.psychoWeight) / 10.0f);
  std::int64_t gains = 0, total = 0;
  for (int s : window(latest, std::min(st.psychoPeriod, HistoryDays) + 2))
    if (d[s].active()) gains += std::max(d[s].change, 0), total += std::abs(std::int64_t{d[s].change});
  if (total > 0) term(static_cast<float>(gains) / static_cast<float>(total) * 100.0f * static_cast<float>(st.rsiWeight) / 10.0f);
  float signedVolume = 0, allVolume = 0;
  std::int64_t aUp = 0, aDown = 0, bUp = 0, bDown = 0;
  for (int s : window(latest, st.maPeriod2)) {
    const int pc = d[prev(s)].close;
    if (d[s].active() && pc != 0) bUp += d[s].high - pc, bDown += pc - d[s].low;
    if (!d[s].active()) continue;
    signedVolume += d[s].change > 0 ? d[s].volume : -d[s].volume;
    allVolume += d[s].volume;
    aUp += d[s].high - d[s].open, aDown += d[s].open - d[s].low;
  }
  if (allVolume > 0) term(signedVolume / allVolume * 100.0f * static_cast<float>(st.wvrWeight) / 10.0f);
  if (aDown > 0) whole(std::clamp(trunc(static_cast<float>(aUp) / static_cast<float>(aDown) * 100.0f), 0, 400), st.shinoharaAWeight);
  if (bDown != 0) whole(std::clamp(trunc(static_cast<float>(bUp) / static_cast<float>(bDown) * 100.0f), 0, 400), st.shinoharaBWeight);
  row.sign = sign;
  if (hi != lo) row.rebound = trunc(static_cast<float>(row.close - lo) / static_cast<float>(hi - lo) * 1000.0f);
  if (lo != 0) row.range = trunc(static_cast<float>(hi) / static_cast<float>(lo) * 10.0f);
  int base = 0, back = -1;
  std::int32_t baseKey = 0;
  for (int i = 0, s = latest; i < HistoryDays; ++i, s = prev(s)) {
    if (d[s].date == 0 || !d[s].active()) continue;
    const std::int32_t key = d[s].date;
    if (key > comparison || (back >= 0 && key <= baseKey)) continue;
    base = d[s].close, back = i, baseKey = key;
  }
  if (back >= 0 && base >= 1 && row.close >= 1)
    row.sinceDate = trunc(static_cast<float>(row.close - base) / static_cast<float>(base) * 1000.0f);
  return row;
}

std::string rowText(const RankingRow& r) {
  return std::to_string(r.close) + " " + std::to_string(r.riseRate) + " " + std::to_string(r.volumeChange) +
         " " + std::to_string(r.rci3) + " " + std::to_string(r.deviation2) + " " + std::to_string(r.sign) + " " +
         std::to_string(r.rebound) + " " + std::to_string(r.range) + " " + std::to_string(r.sinceDate);
}

// ---- Histories with the cases the analysis meets: days missed (the previous lap's dates),
// no trade, prices in two units, negative and zero prices, and now and then a damaged value.
StockHistory randomHistory(std::mt19937& rng, int latest, int kind) {
  StockHistory h{};
  std::uniform_int_distribution<int> pct(0, 99);
  double price = 50 + rng() % 3000;
  for (int back = HistoryDays - 1; back >= 0; --back) {
    const int s = analysistest::slotBack(latest, back);
    marketdb::DayRecord& r = h.day[s];
    const int lap = pct(rng) < 8 ? 1 : 0;  // a missed day keeps the date of 640 days before
    r.date = marketdb::dateKey(static_cast<float>(10000 - back - lap * 640));
    const double previous = price;
    price = std::clamp(price * (0.95 + 0.1 * (rng() % 1000) / 1000.0), 1.0, 30000.0);
    if (kind == 1 && back > 300) price = std::clamp(price, 1.0, 700.0);  // before a unit change
    if (kind == 1 && back == 300) price = 9000;
    r.open = static_cast<std::int16_t>(previous);
    r.close = static_cast<std::int16_t>(price);
    r.high = static_cast<std::int16_t>(std::max(previous, price) * 1.02);
    r.low = static_cast<std::int16_t>(std::min(previous, price) * 0.98);
    r.change = static_cast<std::int16_t>(r.close - r.open);
    r.volume = pct(rng) < 10 ? 0.0f : static_cast<float>(rng() % 200000);
    if (kind == 2) r.volume = 0;
    if (kind == 5) {  // a stock that never trades at or below 32700 yen
      r.open = 32701 + static_cast<int>(rng() % 67);
      r.close = 32701 + static_cast<int>(rng() % 67);
      r.high = std::max(r.open, r.close), r.low = std::min(r.open, r.close);
      r.change = r.close - r.open;
    }
    if (kind == 3 && pct(rng) < 5) r.close = r.low = static_cast<std::int16_t>(-(rng() % 100));
    if (kind == 4 && pct(rng) < 3) {
      const float odd[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                           -0.0f, -5.0f, 3e38f, FLT_MIN};
      // A damaged date reads as -1 whatever its bytes were.
      if (pct(rng) < 50) r.date = -1;
      else r.volume = odd[rng() % 6];
    }
  }
  return h;
}

std::vector<AnalysisSettings> settingsToTry() {
  AnalysisSettings standard;
  AnalysisSettings longest;  // windows over the largest allowed periods, ranks sorted
  for (int& p : longest.rciPeriod) p = 320;
  longest.maPeriod2 = longest.maPeriod3 = 320;
  longest.psychoPeriod = 54;
  AnalysisSettings mixed;  // around the length where ranks stop being counted
  mixed.rciPeriod[0] = 64, mixed.rciPeriod[1] = 65, mixed.rciPeriod[2] = 1;
  mixed.maPeriod2 = 1;
  return {standard, longest, mixed};
}

TEST(AnalysisFastPath, ColumnsGiveThePlainAnalysisAsLoadedAndAsDecodedFromTheFile) {
  std::mt19937 rng(13);
  // One StockDays for every history, as a worker keeps it: what it remembers of one stock's
  // dates must not show in the next.
  auto days = std::make_unique<dbprogram::StockDays>();
  const std::int32_t comparisons[] = {marketdb::dateKey(9800), -1, 0, marketdb::dateKey(991229),
                                      marketdb::dateKey(10000)};
  for (int i = 0; i < 300; ++i) {
    const int latest = static_cast<int>(rng() % HistoryDays);
    const StockHistory h = randomHistory(rng, latest, i % 6);
    const std::int32_t comparison = comparisons[i % 5];
    std::vector<unsigned char> block(marketdb::HistoryBlockBytes);
    for (int s = 0; s < HistoryDays; ++s)
      marketdb::ClassicLayout.encodeRecord(h.day[s], block.data() + s * marketdb::DayRecordBytes);
    for (const AnalysisSettings& st : settingsToTry()) {
      SCOPED_TRACE(testing::Message() << "history " << i << " latest " << latest << " rci " << st.rciPeriod[0]);
      const std::string expected = rowText(plainAnalysis(h, latest, comparison, st));
      RankingRow viaHistory;
      dbprogram::analyseStock(h, latest, comparison, st, viaHistory);
      EXPECT_EQ(rowText(viaHistory), expected);
      days->decodeBlock(marketdb::ClassicLayout, block.data(), HistoryDays);
      RankingRow viaBlock;
      days->analyse(latest, comparison, st, viaBlock);
      EXPECT_EQ(rowText(viaBlock), expected);
    }
  }
}

// The columns filled straight from a block's bytes, and the records the bulk reader decodes from
// it (over what a previous stock left), hold what decoding its records one at a time gives,
// whatever the bytes (damaged dates, NaN volumes), with empty days after the part held; the
// range and volume sum taken on the way are those of a plain pass over the traded days.
TEST(AnalysisFastPath, ColumnsFromRandomBytesMatchRecordByRecordDecoding) {
  std::mt19937 rng(31);
  const float damagedDates[] = {0.5f, -3.0f, 1e6f, 123456.25f, -0.0f, std::nanf("")};
  std::vector<unsigned char> block(marketdb::HistoryBlockBytes);
  auto days = std::make_unique<dbprogram::StockDays>();
  auto history = std::make_unique<StockHistory>();
  auto sameFloat = [](float a, float b) { return std::isnan(a) ? std::isnan(b) : a == b; };
  for (int round = 0; round < 40; ++round) {
    for (unsigned char& b : block) b = static_cast<unsigned char>(rng());
    for (int s = 0; s < HistoryDays; ++s) {
      unsigned char* at = block.data() + s * marketdb::DayRecordBytes;
      const int kind = static_cast<int>(rng() % 8);  // mostly sound dates and volumes
      if (kind < 5) marketdb::putLittle(at, std::bit_cast<std::uint32_t>(static_cast<float>(rng() % 1000000)), 4);
      if (kind == 5) marketdb::putLittle(at, std::bit_cast<std::uint32_t>(damagedDates[rng() % 6]), 4);
      if (kind < 4) marketdb::putLittle(at + 14, std::bit_cast<std::uint32_t>(static_cast<float>(rng() % 3 ? rng() % 90000 : 0)), 4);
    }
    const int held = round % 4 == 0 ? static_cast<int>(rng() % HistoryDays) : HistoryDays;
    days->decodeBlock(marketdb::ClassicLayout, block.data(), held);
    std::memset(static_cast<void*>(history.get()), 0x5A, sizeof *history);
    marketdb::ClassicLayout.decodeRecords(block.data(), held, *history);
    int highMax = 0, lowMin = INT_MAX;
    float volumeSum = 0;
    for (int s = 0; s < HistoryDays; ++s) {
      const marketdb::DayRecord r =
          s < held ? marketdb::ClassicLayout.decodeRecord(block.data() + s * marketdb::DayRecordBytes)
                   : marketdb::DayRecord{};
      SCOPED_TRACE(testing::Message() << "round " << round << " day " << s);
      ASSERT_EQ(std::memcmp(&history->day[s], &r, sizeof r), 0);
      ASSERT_EQ(days->date[s], r.date);
      ASSERT_TRUE(days->open[s] == r.open && days->high[s] == r.high && days->low[s] == r.low &&
                  days->close[s] == r.close && days->change[s] == r.change);
      ASSERT_TRUE(sameFloat(days->volume[s], static_cast<float>(r.volume)));
      if (r.volume == 0) continue;
      highMax = std::max(highMax, r.high);
      lowMin = std::min(lowMin, r.low);
      volumeSum += static_cast<float>(r.volume);
    }
    EXPECT_EQ(days->highMax, highMax);
    EXPECT_EQ(days->lowMin, lowMin == INT_MAX ? 32700 : lowMin);
    EXPECT_TRUE(sameFloat(days->volumeSum, volumeSum)) << days->volumeSum << " " << volumeSum;
  }
}

TEST(AnalysisFastPath, APartBlockDecodesAsThePlainReaderGivesIt) {
  std::mt19937 rng(5);
  const StockHistory h = randomHistory(rng, 100, 0);
  std::vector<unsigned char> block(marketdb::HistoryBlockBytes);
  for (int s = 0; s < HistoryDays; ++s) marketdb::ClassicLayout.encodeRecord(h.day[s], block.data() + s * marketdb::DayRecordBytes);
  auto days = std::make_unique<dbprogram::StockDays>();
  for (int held : {0, 1, 99, 100, 101, 639, 640}) {
    SCOPED_TRACE(held);
    days->decodeBlock(marketdb::ClassicLayout, block.data(), HistoryDays);  // the previous stock's days, to be replaced
    days->decodeBlock(marketdb::ClassicLayout, block.data(), held);
    StockHistory part{};
    std::copy(h.day, h.day + held, part.day);
    EXPECT_EQ(days->storedOn(100, h.day[100].date), held > 100);
    RankingRow fast;
    days->analyse(100, marketdb::dateKey(9900), AnalysisSettings{}, fast);
    EXPECT_EQ(rowText(fast), rowText(plainAnalysis(part, 100, marketdb::dateKey(9900), AnalysisSettings{})));
  }
}

// ---- Whole runs.
struct Quiet : dbprogram::AnalysisReporter {
  void progress(int group, int number, int length) override {
    trail += std::to_string(group) + ":" + std::to_string(number) + "/" + std::to_string(length) + " ";
  }
  void fileMessage(const std::string& text, const std::string&) override { other += text; }
  void warning(const std::string& text) override { other += text; }
  void finished(const std::string&) override {}
  std::string trail;
  std::string other;
};

// A stock as the index lists it.
struct Listed {
  int section;
  marketdb::StockCode code;
  int slot;
};

// The files a plain run writes: every stock of the index read by the plain block reader and
// analysed by the plain analysis, in index order, lines through printf.
std::string plainRanking(int group, std::int32_t comparison, const marketdb::SystemFile& sys,
                         const AnalysisSettings& st, std::string& trail,
                         const std::vector<Listed>& index, const marketdb::DatabaseLayout& layout) {
  marketdb::PriceFile prices;
  prices.openForReading();
  auto h = std::make_unique<StockHistory>();
  std::vector<RankingRow> rows;
  int length = 0;
  std::vector<std::pair<int, RankingRow>> listed;
  for (const Listed& stock : index) {
    if ((group == 1) != (stock.section < 3)) continue;
    ++length;
    prices.readHistory(stock.slot, *h);
    RankingRow row;
    if (h->day[sys.storePosition].date != sys.lastStoreDate) {
      listed.push_back({0, row});
      continue;
    }
    row = plainAnalysis(*h, sys.storePosition, comparison, st);
    row.code = stock.code;
    row.recordSlot = stock.slot;
    std::memcpy(row.name, "NAME", 5);
    listed.push_back({1, row});
  }
  for (const auto& [stored, row] : listed) {
    if (!stored) {
      --length;
      continue;
    }
    rows.push_back(row);
    trail += std::to_string(group) + ":" + std::to_string(rows.size()) + "/" + std::to_string(length) + " ";
  }
  std::stable_sort(rows.begin(), rows.end(), [](const RankingRow& a, const RankingRow& b) { return a.code < b.code; });
  std::string text = dbprogram::rankingTitle(comparison, sys.lastStoreDate, layout) + dbprogram::rankingHeader();
  for (std::size_t i = 0; i < rows.size(); ++i)
    text += dbprogram::rankingLine(static_cast<int>(i + 1), static_cast<int>(rows.size() - i), rows[i], layout);
  return text;
}

TEST(AnalysisFastPath, RunsOnAnyNumberOfThreadsWriteWhatThePlainRunWrites) {
  testsupport::TempWorkDir dir;
  constexpr int Latest = 7;  // the ring has wrapped: windows run on past slot 0
  constexpr float LastDate = 10000;
  marketdb::SystemFile sys;
  marketdb::SettingsFile win;
  analysistest::defaultFiles(sys, win, LastDate, Latest);
  marketdb::writeSystemFile(sys);
  marketdb::writeSettingsFile(win);
  // 700 stocks in the index in shuffled slot order (the slots 0..699, each code once, as the
  // index check wants them), some not stored on the latest day, one without any trade and the
  // last block cut short.
  std::mt19937 rng(17);
  std::vector<int> slots;
  for (int s = 0; s < 700; ++s) slots.push_back(s);
  std::shuffle(slots.begin(), slots.end(), rng);
  std::vector<int> codeChoice;
  for (int c = 1300; c < 9300; ++c) codeChoice.push_back(c);
  std::shuffle(codeChoice.begin(), codeChoice.end(), rng);
  std::string idx;
  std::vector<Listed> index;
  std::string dat(static_cast<std::size_t>(760) * marketdb::HistoryBlockBytes, '\0');
  for (std::size_t i = 0; i < slots.size(); ++i) {
    StockHistory h = randomHistory(rng, Latest, i == 3 ? 2 : i % 9 == 8 ? 5 : static_cast<int>(i % 4));
    if (i % 11 == 0) h.day[Latest].date = marketdb::dateKey(LastDate - 1);
    if (i % 11 != 0) h.day[Latest].date = marketdb::dateKey(LastDate);
    const float code = static_cast<float>(codeChoice[i]);
    char line[80];
    std::snprintf(line, sizeof line, "0 %1d %4g %14s %4d %3d\n", 1 + static_cast<int>(i % 6),
                  static_cast<double>(code), "NAME", slots[i], 0);
    idx += line;
    index.push_back({1 + static_cast<int>(i % 6), marketdb::codeFromNumber(code), slots[i]});
    for (int s = 0; s < HistoryDays; ++s)
      marketdb::ClassicLayout.encodeRecord(h.day[s], reinterpret_cast<unsigned char*>(dat.data()) +
                                              static_cast<std::size_t>(slots[i]) * marketdb::HistoryBlockBytes +
                                              s * marketdb::DayRecordBytes);
  }
  const int lastSlot = *std::max_element(slots.begin(), slots.end());
  dat.resize(static_cast<std::size_t>(lastSlot) * marketdb::HistoryBlockBytes + 18 * 200 + 5);
  testsupport::writeFile(marketdb::IndexFileName, idx);
  testsupport::writeFile(marketdb::PriceFileName, dat);

  const float comparison = 10101;  // 010101: a calendar date after every day of the ring
  const AnalysisSettings st = AnalysisSettings::from(sys, win);
  std::string plainTrail;
  const auto plain = [&](int group) {
    return plainRanking(group, marketdb::dateKey(comparison), sys, st, plainTrail, index,
                        marketdb::ClassicLayout);
  };
  const std::string plain1 = plain(1), plain2 = plain(2);
  ASSERT_GT(std::count(plain1.begin(), plain1.end(), '\n'), 200);

  for (int workers : {1, 2, 3, 0}) {
    SCOPED_TRACE(workers);
    std::filesystem::remove("ranking.dat");
    std::filesystem::remove("ranking2.dat");
    marketdb::SystemFile s;
    marketdb::SettingsFile w;
    Quiet log;
    const auto outcome = dbprogram::runAnalysis(comparison, s, w, log, workers);
    EXPECT_EQ(outcome.result, dbprogram::AnalysisResult::Completed) << log.other;
    EXPECT_EQ(testsupport::readFile("ranking.dat"), plain1);
    EXPECT_EQ(testsupport::readFile("ranking2.dat"), plain2);
    EXPECT_EQ(log.trail, plainTrail);  // the same progress, step by step
  }

  // A damaged index found while the workers run: its refusal alone, and nothing written.
  std::filesystem::remove("ranking.dat");
  testsupport::writeFile(marketdb::IndexFileName, idx + "0 1 1301 BROKEN\n");
  marketdb::SystemFile s;
  marketdb::SettingsFile w;
  Quiet log;
  EXPECT_EQ(dbprogram::runAnalysis(comparison, s, w, log, 2).result, dbprogram::AnalysisResult::Failed);
  EXPECT_EQ(log.trail, "");
  EXPECT_NE(pelinor::text::toUtf8(log.other).find("pelinoru.idx"), std::string::npos) << log.other;
  EXPECT_FALSE(std::filesystem::exists("ranking.dat"));
}

// A wide market of three runs of record slots, the last one short, analysed by any number of
// workers together: the files of the plain run; then an index that lost a line, found while
// they run. Both versions of the price file.
class WideAnalysis : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(WideAnalysis, RunsOnAnyNumberOfThreadsWriteWhatThePlainRunWrites) {
  testsupport::TempWorkDir dir;
  constexpr int Latest = 7, Stocks = 2100;
  const marketdb::DatabaseLayout layout =
      marketdb::wideLayout(2200, marketdb::wideTileDaysOf(GetParam()));
  marketdb::WideSystem sys;
  marketdb::WideSettings win;
  // The histories' day keys (the day `back` before the latest as 10000 - back) as calendar
  // dates, which a wide file wants.
  const auto calendar = [](std::int32_t key) {
    using namespace std::chrono;
    const year_month_day d{sys_days{year{2026} / 12 / 4} - days{10000 - (key - 20000000)}};
    return static_cast<int>(d.year()) * 10000 + static_cast<int>(static_cast<unsigned>(d.month())) * 100 +
           static_cast<int>(static_cast<unsigned>(d.day()));
  };
  analysistest::defaultFiles(sys.sys, win.win, 10000, Latest);
  sys.lastStoreDate = sys.sys.lastStoreDate = calendar(sys.sys.lastStoreDate);
  testsupport::writeFile(marketdb::WideSystemFileName, marketdb::formatWideSystemFile(sys));
  testsupport::writeFile(marketdb::WideSettingsFileName, marketdb::formatWideSettingsFile(win));
  marketdb::WideHeader header;
  header.version = GetParam();
  header.capacity = 2200;
  header.recordsAssigned = Stocks;
  std::string dat = marketdb::encodeWideHeader(header);
  dat.resize(static_cast<std::size_t>(layout.recordOffset(0, HistoryDays)));
  std::mt19937 rng(29);
  std::vector<marketdb::WideIndexEntry> entries;
  std::vector<Listed> index;
  for (int i = 0; i < Stocks; ++i) {
    StockHistory h = randomHistory(rng, Latest, i % 9 == 8 ? 5 : i % 4);
    for (int s = 0; s < HistoryDays; ++s) h.day[s].date = calendar(h.day[s].date);
    for (int s = 0; s < HistoryDays; ++s)
      layout.encodeRecord(h.day[s], reinterpret_cast<unsigned char*>(dat.data()) + layout.recordOffset(i, s));
    entries.push_back({0, 1 + i % 6, marketdb::codeFromNumber(1300 + i), "NAME", i, 0});
    index.push_back({1 + i % 6, marketdb::codeFromNumber(1300 + i), i});
  }
  // The file ends inside the last stock's record of the last ring row.
  dat.resize(static_cast<std::size_t>(layout.recordOffset(Stocks - 1, HistoryDays - 1)) + 16);
  testsupport::writeFile(marketdb::WidePriceFileName, dat);
  const std::string idx = marketdb::formatWideIndex(entries);
  testsupport::writeFile(marketdb::WideIndexFileName, idx);

  std::string plainTrail;
  const AnalysisSettings st = AnalysisSettings::from(sys.sys, win.win);
  const std::string plain1 = plainRanking(1, 0, sys.sys, st, plainTrail, index, layout);
  const std::string plain2 = plainRanking(2, 0, sys.sys, st, plainTrail, index, layout);
  ASSERT_GT(std::count(plain1.begin(), plain1.end(), '\n'), 600);
  for (int workers : {1, 2, 3, 0}) {
    SCOPED_TRACE(workers);
    marketdb::SystemFile s;
    marketdb::SettingsFile w;
    Quiet log;
    EXPECT_EQ(dbprogram::runAnalysis(0, s, w, log, workers).result, dbprogram::AnalysisResult::Completed) << log.other;
    EXPECT_EQ(testsupport::readFile("ranking.dat"), plain1);
    EXPECT_EQ(testsupport::readFile("ranking2.dat"), plain2);
    EXPECT_EQ(log.trail, plainTrail);
  }
  std::filesystem::remove("ranking.dat");
  testsupport::writeFile(marketdb::WideIndexFileName, idx.substr(0, idx.rfind('\n', idx.size() - 2) + 1));
  marketdb::SystemFile s;
  marketdb::SettingsFile w;
  Quiet log;
  EXPECT_EQ(dbprogram::runAnalysis(0, s, w, log, 2).result, dbprogram::AnalysisResult::Failed);
  EXPECT_FALSE(std::filesystem::exists("ranking.dat"));
}

INSTANTIATE_TEST_SUITE_P(Versions, WideAnalysis, ::testing::Values(2u, 1u));

// ---- The row line formatter.
TEST(AnalysisFastPath, RankingLinesFormatAsPrintfFormatsThem) {
  std::mt19937 rng(3);
  const int edges[] = {0, 1, -1, 9, -9, 10, -10, 99999, -99999, 100000, INT_MAX, INT_MIN, INT_MAX - 1, INT_MIN + 1};
  const marketdb::StockCode codes[] = {marketdb::codeFromNumber(1301), marketdb::codeFromNumber(1000),
                                       marketdb::codeFromNumber(9999), marketdb::NoStockCode,
                                       marketdb::StockCodeEnd, marketdb::codeFromText("130A")};
  const char* names[] = {"", "A", "ABCDEF", "\x93\xfa\x97\xa7\x90\xbb", "AB CD", "\x83"};
  auto value = [&]() {
    switch (rng() % 4) {
      case 0: return edges[rng() % std::size(edges)];
      case 1: return static_cast<int>(rng() % 2001) - 1000;
      case 2: return static_cast<int>(rng());
      default: return static_cast<int>(rng() % 200001) - 100000;
    }
  };
  for (int i = 0; i < 20000; ++i) {
    RankingRow row;
    row.code = i < 200 ? codes[i % std::size(codes)]
                       : (rng() % 3 == 0 ? static_cast<marketdb::StockCode>(rng())
                                         : marketdb::codeFromNumber(1000 + rng() % 9000));
    std::strncpy(row.name, names[rng() % std::size(names)], 6);
    row.close = value();
    row.riseRate = value();
    row.volumeChange = value();
    row.rci3 = value();
    row.deviation2 = value();
    row.sign = value();
    row.rebound = value();
    row.range = value();
    row.sinceDate = value();
    const int rank = value();
    const int reverse = value();
    std::string fast = "prefix";
    dbprogram::appendRankingLine(fast, rank, reverse, row);
    ASSERT_EQ(fast, "prefix" + dbprogram::rankingLine(rank, reverse, row)) << "row " << i;
  }
}

}  // namespace
