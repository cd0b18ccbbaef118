// Stores that succeed: the exact lines of pelinoru.idx and pelinoru.sys and the day records at
// their byte offsets in pelinoru.dat.
#include <string>

#include "tests/dbprogram/store_fixture.h"

namespace storetest {
namespace {

using dbprogram::StoreLineKind;
using dbprogram::StoreResult;
using testsupport::readFile;

const std::string A = "AAAAAAAAAAAAAA";
const std::string B = "BBBBBBBBBBBBBB";

TEST_F(StoreTest, FirstStoreIntoAnEmptyDatabase) {
  const std::string daily = dailyLine(A, "1000", "1010", "990", "1005", "5", "12345", "991230",
                                      "801", "72030") +
                            dailyLine(B, "2000.9", "2100", "1900", "2050", "-50.7", "500.5",
                                      "991230", "811", "67580");
  ASSERT_EQ(store("W991230", daily), StoreResult::Stored);

  // Sorted by code; A came first in the file and got record slot 0, B slot 1.
  // kchumoku of B: 100 * -50 / (2050 + 50) = -2.38 -> -2; of A: 500 / 1000 -> 0.
  const auto idx = fileLines("pelinoru.idx");
  ASSERT_EQ(idx.size(), 2u);
  EXPECT_EQ(idx[0], "0 3 6758 BBBBBBBBBBBBBB    1  -2");
  EXPECT_EQ(idx[1], "0 1 7203 AAAAAAAAAAAAAA    0   0");
  EXPECT_EQ(sysLine1(), "   0 991230    0   1");
  // The colour and period lines are written back as they were.
  EXPECT_EQ(fileLines("pelinoru.sys").size(), 3u);

  const std::string dat = readFile("pelinoru.dat");
  ASSERT_EQ(dat.size(), 2u * 11520u);
  EXPECT_EQ(datRecord(0, 1), recordBytes(991230, 1000, 1010, 990, 1005, 5, 12345));
  EXPECT_EQ(datRecord(1, 1), recordBytes(991230, 2000, 2100, 1900, 2050, -50, 500.5f));
  // Every other record of both blocks is empty.
  std::size_t nonZero = 0;
  for (char c : dat) nonZero += c != 0;
  std::size_t inRecords = 0;
  for (char c : datRecord(0, 1) + datRecord(1, 1)) inRecords += c != 0;
  EXPECT_EQ(nonZero, inRecords);

  const auto* progress = captured.find(StoreLineKind::Progress);
  ASSERT_NE(progress, nullptr);
  EXPECT_EQ(progress->text, "格納中991230位置  1");
  EXPECT_EQ(progress->y, 112);
  const auto* done = captured.find(StoreLineKind::Completed);
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(done->text,
            "正常に格納処理終了しました。時々pelinoru.(sys idx dat win)をﾊﾞｯｸｱｯﾌﾟしましょう");
  EXPECT_EQ(done->colour, RGB(255, 255, 255));
  EXPECT_EQ(done->y, 144);
  EXPECT_EQ(captured.bells, 0);
}

TEST_F(StoreTest, TwoDatesAdvanceThePositionTwiceAndAMissingStockKeepsItsSlot) {
  const std::string first =
      dailyLine(A, "100", "110", "90", "105", "5", "10", "991228", "801", "72030") +
      dailyLine(B, "200", "210", "190", "205", "5", "20", "991228", "801", "67580") +
      dailyLine(A, "101", "111", "91", "106", "1", "11", "991229", "801", "72030") +
      dailyLine(B, "201", "211", "191", "206", "1", "21", "991229", "801", "67580");
  ASSERT_EQ(store("W991229", first), StoreResult::Stored);
  EXPECT_EQ(sysLine1(), "   0 991229    0   2");
  EXPECT_EQ(datRecord(0, 1), recordBytes(991228, 100, 110, 90, 105, 5, 10));
  EXPECT_EQ(datRecord(0, 2), recordBytes(991229, 101, 111, 91, 106, 1, 11));
  EXPECT_EQ(datRecord(1, 1), recordBytes(991228, 200, 210, 190, 205, 5, 20));
  EXPECT_EQ(datRecord(1, 2), recordBytes(991229, 201, 211, 191, 206, 1, 21));
  int progressLines = 0;
  for (const auto& l : captured.lines) progressLines += l.kind == StoreLineKind::Progress;
  EXPECT_EQ(progressLines, 2);

  // B is missing from the next day: its slot 3 gets an empty record, slot 2 is kept, and its
  // percentage change is reset.
  ASSERT_EQ(store("W991230", dailyLine(A, "102", "112", "92", "110", "10", "12", "991230", "801",
                                       "72030")),
            StoreResult::Stored);
  EXPECT_EQ(sysLine1(), "   0 991230    0   3");
  EXPECT_EQ(datRecord(0, 3), recordBytes(991230, 102, 112, 92, 110, 10, 12));
  EXPECT_EQ(datRecord(1, 3), std::string(18, '\0'));
  EXPECT_EQ(datRecord(1, 2), recordBytes(991229, 201, 211, 191, 206, 1, 21));
  const auto idx = fileLines("pelinoru.idx");
  ASSERT_EQ(idx.size(), 2u);
  EXPECT_EQ(idx[0], "0 1 6758 BBBBBBBBBBBBBB    1   0");
  EXPECT_EQ(idx[1], "0 1 7203 AAAAAAAAAAAAAA    0  10");  // 100 * 10 / 100
  EXPECT_EQ(readFile("pelinoru.dat").size(), 2u * 11520u);
}

// One file of 641 dates comes round to its first ring position again: B, which traded only on
// the first date, must not keep that day beside A's 641st.
TEST_F(StoreTest, AFileOfMoreThanARingOfDatesLeavesNoDayOfItsOwnFirstLap) {
  std::string daily = dailyLine(B, "7", "7", "7", "7", "0", "7", "900000", "801", "67580");
  for (int d = 0; d < 641; ++d)
    daily += dailyLine(A, "5", "5", "5", "5", "0", std::to_string(d + 1),
                       std::to_string(900000 + d), "801", "72030");
  ASSERT_EQ(store("W900640", daily), StoreResult::Stored);
  EXPECT_EQ(sysLine1(), "   0 900640    0   1");
  EXPECT_EQ(datRecord(1, 1), recordBytes(900640, 5, 5, 5, 5, 0, 641));  // A
  EXPECT_EQ(datRecord(0, 1), std::string(18, '\0'));                     // B
  EXPECT_EQ(datRecord(1, 2), recordBytes(900001, 5, 5, 5, 5, 0, 2));
}

TEST_F(StoreTest, NameAndSectionFollowTheNewestFileWhileTheDeletionFlagIsCarried) {
  ASSERT_EQ(store("W991229", dailyLine(A, "1", "1", "1", "1", "0", "1", "991229", "801", "72030") +
                                 dailyLine(B, "1", "1", "1", "1", "0", "1", "991229", "801",
                                           "67580")),
            StoreResult::Stored);
  // A deletion flag set in the file by hand is carried through the next store.
  testsupport::writeFile("pelinoru.idx",
                         "0 1 6758 BBBBBBBBBBBBBB    1   0\n1 1 7203 AAAAAAAAAAAAAA    0   0\n");
  // A moves to section 3 (market 811) under a new name; B's market 820 is accepted but is none
  // of the six, so its section stays.
  ASSERT_EQ(store("W991230",
                  dailyLine("ZZZZZZZZZZZZZZ", "1", "1", "1", "1", "0", "1", "991230", "811",
                            "72030") +
                      dailyLine("YYYYYYYYYYYYYY", "1", "1", "1", "1", "0", "1", "991230", "820",
                                "67580")),
            StoreResult::Stored);
  const auto idx = fileLines("pelinoru.idx");
  ASSERT_EQ(idx.size(), 2u);
  EXPECT_EQ(idx[0], "0 1 6758 YYYYYYYYYYYYYY    1   0");
  EXPECT_EQ(idx[1], "1 3 7203 ZZZZZZZZZZZZZZ    0   0");
}

TEST_F(StoreTest, ANewCodeTwiceInOneFileIsAddedOnceAndNewSlotsFollowTheLargest) {
  const std::string daily =
      dailyLine(A, "100", "100", "100", "100", "0", "1", "991230", "801", "72030") +
      dailyLine(B, "200", "200", "200", "200", "0", "2", "991230", "801", "67580") +
      dailyLine(A, "300", "300", "300", "300", "0", "3", "991230", "801", "72030");
  ASSERT_EQ(store("W991230", daily), StoreResult::Stored);
  auto idx = fileLines("pelinoru.idx");
  ASSERT_EQ(idx.size(), 2u);
  EXPECT_EQ(idx[1], "0 1 7203 AAAAAAAAAAAAAA    0   0");
  // The second line of A overwrote the first in the same slot.
  EXPECT_EQ(datRecord(0, 1), recordBytes(991230, 300, 300, 300, 300, 0, 3));

  // Slots are never reused and handed out in turn: the next new stock gets slot 2.
  ASSERT_EQ(store("W991231", dailyLine("CCCCCCCCCCCCCC", "5", "5", "5", "5", "0", "5", "991231",
                                       "801", "13010")),
            StoreResult::Stored);
  idx = fileLines("pelinoru.idx");
  ASSERT_EQ(idx.size(), 3u);
  EXPECT_EQ(idx[0], "0 1 1301 CCCCCCCCCCCCCC    2   0");
  EXPECT_EQ(datRecord(2, 2), recordBytes(991231, 5, 5, 5, 5, 0, 5));
  EXPECT_EQ(readFile("pelinoru.dat").size(), 3u * 11520u);
}

TEST_F(StoreTest, PercentageChangeIsTruncatedTowardZero) {
  const std::string daily =
      // volume 0: 0 whatever the change
      dailyLine("C1000000000000", "1", "1", "1", "105", "5", "0", "991230", "801", "10010") +
      // close equal to change (previous close 0): 0
      dailyLine("C2000000000000", "1", "1", "1", "5", "5", "9", "991230", "801", "10020") +
      // 100 * -7 / 197 = -3.55 -> -3 (not -4)
      dailyLine("C3000000000000", "1", "1", "1", "190", "-7", "9", "991230", "801", "10030") +
      // 100 * 7 / 293 = 2.39 -> 2
      dailyLine("C4000000000000", "1", "1", "1", "300", "7", "9", "991230", "801", "10040") +
      // the integer values count: 100 * 9 / 91 = 9.89 -> 9 (not 10.9 / 90.1)
      dailyLine("C5000000000000", "1", "1", "1", "100.9", "9.9", "9", "991230", "801", "10050");
  ASSERT_EQ(store("W991230", daily), StoreResult::Stored);
  const auto idx = fileLines("pelinoru.idx");
  ASSERT_EQ(idx.size(), 5u);
  EXPECT_EQ(idx[0], "0 1 1001 C1000000000000    0   0");
  EXPECT_EQ(idx[1], "0 1 1002 C2000000000000    1   0");
  EXPECT_EQ(idx[2], "0 1 1003 C3000000000000    2  -3");
  EXPECT_EQ(idx[3], "0 1 1004 C4000000000000    3   2");
  EXPECT_EQ(idx[4], "0 1 1005 C5000000000000    4   9");
}

TEST_F(StoreTest, TheRingWrapsFrom639ToZero) {
  ASSERT_EQ(store("W991229", dailyLine(A, "1", "1", "1", "1", "0", "1", "991229", "801", "72030")),
            StoreResult::Stored);
  setStoreState(991229, 639);
  ASSERT_EQ(store("W991230", dailyLine(A, "7", "8", "6", "7", "1", "2", "991230", "801", "72030")),
            StoreResult::Stored);
  EXPECT_EQ(sysLine1(), "   0 991230    0   0");
  EXPECT_EQ(datRecord(0, 0), recordBytes(991230, 7, 8, 6, 7, 1, 2));
  EXPECT_EQ(captured.find(StoreLineKind::Progress)->text, "格納中991230位置  0");
}

TEST_F(StoreTest, TheCenturyChangeIsStoredInOrder) {
  ASSERT_EQ(store("W991230", dailyLine(A, "1", "1", "1", "1", "0", "1", "991230", "801", "72030")),
            StoreResult::Stored);
  ASSERT_EQ(store("W000104", dailyLine(A, "2", "2", "2", "2", "1", "1", "000104", "801", "72030")),
            StoreResult::Stored);
  EXPECT_EQ(sysLine1(), "   0    104    0   2");
  EXPECT_EQ(datRecord(0, 2), recordBytes(104, 2, 2, 2, 2, 1, 1));
  EXPECT_EQ(captured.find(StoreLineKind::Progress)->text, "格納中000104位置  2");
  // And 991231 is now older than the last stored date.
  EXPECT_EQ(store("W991231", dailyLine(A, "1", "1", "1", "1", "0", "1", "991231", "801", "72030")),
            StoreResult::Refused);
}

TEST_F(StoreTest, AnNDatabaseStoresTheSameWay) {
  for (const char* name : {"pelinoru.sys", "pelinoru.win", "pelinoru.idx", "pelinoru.dat"})
    std::filesystem::remove(name);
  initDatabase("N");
  EXPECT_NE(readFile("pelinoru.win").find("\n1 0 0 0 "), std::string::npos);
  ASSERT_EQ(store("N991230", dailyLine(A, "1", "1", "1", "1", "0", "1", "991230", "814", "72030")),
            StoreResult::Stored);
  EXPECT_EQ(fileLines("pelinoru.idx")[0], "0 6 7203 AAAAAAAAAAAAAA    0   0");
}

}  // namespace
}  // namespace storetest
