// The re-store setup driven as a user drives it: F6, a date and E; checked on the screen, the
// bell and pelinoru.sys byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "marketdb/files.h"
#include "platform/text/cp932.h"
#include "tests/dbprogram/settings_harness.h"
#include "tests/support/test_support.h"

namespace {

using settingstest::DbWindow;
using testsupport::readFile;
using testsupport::writeFile;

const std::string kColours = "11 14 7 12 11 9 10 13 14 11 15 12 10 14 13 12 11 15 9\n";
const std::string kPeriods = "200  25  75  13  26   5  25  75 128  13  22  32  12  18   5 260\n";
const std::string kSys = "   7 990108    0   5\n" + kColours + kPeriods;

// Reference record 0 holds the days 990104 .. 990108 in slots 1 .. 5 (slot 0 and the slots
// after 5 are empty); record 1 is another stock.
void writePriceFile(int blocks = 2) {
  marketdb::PriceFile f;
  ASSERT_TRUE(f.openForWriting());
  for (int slot = 0; slot < blocks; ++slot) {
    ASSERT_TRUE(f.initHistory(slot));
    for (int s = 1; s <= 5; ++s) {
      marketdb::DayRecord r;
      r.date = 19990103 + s;
      r.open = r.high = r.low = r.close = static_cast<std::int16_t>(1000 + 10 * s + slot);
      r.volume = 5000;
      ASSERT_TRUE(f.writeDay(slot, s, r));
    }
  }
  f.close();
}

class RestoreSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile("pelinoru.sys", kSys);
    writePriceFile();
  }
  void open(DbWindow& w, const std::string& keys = "") {
    w.menu(dbprogram::IdKakunonaosi);
    w.type(keys);
  }
  testsupport::TempWorkDir dir;
};

TEST_F(RestoreSetupTest, PromptShowsTheLastStoreDate) {
  DbWindow w;
  w.driver().key(VK_F6);
  EXPECT_TRUE(w.drewText(0, 16, "00FF00", "［ペリノ改Ｃ++］格納やり直し設定"));
  EXPECT_TRUE(w.drewText(0, 32, "C0C0C0", "*格納をやり直す２つの原因*"));
  EXPECT_TRUE(w.drewText(0, 48, "C0C0C0", "1格納を忘れてた。"));
  EXPECT_TRUE(w.drewText(0, 64, "C0C0C0",
                         " 対処→忘れた前日まで日付を戻し正しい格納を最新日付まで繰り返す"));
  EXPECT_TRUE(w.drewText(0, 80, "C0C0C0", "2格納したデータの修正。"));
  EXPECT_TRUE(w.drewText(
      0, 96, "C0C0C0", " 対処→修正日前日まで日付を戻し正しい１日分を格納後、最新前日日付に戻す"));
  EXPECT_TRUE(w.drewText(0, 128, "FF0000",
                         "前日日付990108に設定されてます(設定中止はﾒﾆｭｰﾊﾞｰへ戻る)"));
  EXPECT_TRUE(w.drewText(0, 150, "C0C0C0", "忘れた&修正の前日取引日日付(yymmddE)ﾒﾆｭｰﾊﾞｰより入力→"));
  EXPECT_EQ(w.textsAt(368, 150), 0);
  w.type("9901");
  EXPECT_TRUE(w.drewText(368, 150, "FFFF00", "9901"));
  w.type("C");
  EXPECT_TRUE(w.drew("fill 368 149 640 166 000000"));
  EXPECT_EQ(w.textsAt(368, 150), 0);
}

TEST_F(RestoreSetupTest, EarlierDayMovesTheStoreStateBack) {
  DbWindow w;
  const int bells = BellCount();
  open(w, "990106E");
  EXPECT_EQ(BellCount(), bells);
  EXPECT_TRUE(w.drewText(0, 182, "C0C0C0", "前日日付990106に設定しました。"));
  EXPECT_EQ(readFile("pelinoru.sys"), "   7 990106    0   3\n" + kColours + kPeriods);
  EXPECT_EQ(w.chart().entryScreen, 0);
  EXPECT_EQ(w.chart().screenMode, 0);
  // The ring itself is untouched.
  marketdb::PriceFile f;
  ASSERT_TRUE(f.openForReading());
  marketdb::DayRecord r;
  ASSERT_TRUE(f.readRecord(0, 5, r));
  EXPECT_EQ(r.date, 19990108);

  // The setup is over: a repaint neither repeats it nor rings.
  w.driver().paint();
  EXPECT_EQ(w.driver().recording().operations().size(), 1u);
  EXPECT_EQ(BellCount(), bells);
}

TEST_F(RestoreSetupTest, CurrentLastStoreDateChangesNothing) {
  DbWindow w;
  open(w, "990108E");
  EXPECT_TRUE(w.drewText(0, 182, "C0C0C0", "前日日付990108に設定しました。"));
  EXPECT_EQ(readFile("pelinoru.sys"), kSys);
}

