// Daily files that are refused change none of the four database files.
#include <filesystem>
#include <string>

#include "marketdb/files.h"
#include "tests/dbprogram/store_fixture.h"

namespace storetest {
namespace {

using dbprogram::StoreLineKind;
using dbprogram::StoreResult;

const std::string A = "AAAAAAAAAAAAAA";
const std::string B = "BBBBBBBBBBBBBB";

class StoreRefusalTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    // A database holding one day (991230) of two stocks.
    ASSERT_EQ(store("W991230",
                    dailyLine(A, "100", "110", "90", "105", "5", "10", "991230", "801", "72030") +
                        dailyLine(B, "200", "210", "190", "205", "5", "20", "991230", "801",
                                  "67580")),
              StoreResult::Stored);
    before = Snapshot::take();
  }
  // Stores `contents` and expects a refusal that left every file as it was, shown in red with
  // the bell.
  void expectRefused(const std::string& name, const std::string& contents) {
    EXPECT_EQ(store(name, contents), StoreResult::Refused);
    EXPECT_TRUE(Snapshot::take() == before) << "a database file changed";
    EXPECT_EQ(captured.bells, 1);
    const auto* refusal = captured.find(StoreLineKind::Refusal);
    ASSERT_NE(refusal, nullptr);
    EXPECT_EQ(refusal->colour, Red);
    EXPECT_EQ(captured.find(StoreLineKind::Progress), nullptr);
    EXPECT_EQ(captured.find(StoreLineKind::Completed), nullptr);
  }
  const CapturedOutput::Line& lastLine() const { return captured.lines.back(); }

  Snapshot before;
  const std::string malformedMessage =
      "入力株価データが異常です、ﾃﾞｰﾀﾍﾞｰｽは変更せずに異常処理終了しました。";
};

TEST_F(StoreRefusalTest, AMissingDailyFile) {
  captured = CapturedOutput();
  EXPECT_EQ(dbprogram::storeDailyFile("W991231", captured), StoreResult::Refused);
  EXPECT_TRUE(Snapshot::take() == before);
  ASSERT_EQ(captured.lines.size(), 1u);
  // The file and the folder it was looked for in are named.
  EXPECT_EQ(lastLine().text,
            "目的のW991231ﾌｧｲﾙが" + std::filesystem::current_path().string() + "にありません");
  EXPECT_EQ(lastLine().y, 112);
  EXPECT_EQ(lastLine().colour, Red);
  EXPECT_EQ(captured.bells, 1);
  // A folder of that name is no daily file either, and the line says so.
  std::filesystem::create_directory("W991231");
  captured = CapturedOutput();
  EXPECT_EQ(dbprogram::storeDailyFile("W991231", captured), StoreResult::Refused);
  EXPECT_EQ(lastLine().text, "W991231 はﾌｫﾙﾀﾞで、日々株価ﾌｧｲﾙではないので格納処理しません");
}

TEST_F(StoreRefusalTest, DatesNotLaterThanTheLastStore) {
  expectRefused("W991230",
                dailyLine(A, "1", "1", "1", "1", "0", "1", "991230", "801", "72030"));
  EXPECT_EQ(lastLine().text, "今回格納日付991230が前回格納日付991230より後でないので格納処理しません");
  EXPECT_EQ(lastLine().y, 112);
  expectRefused("W991229",
                dailyLine(A, "1", "1", "1", "1", "0", "1", "991229", "801", "72030"));
  // A refusal further down the file still writes nothing of the lines before it.
  expectRefused("W991231",
                dailyLine(A, "1", "1", "1", "1", "0", "1", "991231", "801", "72030") +
                    dailyLine(B, "1", "1", "1", "1", "0", "1", "991229", "801", "67580"));
  EXPECT_EQ(lastLine().text, "今回格納日付991229が前回格納日付991231より後でないので格納処理しません");
}

TEST_F(StoreRefusalTest, DatesThatDoNotAscendWithinTheFile) {
  // 991231 is later than the last store, but not later than the file's previous date 000104.
  expectRefused("W000104",
                dailyLine(A, "1", "1", "1", "1", "0", "1", "000104", "801", "72030") +
                    dailyLine(B, "1", "1", "1", "1", "0", "1", "991231", "801", "67580"));
  EXPECT_EQ(lastLine().text, "今回格納日付991231が前回格納日付000104より後でないので格納処理しません");
  // Going back to an earlier date of the same file is refused as well.
  expectRefused("W991231",
                dailyLine(A, "1", "1", "1", "1", "0", "1", "991231", "801", "72030") +
                    dailyLine(A, "1", "1", "1", "1", "0", "1", "000104", "801", "72030") +
                    dailyLine(B, "1", "1", "1", "1", "0", "1", "991231", "801", "67580"));
}

