// The run over both market groups: which stocks it takes, the ranking files byte for byte, the
// row limit and the failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dbprogram/analysis.h"
#include "platform/text/cp932.h"
#include "tests/dbprogram/analysis_testdb.h"
#include "tests/support/test_support.h"

namespace {

using analysistest::Day;
using analysistest::Stock;
using dbprogram::AnalysisResult;
using pelinor::text::toCp932;
using pelinor::text::toUtf8;

struct Log : dbprogram::AnalysisReporter {
  void progress(int group, int number, int length) override {
    last[group] = std::to_string(number) + "/" + std::to_string(length);
    ++steps;
  }
  void fileMessage(const std::string& text, const std::string& caption) override {
    messages.push_back("[" + toUtf8(caption) + "] " + toUtf8(text));
  }
  void warning(const std::string& text) override { warnings.push_back(toUtf8(text)); }
  void finished(const std::string& text) override { end = toUtf8(text); }
  std::string last[3];
  int steps = 0;
  std::vector<std::string> messages;
  std::vector<std::string> warnings;
  std::string end;
};

constexpr int Latest = 5;
constexpr float LastDate = 105;  // 000105

// A stock that traded once, on the latest day, at one price and without change:
// 出変 = volume / (volume / 640) * 10 = 6400; the only term is WVR (the unchanged day counts
// as minus): -1 * 100 * 30 / 10 = -300; ﾚﾝｼﾞ 10; everything else 0.
Stock oneDay(int section, float code, const char* name, int slot, int price, float date = LastDate) {
  Stock s;
  s.section = section;
  s.code = code;
  s.nameUtf8 = name;
  s.slot = slot;
  s.days[Latest] = Day{date, price, price, price, price, 0, 640};
  return s;
}

class AnalysisRun : public ::testing::Test {
 protected:
  AnalysisRun() { analysistest::defaultFiles(sys, win, LastDate, Latest); }
  dbprogram::AnalysisOutcome run(float comparisonDate) {
    marketdb::SystemFile s;
    marketdb::SettingsFile w;
    return dbprogram::runAnalysis(comparisonDate, s, w, log);
  }
  testsupport::TempWorkDir dir;
  marketdb::SystemFile sys;
  marketdb::SettingsFile win;
  Log log;
};

TEST_F(AnalysisRun, WritesBothRankingFilesByteForByte) {
  analysistest::writeDatabase(
      sys, win,
      {oneDay(2, 2001, "ABC", 0, 1100),
       oneDay(1, 1302, "Gone", 2, 900, 104),          // not stored on the latest day
       oneDay(1, 1301, "Aトヨタ自動車", 1, 1000),       // name cut inside タ
       oneDay(3, 6501, "日立製作所", 3, 2500),
       oneDay(6, 9001, "Foreign", 4, 50)});
  auto outcome = run(991229);
  EXPECT_EQ(outcome.result, AnalysisResult::Completed);

  const std::string title = toCp932("［ペリノ改Ｃ］ 指定は991229と000105本日比較\n\n");
  const std::string header =
      toCp932("順位 逆位 ｺｰﾄﾞ 銘柄名  終値  上率  出変  RCI3  ｶｲﾘ2  sｻｲﾝ  戻率  ﾚﾝｼﾞ  指定\n\n");
  ASSERT_EQ(title.size(), 45u);
  ASSERT_EQ(header.size(), 77u);
  const std::string cut = "A" + toCp932("トヨ") + toCp932("タ").substr(0, 1);
  const std::string group1 =
      title + header +
      "   1    2 1301 " + cut + "  1000   0.0 640.0   0.0   0.0 -300.0   0.0   1.0   0.0\n" +
      "   2    1 2001    ABC  1100   0.0 640.0   0.0   0.0 -300.0   0.0   1.0   0.0\n";
  EXPECT_EQ(testsupport::readFile("ranking.dat"), group1);
  const std::string group2 =
      title + header +
      "   1    2 6501 " + toCp932("日立製") + "  2500   0.0 640.0   0.0   0.0 -300.0   0.0   1.0   0.0\n" +
      "   2    1 9001 Foreig    50   0.0 640.0   0.0   0.0 -300.0   0.0   1.0   0.0\n";
  EXPECT_EQ(testsupport::readFile("ranking2.dat"), group2);

  // The progress counts the list as it shrinks: 1302 is removed when it is reached.
  EXPECT_EQ(log.last[1], "2/2");
  EXPECT_EQ(log.last[2], "2/2");
  EXPECT_EQ(log.steps, 4);
  EXPECT_EQ(log.end, "分析終了しました。");
  EXPECT_TRUE(log.messages.empty());
}

TEST_F(AnalysisRun, RowLineFormat) {
  dbprogram::RankingRow row;
  row.code = marketdb::codeFromNumber(1301);
  std::memcpy(row.name, "ABC", 4);
  row.close = 1100;
  row.riseRate = 46;
  row.volumeChange = 1600;
  row.rci3 = -456;
  row.deviation2 = 142;
  row.sign = 75;
  row.rebound = 500;
  row.range = 40;
  row.sinceDate = 1200;
  const std::string line = dbprogram::rankingLine(1, 3, row);
  EXPECT_EQ(line, "   1    3 1301    ABC  1100   4.6 160.0 -45.6  14.2   75.0  50.0   4.0 120.0\n");
  EXPECT_EQ(line.size(), 77u);
}

TEST_F(AnalysisRun, GroupBeyondTheRowArrayIsCutAndSaidSo) {
  std::vector<Stock> stocks;
  for (int i = 0; i < 2405; ++i) stocks.push_back(oneDay(1, 1000 + i, "S", i, 100));
  analysistest::writeDatabase(sys, win, stocks);
  auto outcome = run(0);
  EXPECT_EQ(outcome.result, AnalysisResult::Completed);
  EXPECT_TRUE(outcome.truncated);
  const std::string text = testsupport::readFile("ranking.dat");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4 + 2399);
  EXPECT_NE(text.find("\n2399    1 3398 "), std::string::npos);
  EXPECT_EQ(text.find(" 3399 "), std::string::npos);
  ASSERT_EQ(log.warnings.size(), 1u);
  EXPECT_EQ(log.warnings[0], "東証１部（店頭）の銘柄数が2399を超えたため、先頭の2399銘柄だけ分析しました");
  EXPECT_EQ(log.last[1], "2399/2405");
}

