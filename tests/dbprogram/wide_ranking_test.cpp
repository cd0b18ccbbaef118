// The ranking files of a wide database: the title with full dates, the code column of four
// characters, prices above 32,767, reading back, and the row limit of the record slots.
#include <gtest/gtest.h>

#include <cstring>

#include "dbprogram/analysis.h"
#include "marketdb/exchange_text.h"
#include "platform/text/cp932.h"

namespace {

using dbprogram::RankingRow;
using marketdb::codeFromText;

RankingRow row(const char* code, int close, int rise, int sign) {
  RankingRow r;
  r.code = codeFromText(code);
  std::memcpy(r.name, "ABC", 4);
  r.close = close;
  r.riseRate = rise;
  r.volumeChange = 1600;
  r.rci3 = -456;
  r.deviation2 = 142;
  r.sign = sign;
  r.rebound = 500;
  r.range = 40;
  r.sinceDate = 1200;
  return r;
}

TEST(WideRanking, FileTextByteForByte) {
  const marketdb::DatabaseLayout& wide = marketdb::WideLayout;
  const std::vector<RankingRow> rows = {row("130A", 45000, 46, 75), row("7203", 2500, -3, -2)};
  const std::string text =
      dbprogram::rankingFileText(dbprogram::rankingTitle(20240105, 20241227, wide),
                                 dbprogram::rankingHeader(), rows.data(), 2, wide);
  const std::string first =
      "   1    2 130A    ABC 45000   4.6 160.0 -45.6  14.2   75.0  50.0   4.0 120.0\n";
  const std::string wanted =
      SJ("［ペリノ改Ｃ］ 指定は20240105と20241227本日比較\n\n") + dbprogram::rankingHeader() +
      first + "   2    1 7203    ABC  2500  -0.3 160.0 -45.6  14.2   -2.0  50.0   4.0 120.0\n";
  EXPECT_EQ(text, wanted);
  // No comparison date prints eight zeros; the line of the slow path is the same text.
  EXPECT_EQ(dbprogram::rankingTitle(0, 20241227, wide),
            SJ("［ペリノ改Ｃ］ 指定は00000000と20241227本日比較\n\n"));
  EXPECT_EQ(dbprogram::rankingLine(1, 2, rows[0], wide), first);

  // Read back: every value, the letter code in code order before the next all-digit code.
  const dbprogram::RankingFileContents back = dbprogram::parseRankingFile(text, wide);
  ASSERT_EQ(back.rows.size(), 2u);
  EXPECT_EQ(back.skippedLines, 0);
  EXPECT_EQ(back.rows[0].code, codeFromText("130A"));
  EXPECT_EQ(back.rows[0].close, 45000);
  EXPECT_EQ(back.rows[0].riseRate, 46);
  EXPECT_EQ(back.rows[1].sign, -2);
  EXPECT_EQ(back.title + back.header, text.substr(0, back.title.size() + back.header.size()));
}

// A code column that is not a code of the kind is passed over, and a group holds at most one row
// per record slot of the price file.
TEST(WideRanking, CodeColumnAndRowLimit) {
  const std::string head = SJ("title\n\n") + dbprogram::rankingHeader();
  const char* tail = "    ABC  2500   0.0   0.0   0.0   0.0    0.0   0.0   0.0   0.0\n";
  const struct {
    const char* code;
    bool wide, classic;
  } cases[] = {{"130A", true, false}, {"1301", true, true},  {"130B", false, false},
               {"0130", false, false}, {"13A0", false, false}, {"130A0", false, false},
               {"1301.0", false, true}, {"999", false, false}};
  for (const auto& c : cases) {
    const std::string text = head + "   1    1 " + c.code + tail;
    EXPECT_EQ(dbprogram::parseRankingFile(text, marketdb::WideLayout).rows.size(), c.wide ? 1u : 0u)
        << c.code;
    EXPECT_EQ(dbprogram::parseRankingFile(text, marketdb::ClassicLayout).rows.size(),
              c.classic ? 1u : 0u)
        << c.code;
  }
  std::string five = head;
  for (const char* code : {"1301", "130A", "1310", "2000", "3000"})
    five += std::string("   1    1 ") + code + tail;
  const dbprogram::RankingFileContents three =
      dbprogram::parseRankingFile(five, marketdb::wideLayout(3));
  EXPECT_EQ(three.rows.size(), 3u);
  EXPECT_EQ(three.droppedRows, 2);
  EXPECT_EQ(marketdb::rankingRowLimit(marketdb::WideLayout), 10000);
  EXPECT_EQ(marketdb::rankingRowLimit(marketdb::ClassicLayout), 2399);
}

}  // namespace
