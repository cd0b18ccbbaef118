// What a newcomer meets first, driven by keys as a user types them: the stock kept across the
// menu, codes and base dates that name nothing, the export before any chart, a folder without a
// database, the watch-list confirmations, pane 5's newest deviation on a day without volume and
// a weekly ring that starts on a Sunday.
#include <algorithm>
#include <filesystem>

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
    sys.lastStoreDate = 100114;
  }
  std::string notice() const {
    for (const std::string& op : ops())
      if (op.rfind("text ", 0) == 0 && op.find(" FF0000 ") != std::string::npos &&
          (op.rfind("text 184 0 ", 0) == 0 || op.rfind("text 0 464 ", 0) == 0 ||
           op.rfind("text 0 232 ", 0) == 0))
        return op.substr(op.find('"') + 1, op.size() - op.find('"') - 2);
    return "";
  }
};

TEST_F(FirstUseTest, AViewKeyAfterTheMenuShowsTheStockShownLast) {
  writeDatabase();
  start();
  const struct {
    unsigned key;
    int mode;
  } views[] = {{VK_F3, 3}, {VK_F4, 4}, {VK_F5, 5}, {VK_F6, 7}, {VK_F7, 77}, {VK_F8, 8}, {VK_F9, 9}};
  for (const auto& v : views) {
    show(1377);
    driver->key(v.key == VK_F9 ? VK_RETURN : VK_F12);  // Return on a chart opens the menu too
    if (v.key == VK_F9) {
      ASSERT_EQ(chart().viewMode, 12);
    }
    driver->key(v.key);
    EXPECT_EQ(chart().viewMode, v.mode) << v.key;
    EXPECT_TRUE(drewText(0, 0, Yellow, "1377")) << v.key;
  }
}

TEST_F(FirstUseTest, AnUnknownCodeStaysInTheMenuAndSaysSo) {
  writeDatabase();
  start();
  show(1377);
  driver->key(VK_F12);
  type("9999\r");
  EXPECT_EQ(chart().viewMode, 12);
  EXPECT_TRUE(drewText(0, 0, Magenta, "10"));  // the menu, not an empty chart
  EXPECT_EQ(notice(), "銘柄コード9999はデータベースにありません");
  driver->key(VK_F9);
  EXPECT_TRUE(drewText(0, 0, Yellow, "1377"));
}

TEST_F(FirstUseTest, BaseDatesThatNameNoStoredDayAreRefusedWithTheForm) {
  writeDatabase();
  start();
  show(1377);
  const struct {
    const char* typed;
    const char* line;
  } refused[] = {
      {"261332", "261332は日付ではありません。yymmdd(例 100114)で入力してください"},
      {"100230", "100230は日付ではありません。yymmdd(例 100114)で入力してください"},
      {"", "000000は日付ではありません。yymmdd(例 100114)で入力してください"},
      {"100115", "100115は最新日付100114より後です。yymmdd(例 100114)で入力してください"},
  };
  for (const auto& r : refused) {
    driver->key(VK_F2);
    type(std::string(r.typed) + "\r");
    EXPECT_EQ(chart().viewMode, 6) << r.typed;
    EXPECT_EQ(notice(), r.line) << r.typed;
    driver->paint();  // a repaint keeps the line and does not take the emptied entry
    EXPECT_EQ(notice(), r.line) << r.typed;
    EXPECT_TRUE(drewText(242, 2, White, "000000")) << r.typed;
  }
  type("100113\r");
  EXPECT_EQ(chart().viewMode, 97);
}

TEST_F(FirstUseTest, TheInformationScreenBeforeAnyChartWritesNothing) {
  writeDatabase();
  testsupport::writeFile("kabudata.txt", "kept\n");
  start();
  driver->key(VK_F1);
  EXPECT_TRUE(drewText(16, 352, Red,
                       "--銘柄が選ばれていないのでkabudata.txtは出力しません。"
                       "先に銘柄を選んでください--"));
  EXPECT_EQ(testsupport::readFile("kabudata.txt"), "kept\n");
  show(1377);
  driver->key(VK_F1);
  const std::string file = testsupport::readFile("kabudata.txt");
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 640);
  EXPECT_NE(file.find("100114 1377"), std::string::npos);
}

