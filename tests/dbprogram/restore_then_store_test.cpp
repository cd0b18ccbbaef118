// Setting the store state back and storing the following day again: the day goes into the
// same ring slot it took the first time.
#include <gtest/gtest.h>

#include <string>

#include "marketdb/files.h"
#include "tests/dbprogram/settings_harness.h"
#include "tests/support/test_support.h"

namespace {

using settingstest::DbWindow;
using testsupport::readFile;
using testsupport::writeFile;

const std::string kColours = "11 14 7 12 11 9 10 13 14 11 15 12 10 14 13 12 11 15 9\n";
const std::string kPeriods = "200  25  75  13  26   5  25  75 128  13  22  32  12  18   5 260\n";
const std::string kZeros20 = "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";

TEST(RestoreThenStoreTest, StoredDayReturnsToItsSlot) {
  testsupport::TempWorkDir dir;
  writeFile("pelinoru.sys", "   0 990108    0   5\n" + kColours + kPeriods);
  std::string win = "0      0 0 0\n" + kColours + "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n" +
                    "0 0 0 0 10 40 30 20 15 10 10 30 15 20 1 0 0 0 0 0\n";
  for (int i = 0; i < 8; ++i) win += kZeros20;
  writeFile("pelinoru.win", win);
  writeFile("pelinoru.idx",
            "0 1 1301 ABCDEFGHIJKLMN    0   0\n"
            "0 1 7203 OPQRSTUVWXYZAB    1   0\n");
  {
    // Days 990104 .. 990108 in slots 1 .. 5 of both stocks, closing at 1000 + 10 * slot.
    marketdb::PriceFile f;
    ASSERT_TRUE(f.openForWriting());
    for (int block = 0; block < 2; ++block) {
      ASSERT_TRUE(f.initHistory(block));
      for (int s = 1; s <= 5; ++s) {
        marketdb::DayRecord r;
        r.date = 19990103 + s;
        r.open = r.high = r.low = r.close = static_cast<std::int16_t>(1000 + 10 * s);
        r.volume = 5000;
        ASSERT_TRUE(f.writeDay(block, s, r));
      }
    }
  }
  // The corrected file of 990107.
  writeFile("W990107",
            "[ABCDEFGHIJKLMN],2000,2100,1900,2050,50,12345,990107,801,13010\n"
            "[OPQRSTUVWXYZAB],3000,3100,2900,3050,-50,2222,990107,801,72030\n");

  DbWindow w;
  w.menu(dbprogram::IdKakunonaosi);
  w.type("990106E");
  ASSERT_EQ(readFile("pelinoru.sys"), "   0 990106    0   3\n" + kColours + kPeriods);
  w.menu(dbprogram::IdKakuno);
  w.type("W990107E");
  ASSERT_TRUE(w.messageBoxes().empty());

  EXPECT_EQ(readFile("pelinoru.sys"), "   0 990107    0   4\n" + kColours + kPeriods);
  marketdb::PriceFile f;
  ASSERT_TRUE(f.openForReading());
  marketdb::DayRecord r;
  ASSERT_TRUE(f.readRecord(0, 4, r));
  EXPECT_EQ(r.date, 19990107);
  EXPECT_EQ(r.close, 2050);
  ASSERT_TRUE(f.readRecord(1, 4, r));
  EXPECT_EQ(r.date, 19990107);
  EXPECT_EQ(r.close, 3050);
  // The days before and after keep their slots.
  ASSERT_TRUE(f.readRecord(0, 3, r));
  EXPECT_EQ(r.date, 19990106);
  EXPECT_EQ(r.close, 1030);
  ASSERT_TRUE(f.readRecord(0, 5, r));
  EXPECT_EQ(r.date, 19990108);
  EXPECT_EQ(r.close, 1050);

  // Setting the newest day back again restores the state before the re-store.
  w.menu(dbprogram::IdKakunonaosi);
  w.type("990108E");
  EXPECT_EQ(readFile("pelinoru.sys"), "   0 990108    0   5\n" + kColours + kPeriods);
}

}  // namespace
