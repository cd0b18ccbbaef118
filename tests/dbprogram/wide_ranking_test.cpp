// The ranking files of a wide database: the title with full dates, the code column of four
// characters, prices above 32,767, reading back, the row limit of the record slots, and the
// display's chart-link output into pelwide.win.
#include <gtest/gtest.h>

#include <cstring>

#include "dbprogram/analysis.h"
#include "dbprogram/batch.h"
#include "marketdb/wide_text.h"
#include "platform/text/cp932.h"
#include "tests/dbprogram/ranking_screen.h"
#include "tests/support/test_support.h"

namespace {

using dbprogram::RankingRow;
using marketdb::codeFromText;
const marketdb::DatabaseLayout& Wide = marketdb::WideLayout;

RankingRow row(const char* code, int close, int rise, int sign) {
  RankingRow r;
  r.code = codeFromText(code);
  std::memcpy(r.name, "ABC", 4);
  r.close = close, r.riseRate = rise, r.volumeChange = 1600, r.rci3 = -456, r.deviation2 = 142;
  r.sign = sign, r.rebound = 500, r.range = 40, r.sinceDate = 1200;
  return r;
}
const std::vector<RankingRow> Rows = {row("130A", 45000, 46, 75), row("7203", 2500, -3, -2)};

TEST(WideRanking, FileTextByteForByteAndBack) {
  const std::string text = dbprogram::rankingFileText(
      dbprogram::rankingTitle(20240105, 20241227, Wide), dbprogram::rankingHeader(), Rows.data(), 2, Wide);
  EXPECT_EQ(text, SJ("［ペリノ改Ｃ］ 指定は20240105と20241227本日比較\n\n") + dbprogram::rankingHeader() +
                      "   1    2 130A    ABC 45000   4.6 160.0 -45.6  14.2   75.0  50.0   4.0 120.0\n"
                      "   2    1 7203    ABC  2500  -0.3 160.0 -45.6  14.2   -2.0  50.0   4.0 120.0\n");
  EXPECT_EQ(dbprogram::rankingTitle(0, 20241227, Wide),
            SJ("［ペリノ改Ｃ］ 指定は00000000と20241227本日比較\n\n"));
  const dbprogram::RankingFileContents back = dbprogram::parseRankingFile(text, Wide);
  ASSERT_EQ(back.rows.size(), 2u);
  EXPECT_EQ(back.rows[0].code, codeFromText("130A"));
  EXPECT_EQ(back.rows[0].close, 45000);

  // A code column that is no code of the kind is passed over; a group holds at most one row per
  // record slot of the price file.
  const std::string head = "t\n\n" + dbprogram::rankingHeader(), tail = " ABC 1 0 0 0 0 0 0 0 0\n";
  for (const auto& [code, wide, classic] :
       {std::tuple{"130A", 1u, 0u}, {"1301", 1u, 1u}, {"130B", 0u, 0u}, {"13A0", 0u, 0u},
        {"130A0", 0u, 0u}, {"1301.0", 0u, 1u}}) {
    const std::string one = head + "1 1 " + code + tail;
    EXPECT_EQ(dbprogram::parseRankingFile(one, Wide).rows.size(), wide) << code;
    EXPECT_EQ(dbprogram::parseRankingFile(one, marketdb::ClassicLayout).rows.size(), classic) << code;
  }
  const dbprogram::RankingFileContents three =
      dbprogram::parseRankingFile(head + "1 1 1301" + tail + "1 1 130A" + tail + "1 1 1310" + tail +
                                      "1 1 2000" + tail, marketdb::wideLayout(3));
  EXPECT_EQ(three.rows.size(), 3u);
  EXPECT_EQ(three.droppedRows, 1);
}

TEST(WideRanking, DisplayAndChartLinkOutput) {
  testsupport::TempWorkDir dir;
  std::ostringstream said;
  ASSERT_EQ(dbprogram::runBatch({"init", "W", "--wide"}, said, said), 0);
  const std::vector<RankingRow> rows = {row("1301", 500, 1, 3), row("130A", 45000, 2, 9)};
  testsupport::writeFile("ranking.dat", dbprogram::rankingFileText("t\n\n", dbprogram::rankingHeader(),
                                                                   rows.data(), 2, Wide));
  rankingtest::Screen s;
  s.driver->menu(dbprogram::IdBunhyoji1);
  EXPECT_EQ(s.at(80, 48), "130A");
  s.driver->menu(dbprogram::IdS0 + 6);  // by the sign, descending
  s.driver->menu(dbprogram::IdBunsekiout);
  EXPECT_NE(testsupport::readFile("ranking.dat").find("   1    2 130A    ABC 45000"), std::string::npos);
  marketdb::WideSettings back;
  ASSERT_TRUE(marketdb::parseWideSettingsFile(testsupport::readFile(marketdb::WideSettingsFileName), back).ok);
  const marketdb::StockCode* link = back.codes + marketdb::ChartLinkFirst;
  EXPECT_EQ(std::vector<marketdb::StockCode>(link, link + 3),
            (std::vector<marketdb::StockCode>{codeFromText("130A"), codeFromText("1301"), 0}));
}

}  // namespace
