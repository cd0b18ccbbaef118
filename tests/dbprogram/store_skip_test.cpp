// Lines the store passes over while it goes on with the rest of the file.
#include <cstdio>
#include <string>

#include "tests/dbprogram/store_fixture.h"

namespace storetest {
namespace {

using dbprogram::StoreLineKind;
using dbprogram::StoreResult;

TEST_F(StoreTest, LinesOfOtherMarketsAndWithoutAStockCodeAreSkippedSilently) {
  const std::string daily =
      // A skipped line that carries a new date still advances the ring.
      dailyLine("INDEXXXXXXXXXX", "1", "1", "1", "1", "0", "1", "991229", "800", "10010") +
      dailyLine("LOWCODEXXXXXXX", "1", "1", "1", "1", "0", "1", "991230", "801", "9999") +
      dailyLine("HIGHCODEXXXXXX", "1", "1", "1", "1", "0", "1", "991230", "801", "100000") +
      dailyLine("HALFCODEXXXXXX", "1", "1", "1", "1", "0", "1", "991230", "801", "72035") +
      dailyLine("MARKETNANXXXXX", "1", "1", "1", "1", "0", "1", "991230", "nan", "10020") +
      dailyLine("KEPTXXXXXXXXXX", "5", "6", "4", "5", "1", "7", "991230", "801", "99990");
  ASSERT_EQ(store("W991230", daily), StoreResult::Stored);
  const auto idx = fileLines("pelinoru.idx");
  ASSERT_EQ(idx.size(), 1u);
  EXPECT_EQ(idx[0], "0 1 9999 KEPTXXXXXXXXXX    0  25");  // 100 * 1 / 4
  EXPECT_EQ(sysLine1(), "   0 991230    0   2");
  EXPECT_EQ(datRecord(0, 2), recordBytes(991230, 5, 6, 4, 5, 1, 7));
  EXPECT_EQ(datRecord(0, 1), std::string(18, '\0'));
  EXPECT_EQ(captured.find(StoreLineKind::Skipped), nullptr);
  EXPECT_EQ(captured.bells, 0);
}

TEST_F(StoreTest, PricesAreTestedAfterTruncationAndOutOfRangeLinesAreNamed) {
  const std::string daily =
      dailyLine("EDGEXXXXXXXXXX", "32767.9", "32767", "-32768.9", "0", "-32768", "1", "991230",
                "801", "10010") +
      dailyLine("OPENHIGHXXXXXX", "32768", "1", "1", "1", "0", "1", "991230", "801", "10020") +
      dailyLine("LOWLOWXXXXXXXX", "1", "1", "-32769", "1", "0", "1", "991230", "801", "10030") +
      dailyLine("CHANGEXXXXXXXX", "1", "1", "1", "1", "40000", "1", "991230", "801", "10040") +
      dailyLine("HUGEXXXXXXXXXX", "1", "1e30", "1", "1", "0", "1", "991230", "801", "10050") +
      dailyLine("NANXXXXXXXXXXX", "1", "1", "1", "nan", "0", "1", "991230", "801", "10060") +
      dailyLine("AFTERXXXXXXXXX", "9", "9", "9", "9", "0", "9", "991230", "801", "10070");
  ASSERT_EQ(store("W991230", daily), StoreResult::Stored);
  const auto idx = fileLines("pelinoru.idx");
  ASSERT_EQ(idx.size(), 2u);
  // close - change = 32768: 100 * -32768 / 32768 = -100
  EXPECT_EQ(idx[0], "0 1 1001 EDGEXXXXXXXXXX    0 -100");
  EXPECT_EQ(idx[1], "0 1 1007 AFTERXXXXXXXXX    1   0");
  EXPECT_EQ(datRecord(0, 1), recordBytes(991230, 32767, 32767, -32768, 0, -32768, 1));
  EXPECT_EQ(datRecord(1, 1), recordBytes(991230, 9, 9, 9, 9, 0, 9));

  std::vector<std::string> skipped;
  for (const auto& l : captured.lines) {
    if (l.kind != StoreLineKind::Skipped) continue;
    skipped.push_back(l.text);
    EXPECT_EQ(l.colour, Red);
    EXPECT_EQ(l.y, 176);
  }
  const std::vector<std::string> expected = {
      "価格が範囲外のため格納しません: ｺｰﾄﾞ1002", "価格が範囲外のため格納しません: ｺｰﾄﾞ1003",
      "価格が範囲外のため格納しません: ｺｰﾄﾞ1004", "価格が範囲外のため格納しません: ｺｰﾄﾞ1005",
      "価格が範囲外のため格納しません: ｺｰﾄﾞ1006"};
  EXPECT_EQ(skipped, expected);
  EXPECT_NE(captured.find(StoreLineKind::Completed), nullptr);
}

TEST_F(StoreTest, AFullStockTableRefusesNewCodesAndStoresTheRest) {
  // 3019 stocks, codes 1000..4018 in slots 0..3018.
  std::string idx;
  char buf[64];
  for (int i = 0; i < 3019; ++i) {
    std::snprintf(buf, sizeof buf, "0 1 %4d NNNNNNNNNNNNNN %4d   0\n", 1000 + i, i);
    idx += buf;
  }
  testsupport::writeFile("pelinoru.idx", idx);
  const std::string daily =
      dailyLine("NEWXXXXXXXXXXX", "1", "1", "1", "1", "0", "1", "991230", "801", "90000") +
      dailyLine("OLDXXXXXXXXXXX", "3", "3", "3", "3", "0", "3", "991230", "801", "40180") +
      dailyLine("NEW2XXXXXXXXXX", "1", "1", "1", "1", "0", "1", "991230", "801", "90010") +
      dailyLine("NEWXXXXXXXXXXX", "1", "1", "1", "1", "0", "1", "991230", "801", "90000");
  ASSERT_EQ(store("W991230", daily), StoreResult::Stored);
  const auto lines = fileLines("pelinoru.idx");
  ASSERT_EQ(lines.size(), 3019u);
  EXPECT_EQ(lines[3018], "0 1 4018 OLDXXXXXXXXXXX 3018   0");
  EXPECT_EQ(datRecord(3018, 1), recordBytes(991230, 3, 3, 3, 3, 0, 3));
  EXPECT_EQ(sysLine1(), "   0 991230    0   1");
  std::vector<std::string> refused;
  for (const auto& l : captured.lines)
    if (l.kind == StoreLineKind::Skipped) refused.push_back(l.text);
  // One line for the file, however many lines and days name the refused codes.
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0], "銘柄数が上限の3019なので新しい銘柄2件を追加しません: ｺｰﾄﾞ9000 9001");
}

TEST_F(StoreTest, TheLastFreeEntryOfTheTableIsStillUsed) {
  std::string idx;
  char buf[64];
  for (int i = 0; i < 3018; ++i) {
    std::snprintf(buf, sizeof buf, "0 1 %4d NNNNNNNNNNNNNN %4d   0\n", 1000 + i, i);
    idx += buf;
  }
  testsupport::writeFile("pelinoru.idx", idx);
  ASSERT_EQ(store("W991230",
                  dailyLine("NEWXXXXXXXXXXX", "1", "1", "1", "1", "0", "1", "991230", "801",
                            "90000") +
                      dailyLine("NEW2XXXXXXXXXX", "1", "1", "1", "1", "0", "1", "991230", "801",
                                "90010")),
            StoreResult::Stored);
  const auto lines = fileLines("pelinoru.idx");
  ASSERT_EQ(lines.size(), 3019u);
  EXPECT_EQ(lines[3018], "0 1 9000 NEWXXXXXXXXXXX 3018   0");
}

}  // namespace
}  // namespace storetest