TEST_F(AnalysisRun, StocksNotStoredDoNotTakeRowsOfTheLimit) {
  // 2399 stored stocks behind 10 that were not stored on the latest day all fit.
  std::vector<Stock> stocks;
  for (int i = 0; i < 2409; ++i) stocks.push_back(oneDay(2, 1000 + i, "S", i, 100, i < 10 ? 104 : LastDate));
  analysistest::writeDatabase(sys, win, stocks);
  auto outcome = run(0);
  EXPECT_FALSE(outcome.truncated);
  EXPECT_TRUE(log.warnings.empty());
  EXPECT_EQ(log.last[1], "2399/2399");
}

TEST_F(AnalysisRun, MissingSystemFileStopsBeforeAnything) {
  auto outcome = run(0);
  EXPECT_EQ(outcome.result, AnalysisResult::NoSystemFile);
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_EQ(log.messages[0], "[ﾌｧｲﾙ存在状況] pelinoru.sys が存在しません");
  EXPECT_TRUE(log.end.empty());
  EXPECT_FALSE(std::filesystem::exists("ranking.dat"));
}

TEST_F(AnalysisRun, MissingIndexOrPriceFileEndsTheRun) {
  analysistest::writeDatabase(sys, win, {oneDay(1, 1301, "A", 0, 100)});
  std::filesystem::remove("pelinoru.idx");
  auto outcome = run(0);
  EXPECT_EQ(outcome.result, AnalysisResult::Failed);
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_EQ(log.messages[0], "[ﾌｧｲﾙ存在状況] pelinoru.idx が存在しません");
  EXPECT_EQ(log.end, "分析終了しました。");
  EXPECT_FALSE(std::filesystem::exists("ranking.dat"));

  Log second;
  analysistest::writeDatabase(sys, win, {oneDay(1, 1301, "A", 0, 100)});
  std::filesystem::remove("pelinoru.dat");
  marketdb::SystemFile s;
  marketdb::SettingsFile w;
  EXPECT_EQ(dbprogram::runAnalysis(0, s, w, second).result, AnalysisResult::Failed);
  ASSERT_EQ(second.messages.size(), 1u);
  EXPECT_EQ(second.messages[0], "[ﾌｧｲﾙ存在状況] pelinoru.dat が存在しません");
  EXPECT_FALSE(std::filesystem::exists("ranking.dat"));
}

TEST_F(AnalysisRun, MissingSettingsFileRunsWithTheWeightsInMemory) {
  analysistest::writeDatabase(sys, win, {oneDay(1, 1301, "A", 0, 100)});
  std::filesystem::remove("pelinoru.win");
  marketdb::SystemFile s;
  // Weights 0 in memory, below their range 1..50: they count as 1, so the WVR term is
  // -1 * 100 * 1 / 10 = -10.
  marketdb::SettingsFile w;
  auto outcome = dbprogram::runAnalysis(0, s, w, log);
  EXPECT_TRUE(outcome.settingsMissing);
  EXPECT_EQ(outcome.result, AnalysisResult::Completed);
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_EQ(log.messages[0], "[ﾌｧｲﾙ存在状況] pelinoru.win が存在しません");
  const std::string text = testsupport::readFile("ranking.dat");
  EXPECT_NE(text.find("   1    1 1301      A   100   0.0 640.0   0.0   0.0  -10.0"), std::string::npos);
}