TEST_F(RestoreSetupTest, DatesNotInTheReferenceRingAreRefused) {
  // A later day, a day older than the ring, a date that never was, nothing typed, and 0 (the
  // date of every empty slot).
  // A date that names no day (from 123456 on) says so and shows the form expected.
  const char* const entries[] = {"990109E", "981230E", "123456E", "E", "0E", "990231E"};
  for (const char* keys : entries) {
    SCOPED_TRACE(keys);
    const bool calendarDate = keys == entries[0] || keys == entries[1];
    DbWindow w;
    const int bells = BellCount();
    open(w, keys);
    EXPECT_EQ(BellCount(), bells + 1);
    const std::string date = pelinor::text::format("%06d", std::atoi(keys));
    EXPECT_TRUE(w.drewText(0, 182, "FF0000",
                           calendarDate
                               ? "前日日付が間違っています、格納やり直し設定はできませんでした。"
                               : "前日日付" + date +
                                     "は日付ではないので設定できません(yymmddで入力、例 261207)"));
    EXPECT_EQ(readFile("pelinoru.sys"), kSys);
    EXPECT_EQ(w.chart().screenMode, 0);
    EXPECT_EQ(w.chart().entryScreen, 0);
    EXPECT_TRUE(w.messageBoxes().empty());
  }
}

TEST_F(RestoreSetupTest, EighthKeyEmptiesTheLine) {
  DbWindow w;
  open(w, "1234567");
  EXPECT_TRUE(w.drewText(368, 150, "FFFF00", "1234567"));
  w.type("8");
  EXPECT_EQ(w.textsAt(368, 150), 0);
  // E on a full line only empties it as well: no search, no bell.
  const int bells = BellCount();
  w.type("1234567E");
  EXPECT_EQ(BellCount(), bells);
  EXPECT_EQ(w.chart().entryScreen, 60);
  EXPECT_EQ(w.textsAt(0, 182), 0);
  w.type("990105E");
  EXPECT_EQ(readFile("pelinoru.sys"), "   7 990105    0   2\n" + kColours + kPeriods);
}

TEST_F(RestoreSetupTest, HighestMatchingSlotWins) {
  marketdb::PriceFile f;
  ASSERT_TRUE(f.openForWriting());
  marketdb::DayRecord r;
  r.date = 19990105;
  r.close = 1;
  ASSERT_TRUE(f.writeDay(0, 600, r));
  f.close();
  DbWindow w;
  open(w, "990105E");
  EXPECT_EQ(readFile("pelinoru.sys"), "   7 990105    0 600\n" + kColours + kPeriods);
}

TEST_F(RestoreSetupTest, ReferenceRecordOutsideTheFileIsRefused) {
  writeFile("pelinoru.dat", "");  // a new, empty database
  DbWindow w;
  const int bells = BellCount();
  open(w, "990106E");
  EXPECT_EQ(BellCount(), bells + 1);
  EXPECT_TRUE(w.drewText(0, 182, "FF0000",
                         "前日日付が間違っています、格納やり直し設定はできませんでした。"));
  EXPECT_EQ(readFile("pelinoru.sys"), kSys);
  EXPECT_FALSE(w.closed());
}

TEST_F(RestoreSetupTest, MissingFilesCloseTheWindow) {
  {
    std::filesystem::remove("pelinoru.sys");
    DbWindow w;
    open(w);
    ASSERT_EQ(w.messageBoxes().size(), 1u);
    EXPECT_EQ(w.messageBoxes()[0], "[ﾌｧｲﾙ存在状況] pelinoru.sys が存在しません");
    EXPECT_TRUE(w.closed());
  }
  writeFile("pelinoru.sys", kSys);
  std::filesystem::remove("pelinoru.dat");
  DbWindow w;
  open(w, "990106E");
  ASSERT_EQ(w.messageBoxes().size(), 1u);
  EXPECT_EQ(w.messageBoxes()[0], "[ﾌｧｲﾙ存在状況] pelinoru.dat が存在しません");
  EXPECT_TRUE(w.closed());
  EXPECT_EQ(readFile("pelinoru.sys"), kSys);
}

TEST_F(RestoreSetupTest, UnwritableSystemFileClosesTheWindow) {
  DbWindow w;
  open(w, "9901");
  // A folder in the file's place cannot be replaced by a file.
  std::filesystem::remove("pelinoru.sys");
  std::filesystem::create_directory("pelinoru.sys");
  writeFile("pelinoru.sys/keep", "x");
  w.type("06E");
  ASSERT_EQ(w.messageBoxes().size(), 1u);
  EXPECT_EQ(w.messageBoxes()[0], "[ﾌｧｲﾙ存在状況] pelinoru.sys が出力できません");
  EXPECT_TRUE(w.closed());
  EXPECT_TRUE(std::filesystem::is_directory("pelinoru.sys"));
}

}  // namespace
