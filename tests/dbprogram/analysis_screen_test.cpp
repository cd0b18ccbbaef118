// The comparison-date entry and the analysis run on the window.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/dbprogram/analysis_testdb.h"
#include "tests/dbprogram/ranking_screen.h"
#include "tests/support/test_support.h"

namespace {

using analysistest::Day;
using analysistest::Stock;
using dbprogram::IdBunseki;
using rankingtest::Screen;

constexpr int Latest = 7;

Stock stock(int section, float code, int slot, float date = 105) {
  Stock s{section, code, std::string(1, 'S'), slot, {}};
  s.days[Latest] = Day{date, 100, 100, 100, 100, 0, 50};
  return s;
}

class AnalysisScreen : public ::testing::Test {
 protected:
  void database(const std::vector<Stock>& stocks) {
    marketdb::SystemFile sys;
    marketdb::SettingsFile win;
    analysistest::defaultFiles(sys, win, 105, Latest);
    analysistest::writeDatabase(sys, win, stocks);
  }
  void type(Screen& s, const std::string& digits) {
    for (char c : digits) s.driver->key(static_cast<unsigned>(c));
  }
  std::string title() const {
    const std::string text = testsupport::readFile("ranking.dat");
    return pelinor::text::toUtf8(text.substr(0, text.find('\n')));
  }
  testsupport::TempWorkDir dir;
};

TEST_F(AnalysisScreen, TypedDateRunsTheAnalysis) {
  database({stock(1, 1301, 0), stock(1, 1302, 1, 104), stock(2, 1303, 2), stock(4, 8000, 3)});
  Screen s;
  s.driver->menu(IdBunseki);
  EXPECT_EQ(s.at(0, 16), "比較する年月日(yymmdd)を入力→");
  EXPECT_EQ(s.colourAt(0, 16, "比較する年月日(yymmdd)を入力→"), "FFFFFF");
  EXPECT_EQ(s.colourAt(224, 16, "000000"), "FFFF00");
  type(s, "99122");
  EXPECT_EQ(s.at(224, 16), "099122");
  EXPECT_FALSE(std::filesystem::exists("ranking.dat"));
  type(s, "9");
  s.driver->key(VK_RETURN);
  EXPECT_EQ(s.at(224, 16), "991229");
  EXPECT_EQ(s.at(0, 48), "処理中(^^;");
  EXPECT_EQ(s.at(0, 80), "分析終了しました。");
  // The last progress drawn is that of group 2: one stock of one.
  EXPECT_EQ(s.at(64, 48), "   1");
  EXPECT_EQ(s.colourAt(64, 48, "   1"), "FFFF00");
  EXPECT_EQ(s.at(96, 48), "/");
  EXPECT_EQ(s.at(104, 48), "   1");
  // Group 1 drew 1/3, then 2/2 once 1302 (not stored) had left the list.
  std::vector<std::string> counts;
  for (const auto& t : s.texts())
    if (t.y == 48 && (t.x == 64 || t.x == 104)) counts.push_back(t.text);
  EXPECT_EQ(counts, (std::vector<std::string>{"   1", "   3", "   2", "   2", "   1", "   1"}));
  // Opaque text: each progress number is drawn over a black cell.
  EXPECT_NE(s.driver->dump().find("fill 64 48 88 64 000000\ntext 64 48 FFFF00"), std::string::npos);

  EXPECT_EQ(title(), "［ペリノ改Ｃ］ 指定は991229と000105本日比較");
  EXPECT_TRUE(std::filesystem::exists("ranking2.dat"));
  EXPECT_EQ(s.window().screenMode, 0);
}

TEST_F(AnalysisScreen, SeventhDigitThenAnyKeyEmptiesTheEntry) {
  database({stock(1, 1301, 0)});
  Screen s;
  s.driver->menu(IdBunseki);
  type(s, "1234567");
  EXPECT_EQ(s.at(224, 16), "1.23457e+06");
  s.driver->key(VK_RETURN);
  EXPECT_EQ(s.at(224, 16), "000000");
  EXPECT_FALSE(std::filesystem::exists("ranking.dat"));
  // C empties the entry; E on an empty entry runs with the date 0.
  type(s, "12");
  s.driver->key(VK_HOME);
  EXPECT_EQ(s.at(224, 16), "000000");
  s.driver->key(VK_RETURN);
  EXPECT_EQ(title(), "［ペリノ改Ｃ］ 指定は000000と000105本日比較");
}

TEST_F(AnalysisScreen, AClickRestartsTheEntry) {
  database({stock(1, 1301, 0)});
  Screen s;
  s.driver->menu(IdBunseki);
  type(s, "99");
  s.driver->click(100, 100);
  EXPECT_EQ(s.at(224, 16), "000000");
  type(s, "5");
  EXPECT_EQ(s.at(224, 16), "000005");
}

TEST_F(AnalysisScreen, TooManyStocksIsShownInRed) {
  std::vector<Stock> stocks;
  for (int i = 0; i < 2400; ++i) stocks.push_back(stock(3, static_cast<float>(1000 + i), i));
  database(stocks);
  Screen s;
  s.driver->menu(IdBunseki);
  const int bells = BellCount();
  s.driver->key(VK_RETURN);
  EXPECT_EQ(BellCount(), bells + 1);
  const std::string line = "東証２部（大証外国）の銘柄数が2399を超えたため、先頭の2399銘柄だけ分析しました";
  EXPECT_EQ(s.colourAt(0, 96, line), "FF0000");
  EXPECT_EQ(s.at(0, 80), "分析終了しました。");
}

TEST_F(AnalysisScreen, MissingFilesAreReported) {
  Screen s;
  s.driver->menu(IdBunseki);
  s.driver->key(VK_RETURN);
  // A folder without a database is said once at start, naming the folder and the remedy.
  ASSERT_EQ(s.driver->messageBoxes().size(), 2u);
  EXPECT_EQ(s.driver->messageBoxes()[0],
            "[ﾌｧｲﾙ存在状況] " + std::filesystem::current_path().string() +
                " にデータベースがありません。pelinorx init W (またはN) で作るか、"
                "-C DIR でデータベースのあるﾌｫﾙﾀﾞを指定してください");
  EXPECT_EQ(s.driver->messageBoxes()[1], "[ﾌｧｲﾙ存在状況] pelinoru.sys が存在しません");
  EXPECT_TRUE(s.driver->closed());
  EXPECT_EQ(s.at(0, 80), "");

  database({stock(1, 1301, 0)});
  std::filesystem::remove("pelinoru.dat");
  Screen t;
  t.driver->menu(IdBunseki);
  t.driver->key(VK_RETURN);
  ASSERT_EQ(t.driver->messageBoxes().size(), 1u);
  EXPECT_EQ(t.driver->messageBoxes()[0], "[ﾌｧｲﾙ存在状況] pelinoru.dat が存在しません");
  EXPECT_EQ(t.at(0, 80), "分析終了しました。");
  EXPECT_FALSE(std::filesystem::exists("ranking.dat"));
}

}  // namespace
