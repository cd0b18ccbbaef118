// The ranking display: reading a ranking file, the page drawing, paging and sorting, driven
// through the window as a user drives it.
#include <gtest/gtest.h>

#include "tests/dbprogram/ranking_screen.h"
#include "tests/support/test_support.h"

namespace {

using dbprogram::IdBunhyoji1;
using dbprogram::IdBunhyoji2;
using dbprogram::IdHidari;
using dbprogram::IdMigi;
using dbprogram::IdS0;
using dbprogram::IdSaigo;
using dbprogram::IdSaisyo;
using dbprogram::IdSita;
using dbprogram::IdUe;
using dbprogram::RankingRow;
using rankingtest::makeRow;
using rankingtest::Screen;

// Seventy rows 1000..1069, written in descending code order. sｻｲﾝ = i, 指定 = -10 i,
// 終値 a permutation of 1000..1069.
std::vector<RankingRow> seventyRows() {
  std::vector<RankingRow> rows;
  for (int i = 69; i >= 0; --i) {
    RankingRow r = makeRow(static_cast<float>(1000 + i), 1000 + (i * 37) % 70, i);
    r.sinceDate = -10 * i;
    rows.push_back(r);
  }
  return rows;
}

class RankingDisplay : public ::testing::Test {
 protected:
  void write(const std::string& text, const char* name = "ranking.dat") {
    testsupport::writeFile(name, text);
  }
  testsupport::TempWorkDir dir;
};

TEST_F(RankingDisplay, EnteringShowsTheFirstPageInCodeOrder) {
  write(rankingtest::fileWith(seventyRows()));
  Screen s;
  s.driver->menu(IdBunhyoji1);
  EXPECT_EQ(s.rowsDrawn(), 28);
  EXPECT_EQ(s.at(0, 32), "   1");
  EXPECT_EQ(s.at(40, 32), "  70");
  EXPECT_EQ(s.codeAt(0), 1000);
  EXPECT_EQ(s.codeAt(27), 1027);
  EXPECT_EQ(s.at(0, 32 + 16 * 27), "  28");
  EXPECT_EQ(s.at(40, 32 + 16 * 27), "  43");
  // 1003: 終値 1000 + 111 % 70 = 1041, sｻｲﾝ 3, 指定 -3.0, the other values 0.
  EXPECT_EQ(s.row(3), "   4|  67|1003|    N3| 1041|   0.0|   0.0|   0.0|   0.0|      3|   0.0|   0.0|  -3.0");

  EXPECT_EQ(s.at(16, 0), "［ペリノ改Ｃ］ 指定は991229と000105本日比較");
  EXPECT_EQ(s.colourAt(16, 0, s.at(16, 0)), "FFFFFF");
  EXPECT_EQ(s.colourAt(0, 0, "［ペリノＣ++］Ｗin"), "00FF00");
  EXPECT_NE(s.driver->dump().find("rect 0 0 96 16 000000 000000\n"), std::string::npos);
  EXPECT_NE(s.driver->dump().find("rect 0 15 303 32 000000 000000\n"), std::string::npos);
  EXPECT_EQ(s.at(0, 16), "順位");
  EXPECT_EQ(s.at(424, 16), "sｻｲﾝ");
  EXPECT_EQ(s.at(568, 16), "指定");
  // Digit keys in cyan, the active one (0) again in magenta.
  const int xs[] = {72, 176, 224, 272, 320, 368, 416, 464, 512, 560};
  for (int d = 1; d < 10; ++d)
    EXPECT_EQ(s.colourAt(xs[d], 16, std::to_string(d)), "00FFFF") << d;
  EXPECT_EQ(s.colourAt(72, 16, "0"), "FF00FF");
  int zeros = 0;
  for (const auto& t : s.texts()) zeros += t.x == 72 && t.y == 16 && t.text == "0";
  EXPECT_EQ(zeros, 2);
  // The reading line comes first.
  EXPECT_EQ(s.texts().front().text, "東証１部（店頭）読み込み処理中(^^;");
}

TEST_F(RankingDisplay, PagingStaysInsideTheTable) {
  write(rankingtest::fileWith(seventyRows()));
  Screen s;
  s.driver->menu(IdBunhyoji1);
  s.driver->menu(IdUe);
  EXPECT_EQ(s.codeAt(0), 1000);
  s.driver->menu(IdHidari);
  EXPECT_EQ(s.codeAt(0), 1000);
  EXPECT_EQ(s.at(40, 32), "  70");

  s.driver->menu(IdMigi);
  EXPECT_EQ(s.codeAt(0), 1028);
  EXPECT_EQ(s.at(0, 32), "  29");
  EXPECT_EQ(s.at(40, 32), "  42");
  s.driver->menu(IdSita);
  EXPECT_EQ(s.codeAt(0), 1029);
  s.driver->menu(IdUe);
  EXPECT_EQ(s.codeAt(0), 1028);
  s.driver->menu(IdHidari);
  EXPECT_EQ(s.codeAt(0), 1000);

  s.driver->menu(IdSaigo);
  EXPECT_EQ(s.codeAt(0), 1042);
  EXPECT_EQ(s.at(40, 32), "  28");
  EXPECT_EQ(s.at(40, 32 + 16 * 27), "   1");
  EXPECT_EQ(s.at(0, 32 + 16 * 27), "  70");
  s.driver->menu(IdMigi);
  EXPECT_EQ(s.codeAt(0), 1042);
  s.driver->menu(IdSita);
  EXPECT_EQ(s.codeAt(0), 1042);
  EXPECT_EQ(s.at(40, 32), "  28");

  s.driver->menu(IdSaisyo);
  EXPECT_EQ(s.codeAt(0), 1000);
  // The keys give the same steps as the menu.
  s.driver->key(VK_RIGHT);
  EXPECT_EQ(s.codeAt(0), 1028);
  s.driver->key(VK_SPACE);  // 最後
  EXPECT_EQ(s.codeAt(0), 1042);
  s.driver->key(VK_BACK);  // 最初
  EXPECT_EQ(s.codeAt(0), 1000);
}

TEST_F(RankingDisplay, ARepaintRepeatsTheStepAndAClickDoesNot) {
  write(rankingtest::fileWith(seventyRows()));
  Screen s;
  s.driver->menu(IdBunhyoji1);
  s.driver->menu(IdSita);
  EXPECT_EQ(s.codeAt(0), 1001);
  s.driver->click(10, 10);
  EXPECT_EQ(s.codeAt(0), 1001);
  s.driver->paint();
  EXPECT_EQ(s.codeAt(0), 1002);
  s.driver->menu(IdMigi);
  EXPECT_EQ(s.codeAt(0), 1030);
  s.driver->click(10, 10);
  EXPECT_EQ(s.codeAt(0), 1030);
}

TEST_F(RankingDisplay, DigitKeysSortByTheirColumn) {
  const std::vector<RankingRow> rows = seventyRows();
  write(rankingtest::fileWith(rows));
  Screen s;
  s.driver->menu(IdBunhyoji1);

  s.driver->menu(IdS0 + 6);  // sｻｲﾝ descending: 1069 .. 1000
  EXPECT_EQ(s.codeAt(0), 1069);
  EXPECT_EQ(s.codeAt(27), 1042);
  EXPECT_EQ(s.at(0, 32), "   1");
  EXPECT_EQ(s.at(40, 32), "  70");
  EXPECT_EQ(s.colourAt(416, 16, "6"), "FF00FF");
  EXPECT_EQ(s.colourAt(72, 16, "0"), "00FFFF");
  s.driver->menu(IdSita);  // paging keeps the order
  EXPECT_EQ(s.codeAt(0), 1068);
  s.driver->menu(IdSaigo);
  EXPECT_EQ(s.codeAt(27), 1000);

  s.driver->menu(IdS0 + 1);  // 終値 descending: 1069 first, 1068 next ...
  int expectedTop = -1;
  int secondTop = -1;
  for (const RankingRow& r : rows) {
    if (r.close == 1069) expectedTop = marketdb::codeNumber(r.code);
    if (r.close == 1068) secondTop = marketdb::codeNumber(r.code);
  }
  EXPECT_EQ(s.codeAt(0), expectedTop);
  EXPECT_EQ(s.codeAt(1), secondTop);
  EXPECT_EQ(s.at(180, 32), " 1069");

  s.driver->menu(IdS0 + 9);  // 指定 -10 i descending: 1000 first
  EXPECT_EQ(s.codeAt(0), 1000);
  EXPECT_EQ(s.at(556, 32 + 16), "  -1.0");
  EXPECT_EQ(s.colourAt(560, 16, "9"), "FF00FF");

  s.driver->menu(IdS0 + 6);
  s.driver->key('0');  // back to code order
  EXPECT_EQ(s.codeAt(0), 1000);
  EXPECT_EQ(s.codeAt(1), 1001);
}

TEST_F(RankingDisplay, EachDigitSortsItsOwnColumn) {
  // Row i has the value 10 * i in column d only for d = i; sorting by digit d puts row d first.
  std::vector<RankingRow> rows;
  for (int i = 1; i <= 9; ++i) {
    RankingRow r = makeRow(static_cast<float>(2000 + i), 100, 0);
    int* fields[] = {nullptr, &r.close, &r.riseRate, &r.volumeChange, &r.rci3, &r.deviation2,
                     &r.sign, &r.rebound, &r.range, &r.sinceDate};
    *fields[i] = 9999;
    rows.push_back(r);
  }
  write(rankingtest::fileWith(rows));
  Screen s;
  s.driver->menu(IdBunhyoji1);
  for (int d = 1; d <= 9; ++d) {
    s.driver->menu(IdS0 + d);
    EXPECT_EQ(s.codeAt(0), 2000 + d) << "digit " << d;
  }
}

TEST_F(RankingDisplay, ValuesComeBackInTenthsWithTheFactor10001) {
  EXPECT_EQ(dbprogram::rankingValueFromFile(4.6f), 46);
  EXPECT_EQ(dbprogram::rankingValueFromFile(-45.6f), -456);
  EXPECT_EQ(dbprogram::rankingValueFromFile(999.9f), 10000);
  EXPECT_EQ(dbprogram::rankingValueFromFile(1000.0f), 10001);
  EXPECT_EQ(dbprogram::rankingValueFromFile(0.0f), 0);

  const std::string line =
      "   1    1 1301    ABC  1100 -45.6 999.9  1000   4.6   -12.0  -0.1 123.4 -99.9\n";
  write(rankingtest::standardTitle() + dbprogram::rankingHeader() + line);
  Screen s;
  s.driver->menu(IdBunhyoji1);
  EXPECT_EQ(s.row(0),
            "   1|   1|1301|   ABC| 1100| -45.6|1000.0|1000.1|   4.6|    -12|  -0.1| 123.4| -99.9");
  s.driver->menu(IdS0 + 2);
  EXPECT_EQ(s.codeAt(0), 1301);
}

TEST_F(RankingDisplay, NegativeValuesSortBelowPositiveOnes) {
  std::vector<RankingRow> rows = {makeRow(1001, 100, 5, -456), makeRow(1002, 100, -3, 12),
                                  makeRow(1003, 100, 0, 0)};
  write(rankingtest::fileWith(rows));
  Screen s;
  s.driver->menu(IdBunhyoji1);
  s.driver->menu(IdS0 + 2);  // 上率: 1.2, 0.0, -45.6
  EXPECT_EQ(s.codeAt(0), 1002);
  EXPECT_EQ(s.codeAt(1), 1003);
  EXPECT_EQ(s.codeAt(2), 1001);
  EXPECT_EQ(s.at(220, 32 + 32), " -45.6");
  s.driver->menu(IdS0 + 6);  // sｻｲﾝ: 5, 0, -3
  EXPECT_EQ(s.codeAt(0), 1001);
  EXPECT_EQ(s.codeAt(2), 1002);
  EXPECT_EQ(s.at(412, 32 + 32), "     -3");
}

TEST_F(RankingDisplay, ShortAndEmptyTables) {
  std::vector<RankingRow> rows;
  for (int i = 0; i < 5; ++i) rows.push_back(makeRow(static_cast<float>(3000 + i), 10, i));
  write(rankingtest::fileWith(rows));
  Screen s;
  s.driver->menu(IdBunhyoji1);
  EXPECT_EQ(s.rowsDrawn(), 5);
  EXPECT_EQ(s.at(40, 32), "   5");
  EXPECT_EQ(s.at(40, 32 + 64), "   1");
  for (int id : {IdMigi, IdSita, IdSaigo, IdUe, IdHidari}) {
    s.driver->menu(id);
    EXPECT_EQ(s.codeAt(0), 3000) << id;
    EXPECT_EQ(s.rowsDrawn(), 5) << id;
  }

  write(rankingtest::fileWith({}));
  s.driver->menu(IdBunhyoji1);
  EXPECT_EQ(s.rowsDrawn(), 0);
  EXPECT_EQ(s.at(16, 0), "［ペリノ改Ｃ］ 指定は991229と000105本日比較");
  s.driver->menu(IdSaigo);
  EXPECT_EQ(s.rowsDrawn(), 0);
}

TEST_F(RankingDisplay, MalformedLinesAndALongerTitleAreReadByLines) {
  const std::string title =
      pelinor::text::toCp932("［ペリノ改Ｃ］ 指定は1.23457e+06と000105本日比較\n\n");
  std::string text = title + dbprogram::rankingHeader();
  text += dbprogram::rankingLine(1, 4, makeRow(1302, 200, 2));
  text += "garbage that is not a row\n";
  text += "   2    3 1303 ABC\n";  // cut short
  text += "\n";
  text += dbprogram::rankingLine(3, 2, makeRow(1301, 100, 1));
  text += "   4    1 1304    XYZ   300   1.0   2.0   3.0   4.0      5   6.0   7.0   x.0\n";
  text += "   5    1  nan    XYZ   300   1.0   2.0   3.0   4.0      5   6.0   7.0   8.0\n";
  write(text);
  Screen s;
  s.driver->menu(IdBunhyoji1);
  EXPECT_EQ(s.rowsDrawn(), 2);
  EXPECT_EQ(s.codeAt(0), 1301);
  EXPECT_EQ(s.codeAt(1), 1302);
  EXPECT_EQ(s.at(40, 32), "   2");
  EXPECT_EQ(s.at(16, 0), "［ペリノ改Ｃ］ 指定は1.23457e+06と000105本日比較");
  EXPECT_EQ(s.window().titleText, title);
  EXPECT_EQ(s.window().headerText, dbprogram::rankingHeader());

  dbprogram::RankingFileContents c = dbprogram::parseRankingFile(text);
  EXPECT_EQ(c.rows.size(), 2u);
  EXPECT_EQ(c.skippedLines, 4);
}

TEST_F(RankingDisplay, AFileOfMoreRowsThanTheArrayHoldsIsCut) {
  std::vector<RankingRow> rows;
  for (int i = 0; i < 2500; ++i) rows.push_back(makeRow(static_cast<float>(1000 + i), 10, 0));
  const std::string text = rankingtest::fileWith(rows);
  EXPECT_EQ(dbprogram::parseRankingFile(text).droppedRows, 101);
  write(text);
  Screen s;
  s.driver->menu(IdBunhyoji1);
  EXPECT_EQ(s.window().rowCount, 2399);
  s.driver->menu(IdSaigo);
  EXPECT_EQ(s.at(0, 32 + 16 * 27), "2399");
  EXPECT_EQ(s.at(40, 32 + 16 * 27), "   1");
  EXPECT_EQ(s.codeAt(27), 3398);
}

TEST_F(RankingDisplay, SecondGroupAndAMissingFile) {
  write(rankingtest::fileWith({makeRow(6501, 100, 0)}), "ranking2.dat");
  Screen s;
  s.driver->menu(IdBunhyoji2);
  EXPECT_EQ(s.codeAt(0), 6501);
  EXPECT_EQ(s.texts().front().text, "東証２部（大証外国）読み込み処理中(^^;");
  EXPECT_FALSE(s.driver->closed());

  s.driver->menu(IdBunhyoji1);  // no ranking.dat
  ASSERT_EQ(s.driver->messageBoxes().size(), 2u);  // the first says the folder has no database
  EXPECT_EQ(s.driver->messageBoxes()[1], "[ﾌｧｲﾙ存在状況] ranking.dat が存在しません");
  EXPECT_TRUE(s.driver->closed());
}

}  // namespace
