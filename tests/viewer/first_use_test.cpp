// What a newcomer meets first, typed as a user types it: the stock kept across the menu, the
// export before any chart, the watch-list confirmations, pane 5's newest deviation on a day
// without volume and a ring that starts on a Sunday.
#include <algorithm>

#include "tests/viewer/shell_fixture.h"

namespace viewertest {
namespace {

class FirstUseTest : public ViewerFixture {
 protected:
  void SetUp() override {
    useDefaultStocks();
    // 1377 (record 2) traded Sunday 2010-01-03 to Thursday 2010-01-14 in ring slots 0..9.
    const float dates[10] = {100103, 100104, 100105, 100106, 100107,
                             100108, 100111, 100112, 100113, 100114};
    for (int s = 0; s < 10; ++s) day(2, s, dates[s], 100 + s, 110 + s, 95 + s, 105 + s, 10);
    sys.lastStoreDate = 20100114;
  }
  void showStock() {
    writeDatabase();
    start();
    show(1377);
  }
};

TEST_F(FirstUseTest, AViewKeyAfterTheMenuShowsTheStockShownLast) {
  showStock();
  for (unsigned key : {VK_F3, VK_F4, VK_F5, VK_F6, VK_F7, VK_F8, VK_F9}) {
    driver->key(key == VK_F9 ? VK_RETURN : VK_F12);  // Return on a chart opens the menu too
    driver->key(key);
    EXPECT_TRUE(drewText(0, 0, Yellow, "1377")) << key;
  }
}

TEST_F(FirstUseTest, ABaseDateThatIsNoDateShowsTheFormExpectedAfterARepaintToo) {
  showStock();
  driver->key(VK_F2);
  type("261332\r");
  driver->paint();
  EXPECT_TRUE(drewText(0, 232, Red, "261332は日付ではありません。yymmdd(例 100114)で入力してください"));
}

TEST_F(FirstUseTest, TheInformationScreenWritesNothingBeforeAStockWasShown) {
  writeDatabase();
  testsupport::writeFile("kabudata.txt", "kept\n");
  start();
  driver->key(VK_F1);
  EXPECT_TRUE(drewText(16, 352, Red, "--銘柄が選ばれていないのでkabudata.txtは出力しません。"
                                     "先に銘柄を選んでください--"));
  EXPECT_EQ(testsupport::readFile("kabudata.txt"), "kept\n");
  show(1377);
  driver->key(VK_F1);
  const std::string file = testsupport::readFile("kabudata.txt");
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 640);
}

TEST_F(FirstUseTest, WatchListChangesAreConfirmedOverTheFigures) {
  showStock();
  const std::pair<unsigned, const char*> steps[] = {
      {VK_INSERT, "1377を注目に登録しました"}, {VK_INSERT, "1377は注目に登録済みです"},
      {VK_DELETE, "1377を注目から削除しました"}, {VK_DELETE, "1377は注目にありません"}};
  for (const auto& [key, line] : steps) {
    driver->key(key);
    EXPECT_TRUE(drewText(184, 0, Red, line)) << line;
    EXPECT_TRUE(drewText(0, 0, Yellow, "1377"));  // the chart is still there
  }
  std::fill(win.codes, win.codes + marketdb::WatchListEnd, marketdb::codeFromNumber(1301));
  writeDatabase(false, true, false, false);
  driver->key(VK_INSERT);
  EXPECT_TRUE(drewText(184, 0, Red, "注目が満杯(90銘柄)なので1377は登録できません"));
}

TEST_F(FirstUseTest, Pane5PrintsTheNewestDeviationOnADayWithoutVolume) {
  const int periods[3] = {3, 4, 12};
  std::copy(periods, periods + 3, sys.periods);
  day(2, 9, 100114, 0, 0, 0, 120, 0);  // the newest day: a close, no volume
  showStock();
  driver->key(VK_F5);
  const COLORREF colours[3] = {RGB(0, 255, 0), RGB(255, 0, 255), RGB(255, 255, 0)};
  for (int d = 0; d < 3; ++d) {
    // The newest N days: closes 105 + s on slots 0..8; slot 9 and the slots before 0 empty.
    float sum = 0;
    int skip = 0;
    for (int s = 10 - periods[d]; s <= 9; ++s) {
      if (s < 0 || s == 9) ++skip;
      else sum += static_cast<float>(105 + s);
    }
    const float ma = sum / static_cast<float>(periods[d] - skip);
    EXPECT_TRUE(drewText(600, 15 + 8 * d, colours[d],
                         pelinor::text::format("%5.1f", double((120.0f - ma) / ma * 100.0f))))
        << periods[d];
  }
}

TEST_F(FirstUseTest, AWeeklyRingStartingOnASundayIsDrawn) {
  showStock();
  driver->key(VK_F8);
  // Sunday to Friday is one week dated by its Friday, Monday to Thursday the next; both are
  // drawn, at x 2 and 7.
  ASSERT_EQ(chart().panes.weeks.count, 2);
  EXPECT_EQ(chart().panes.weeks.date[0], 20100108);
  const auto at = [&](const char* x) {
    return std::any_of(ops().begin(), ops().end(),
                       [&](const std::string& op) { return op.rfind(x, 0) == 0; });
  };
  EXPECT_TRUE(at("line 2 ") && at("line 7 "));
}

}  // namespace
}  // namespace viewertest