TEST_F(FirstUseTest, AFolderWithoutADatabaseGetsOneMessageNamingItAndTheRemedy) {
  start();
  ASSERT_EQ(driver->messageBoxes().size(), 1u);
  const std::string& box = driver->messageBoxes()[0];
  EXPECT_NE(box.find(std::filesystem::current_path().string() + " にデータベースがありません"),
            std::string::npos) << box;
  EXPECT_NE(box.find("pelinorx init W"), std::string::npos) << box;
  EXPECT_NE(box.find("-C DIR"), std::string::npos) << box;
}

TEST_F(FirstUseTest, WatchListChangesAreConfirmedOverTheFigures) {
  writeDatabase();
  start();
  show(1377);
  const struct {
    unsigned key;
    const char* line;
  } steps[] = {
      {VK_INSERT, "1377を注目に登録しました"}, {VK_INSERT, "1377は注目に登録済みです"},
      {VK_DELETE, "1377を注目から削除しました"}, {VK_DELETE, "1377は注目にありません"},
  };
  for (const auto& s : steps) {
    driver->key(s.key);
    EXPECT_EQ(notice(), s.line) << s.line;
    EXPECT_TRUE(drewText(0, 0, Yellow, "1377"));  // the chart is still there
  }
  driver->paint();
  EXPECT_EQ(notice(), "");  // shown once
  // A full list: positions 0..89 taken by other codes.
  for (int p = 0; p < marketdb::WatchListEnd; ++p) win.codes[p] = 1301;
  writeDatabase(false, true, false, false);
  driver->key(VK_INSERT);
  EXPECT_EQ(notice(), "注目が満杯(90銘柄)なので1377は登録できません");
}

TEST_F(FirstUseTest, Pane5PrintsTheNewestDeviationOnADayWithoutVolume) {
  const int periods[3] = {3, 4, 12};
  for (int d = 0; d < 3; ++d) sys.periods[d] = periods[d];
  day(2, 9, 100114, 0, 0, 0, 120, 0);  // the newest day: a close, no volume
  writeDatabase();
  start();
  show(1377);
  driver->key(VK_F5);
  const COLORREF colours[3] = {RGB(0, 255, 0), RGB(255, 0, 255), RGB(255, 255, 0)};
  for (int d = 0; d < 3; ++d) {
    // The window of the newest N days: traded closes 105 + s of slots 0..8, the rest empty.
    float sum = 0;
    int skip = 0;
    for (int s = 9 - periods[d] + 1; s <= 9; ++s) {
      if (s < 0 || s == 9) ++skip;
      else sum += static_cast<float>(105 + s);
    }
    const float ma = sum / static_cast<float>(periods[d] - skip);
    const float dev = (120.0f - ma) / ma * 100.0f;
    EXPECT_TRUE(drewText(600, 15 + 8 * d, colours[d],
                         pelinor::text::format("%5.1f", static_cast<double>(dev))))
        << "period " << periods[d];
  }
}

TEST_F(FirstUseTest, AWeeklyRingStartingOnASundayIsDrawn) {
  writeDatabase();
  start();
  show(1377);
  driver->key(VK_F8);
  // Sunday to Friday is one week dated by its Friday, Monday to Thursday the next.
  ASSERT_EQ(chart().panes.weeks.count, 2);
  EXPECT_EQ(chart().panes.weeks.date[0], 100108.0f);
  EXPECT_EQ(chart().panes.weeks.date[1], 100114.0f);
  // Both weeks have their high-low line, at x 2 and 7.
  int bars = 0;
  for (const std::string& op : ops())
    if (op.rfind("line 2 ", 0) == 0 || op.rfind("line 7 ", 0) == 0) ++bars;
  EXPECT_GE(bars, 2);
}

}  // namespace
}  // namespace viewertest
