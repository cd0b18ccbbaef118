// Registering and removing watch-list codes with Insert/Delete and the top-row buttons:
// pelinoru.win byte for byte afterwards.
#include <sys/stat.h>

#include "tests/viewer/shell_fixture.h"

namespace viewertest {
namespace {

class WatchListTest : public ViewerFixture {
 protected:
  void SetUp() override {
    useDefaultStocks();
    win.codes[0] = marketdb::codeFromNumber(1301);
    win.codes[1] = marketdb::codeFromNumber(1377);
    win.codes[2] = marketdb::codeFromNumber(2001);
    win.codes[92] = marketdb::codeFromNumber(4004);
    win.codes[119] = marketdb::codeFromNumber(1332);
    writeDatabase();
    original = testsupport::readFile(marketdb::SettingsFileName);
  }

  // The original file with line 7 (watch-list positions 0..19) replaced.
  std::string withLine7(const std::string& line) const {
    std::string out;
    std::size_t pos = 0;
    for (int l = 1; l <= 12; ++l) {
      std::size_t end = original.find('\n', pos);
      out += l == 7 ? line + "\n" : original.substr(pos, end + 1 - pos);
      pos = end + 1;
    }
    return out;
  }

  std::string current() const { return testsupport::readFile(marketdb::SettingsFileName); }

  static ino_t inode() {
    struct stat st {};
    return ::stat(marketdb::SettingsFileName, &st) == 0 ? st.st_ino : 0;
  }

  std::string original;
};

TEST_F(WatchListTest, OriginalFileHasTheExpectedLine7) {
  // The base of the comparisons below.
  EXPECT_EQ(withLine7("1301 1377 2001 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"), original);
}

TEST_F(WatchListTest, InsertRegistersTheShownStockInTheFirstEmptyPosition) {
  start();
  show(1380);
  driver->key(VK_INSERT);
  EXPECT_EQ(current(), withLine7("1301 1377 2001 1380 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"));
  EXPECT_EQ(chart().viewMode, 9);
  EXPECT_EQ(chart().keypadCommand, viewer::PadHandled);
  // The watch page lists it.
  type("30\r");
  EXPECT_EQ(menuCodes(), (std::vector<std::string>{"0,16:1301", "80,16:1377", "160,16:1380",
                                                   "240,16:2001"}));
}

TEST_F(WatchListTest, RegisteringAnExistingCodeRewritesTheFileUnchanged) {
  start();
  show(1377);
  const ino_t before = inode();
  driver->key(VK_INSERT);
  EXPECT_NE(inode(), before);  // replaced by a new file
  EXPECT_EQ(current(), original);
}

TEST_F(WatchListTest, DeleteClosesTheGap) {
  start();
  show(1377);
  driver->key(VK_DELETE);
  EXPECT_EQ(current(), withLine7("1301 2001 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"));
  show(1301);
  driver->key(VK_DELETE);
  EXPECT_EQ(current(), withLine7("2001 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"));
  // Deleting a code that is not in the list changes nothing.
  driver->key(VK_DELETE);
  EXPECT_EQ(current(), withLine7("2001 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"));
}

class WatchButtonTest : public WatchListTest, public ::testing::WithParamInterface<TSize> {
 protected:
  void dblclickLogical(int x, int y) {
    driver->dblclick(x * GetParam().cx / 640, y * GetParam().cy / 480);
  }
};

TEST_P(WatchButtonTest, TopRowButtonsRegisterAndDelete) {
  start(GetParam().cx, GetParam().cy);
  show(9984);
  dblclickLogical(520, 5);  // column 8: 注目登録
  EXPECT_EQ(current(), withLine7("1301 1377 2001 9984 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"));
  show(1301);
  dblclickLogical(600, 5);  // column 9: 注目削除
  EXPECT_EQ(current(), withLine7("1377 2001 9984 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"));
  EXPECT_EQ(chart().viewMode, 9);

  // Other columns of the top row, and double-clicks below it, do nothing.
  const std::string before = current();
  const ino_t node = inode();
  dblclickLogical(100, 5);
  dblclickLogical(500, 5);
  dblclickLogical(600, 20);
  EXPECT_EQ(current(), before);
  EXPECT_EQ(inode(), node);
  // The click is used up: a later repaint does not press the button again.
  driver->paint();
  EXPECT_EQ(inode(), node);
}

INSTANTIATE_TEST_SUITE_P(Sizes, WatchButtonTest,
                         ::testing::Values(TSize{640, 480}, TSize{1280, 720}));

TEST_F(WatchListTest, KeysOnlyActOnAChartScreen) {
  start();
  const ino_t node = inode();
  driver->key(VK_INSERT);  // on the menu: no stock is shown
  show(1380);              // ... and choosing one afterwards does not register it
  EXPECT_EQ(current(), original);
  EXPECT_EQ(inode(), node);
  show(5555);  // a code that is not in the index is never registered
  driver->key(VK_INSERT);
  EXPECT_EQ(current(), original);
}

TEST_F(WatchListTest, ChangesMadeMeanwhileByTheDatabaseProgramAreKept) {
  start();
  // pelinorx writes new link codes and a colour while the viewer runs.
  win.codes[93] = marketdb::codeFromNumber(1379);
  win.colours[0] = 3;
  ASSERT_EQ(marketdb::writeSettingsFile(win), marketdb::FileStatus::Ok);
  const std::string edited = testsupport::readFile(marketdb::SettingsFileName);
  show(1380);
  driver->key(VK_INSERT);
  win.codes[3] = marketdb::codeFromNumber(1380);
  EXPECT_EQ(current(), marketdb::formatSettingsFile(win));
  EXPECT_NE(current(), edited);
}

TEST_F(WatchListTest, FullListTakesNoMoreCodes) {
  driver.reset();
  for (int p = 0; p < 90; ++p) win.codes[p] = marketdb::codeFromNumber(1332);  // every position taken
  writeDatabase();
  original = testsupport::readFile(marketdb::SettingsFileName);
  start();
  show(1380);
  driver->key(VK_INSERT);
  EXPECT_EQ(current(), original);  // position 90 stays the terminator
}

TEST_F(WatchListTest, DeleteFindsACodeAtPosition90) {
  // Another program filled the list up to and including position 90.
  for (int p = 0; p < 90; ++p) win.codes[p] = marketdb::codeFromNumber(1332);
  win.codes[90] = marketdb::codeFromNumber(1380);
  writeDatabase();
  start();
  show(1380);
  driver->key(VK_DELETE);
  win.codes[90] = marketdb::codeFromNumber(0);
  EXPECT_EQ(current(), marketdb::formatSettingsFile(win));
}

TEST_F(WatchListTest, UnwritableFileIsReportedAndTheWindowCloses) {
  start();
  show(1380);
  // pelinoru.win can no longer be replaced.
  std::filesystem::remove(marketdb::SettingsFileName);
  std::filesystem::create_directory(marketdb::SettingsFileName);
  driver->key(VK_INSERT);
  EXPECT_TRUE(out.str().ends_with("[ﾌｧｲﾙ存在状況] pelinoru.win が出力できません\n"));
  EXPECT_TRUE(driver->closed());
}

}  // namespace
}  // namespace viewertest