TEST_F(AnalysisRun, UnwritableRankingFileEndsTheRun) {
  analysistest::writeDatabase(sys, win, {oneDay(1, 1301, "A", 0, 100), oneDay(3, 6501, "B", 1, 100)});
  std::filesystem::create_directory("ranking.dat");
  auto outcome = run(0);
  EXPECT_EQ(outcome.result, AnalysisResult::Failed);
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_EQ(log.messages[0], "[ﾌｧｲﾙ状況] ranking.dat がOPENできません");
  EXPECT_EQ(log.end, "分析終了しました。");
  EXPECT_FALSE(std::filesystem::exists("ranking2.dat"));
}

TEST_F(AnalysisRun, DamagedSettingsAndStorePositionDoNotBreakTheRun) {
  for (int& p : sys.periods) p = 5000;
  sys.periods[29 - 20] = -7;
  analysistest::writeDatabase(sys, win, {oneDay(1, 1301, "A", 0, 100)});
  EXPECT_EQ(run(0).result, AnalysisResult::Completed);

  sys.storePosition = 640;
  analysistest::writeDatabase(sys, win, {oneDay(1, 1301, "A", 0, 100)});
  Log refused;
  marketdb::SystemFile s;
  marketdb::SettingsFile w;
  EXPECT_EQ(dbprogram::runAnalysis(0, s, w, refused).result, AnalysisResult::Failed);
  ASSERT_EQ(refused.warnings.size(), 1u);
  EXPECT_NE(refused.warnings[0].find("640"), std::string::npos);
}


// A stock with a full ring of varying days: each window length gives its own values.
Stock fullRing(float code, int slot) {
  Stock s;
  s.code = code;
  s.nameUtf8 = "FULL";
  s.slot = slot;
  int close = 500;
  for (int back = 639; back >= 0; --back) {
    const int change = (back * 7919) % 23 - 11;
    close += change;
    s.days[analysistest::slotBack(Latest, back)] =
        Day{back == 0 ? LastDate : 1.0f, close - 3, close + 5, close - 6, close, change,
            static_cast<float>(100 + (back * 31) % 97)};
  }
  return s;
}

std::string readFile(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(AnalysisSettingsFrom, EveryPeriodAndWeightIsLimitedToItsItemsRange) {
  marketdb::SystemFile sys;
  marketdb::SettingsFile win;
  struct Case {
    int value;
    int period;    // items 21, 22, 31 (range 1..320)
    int rci;       // items 29, 30 (range 0..320)
    int psycho;    // item 32 (range 1..54)
    int weight;    // items 50..59 (range 1..50)
  };
  const Case cases[] = {
      {2147483647, 320, 320, 54, 50},
      {-2147483647 - 1, 1, 0, 1, 1},
      {0, 1, 0, 1, 1},
      {17, 17, 17, 17, 17},
  };
  for (const Case& c : cases) {
    for (int& p : sys.periods) p = c.value;
    for (int& w : win.weights) w = c.value;
    const dbprogram::AnalysisSettings s = dbprogram::AnalysisSettings::from(sys, win);
    EXPECT_EQ(s.maPeriod2, c.period) << c.value;
    EXPECT_EQ(s.maPeriod3, c.period) << c.value;
    EXPECT_EQ(s.rciPeriod[0], c.rci) << c.value;
    EXPECT_EQ(s.rciPeriod[1], c.rci) << c.value;
    EXPECT_EQ(s.rciPeriod[2], c.period) << c.value;
    EXPECT_EQ(s.psychoPeriod, c.psycho) << c.value;
    for (int w : {s.psychoWeight, s.maWeight2, s.maWeight3, s.rciWeight[0], s.rciWeight[1],
                  s.rciWeight[2], s.rsiWeight, s.wvrWeight, s.shinoharaAWeight,
                  s.shinoharaBWeight})
      EXPECT_EQ(w, c.weight) << c.value;
  }
}

// Every period and weight at the largest int analyses exactly as at the largest values the
// settings editor accepts.
TEST_F(AnalysisRun, HugePeriodsAndWeightsAnalyseAsTheirLargestValidValues) {
  std::string files[2];
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 16; ++i) {
      const marketdb::SettingItem* item = marketdb::findSettingItem(20 + i);
      sys.periods[i] = round == 0 ? 2147483647 : item->maximum;
    }
    for (int& w : win.weights) w = round == 0 ? 2147483647 : 50;
    analysistest::writeDatabase(sys, win, {fullRing(1301, 0)});
    ASSERT_EQ(run(0).result, AnalysisResult::Completed);
    files[round] = readFile("ranking.dat");
  }
  EXPECT_EQ(files[0], files[1]);
}

}  // namespace