TEST_F(StoreRefusalTest, AMalformedLineInTheMiddleIsEchoedWithTheLastConvertedValues) {
  expectRefused("W991231",
                dailyLine(A, "1000", "1010", "990", "1005", "5", "12345", "991231", "801",
                          "72030") +
                    "\"CCCCCCCCCCCCCC\",1,2,3\n" +
                    dailyLine(B, "1", "1", "1", "1", "0", "1", "991231", "801", "67580"));
  ASSERT_GE(captured.lines.size(), 2u);
  const auto& echo = captured.lines[captured.lines.size() - 2];
  // The name of the failing line; prices, volume, date, market and code as the previous line
  // left them.
  EXPECT_EQ(echo.text, "CCCCCCCCCCCCCC 1000 1010  990 1005    5  12345 991231 801  7203");
  EXPECT_EQ(echo.y, 144);
  EXPECT_EQ(echo.colour, Red);
  EXPECT_EQ(lastLine().text, malformedMessage);
  EXPECT_EQ(lastLine().y, 176);
}

TEST_F(StoreRefusalTest, ALineCutShortAtTheVeryEnd) {
  expectRefused("W991231",
                dailyLine(A, "1", "1", "1", "1", "0", "1", "991231", "801", "72030") +
                    "\"BBBBBBBBBBBBBB\",1,1,1,1,0,1,991231,801");
  EXPECT_EQ(lastLine().text, malformedMessage);
  // Even a lone opening mark is a line that started.
  expectRefused("W991231",
                dailyLine(A, "1", "1", "1", "1", "0", "1", "991231", "801", "72030") + "\"");
}

TEST_F(StoreRefusalTest, DatesThatAreNoDate) {
  // Date 0 would otherwise skip the date test and overwrite the newest stored day.
  expectRefused("W991231", dailyLine(A, "1", "1", "1", "1", "0", "1", "0", "801", "72030"));
  EXPECT_EQ(lastLine().text, malformedMessage);
  expectRefused("W991231",
                dailyLine(A, "1", "1", "1", "1", "0", "1", "991231.5", "801", "72030"));
  // Inside the range and later than the last store, but not a whole date.
  expectRefused("W991231",
                dailyLine(A, "1", "1", "1", "1", "0", "1", "991230.5", "801", "72030"));
  EXPECT_EQ(lastLine().text, malformedMessage);
  expectRefused("W991231", dailyLine(A, "1", "1", "1", "1", "0", "1", "100", "801", "72030"));
  expectRefused("W991231", dailyLine(A, "1", "1", "1", "1", "0", "1", "991232", "801", "72030"));
  expectRefused("W991231", dailyLine(A, "1", "1", "1", "1", "0", "1", "nan", "801", "72030"));
}

TEST_F(StoreRefusalTest, AStorePositionOutsideTheRing) {
  for (int position : {640, -1}) {
    SCOPED_TRACE(position);
    marketdb::SystemFile sys;
    ASSERT_EQ(marketdb::readSystemFile(sys), marketdb::FileStatus::Ok);
    sys.storePosition = position;
    ASSERT_EQ(marketdb::writeSystemFile(sys), marketdb::FileStatus::Ok);
    before = Snapshot::take();
    expectRefused("W991231",
                  dailyLine(A, "1", "1", "1", "1", "0", "1", "991231", "801", "72030"));
    EXPECT_EQ(lastLine().text, "pelinoru.sys の格納位置" + std::to_string(position) +
                                   "が異常なので格納処理しません");
  }
}

TEST_F(StoreRefusalTest, AFileWithoutAnyLine) {
  expectRefused("W991231", "");
  expectRefused("W991231", " \n\n\t\n");
}

TEST_F(StoreRefusalTest, AMissingDatabaseFileIsAMessageBox) {
  for (const char* name : {"pelinoru.idx", "pelinoru.dat", "pelinoru.sys"}) {
    SCOPED_TRACE(name);
    const std::string saved = testsupport::readFile(name);
    std::filesystem::remove(name);
    EXPECT_EQ(store("W991231",
                    dailyLine(A, "1", "1", "1", "1", "0", "1", "991231", "801", "72030")),
              StoreResult::Failed);
    ASSERT_EQ(captured.messages.size(), 1u);
    EXPECT_EQ(captured.messages[0], std::string("[ﾌｧｲﾙ存在状況] ") + name + " が存在しません");
    EXPECT_FALSE(std::filesystem::exists(name)) << "the missing file was created";
    testsupport::writeFile(name, saved);
    EXPECT_TRUE(Snapshot::take() == before);
  }
}

}  // namespace
}  // namespace storetest
