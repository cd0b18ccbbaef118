// ↑ and ↓: menu categories while the menu is shown, stocks of the same market section, the
// watch list and the link list otherwise.
#include "tests/viewer/shell_fixture.h"

namespace viewertest {
namespace {

class StepTest : public ViewerFixture {
 protected:
  void SetUp() override { useDefaultStocks(); }

  float shown() const { return static_cast<float>(marketdb::codeNumber(chart().selection.code)); }
  void up() { driver->key(VK_UP); }
  void down() { driver->key(VK_DOWN); }
};

TEST_F(StepTest, ArrowsMoveTheCategoryWhileTheMenuIsShown) {
  writeDatabase();
  start();
  up();
  EXPECT_EQ(chart().menuCategory, 31);
  EXPECT_TRUE(drewText(600, 0, Magenta, "連動"));
  down();
  EXPECT_EQ(chart().menuCategory, 10);
  down();
  EXPECT_EQ(chart().menuCategory, 11);
  EXPECT_TRUE(drewText(28, 0, Magenta, "11"));
  EXPECT_EQ(menuCodes(), std::vector<std::string>{"0,16:2001"});
  // Reached through an arrow, a repaint moves the category once more.
  driver->paint();
  EXPECT_EQ(chart().menuCategory, 12);
}

TEST_F(StepTest, StocksOfTheSameSectionAndTheSameStockAtTheEnds) {
  writeDatabase();
  start();
  show(1301);  // first stock of the index
  up();
  EXPECT_FLOAT_EQ(shown(), 1301.0f);
  EXPECT_EQ(chart().viewMode, 9);
  EXPECT_TRUE(drewText(0, 0, Yellow, "1301"));
  down();  // 1332 is section 3
  EXPECT_FLOAT_EQ(shown(), 1377.0f);
  down();  // 1379 is section 2
  EXPECT_FLOAT_EQ(shown(), 1380.0f);
  down();  // to the next code page
  EXPECT_FLOAT_EQ(shown(), 2001.0f);
  down();
  EXPECT_FLOAT_EQ(shown(), 4004.0f);
  down();  // 9984 is section 4: no further stock of section 1
  EXPECT_FLOAT_EQ(shown(), 4004.0f);
  up();
  EXPECT_FLOAT_EQ(shown(), 2001.0f);

  show(9984);  // last stock of the index
  down();
  EXPECT_FLOAT_EQ(shown(), 9984.0f);
  EXPECT_TRUE(drewText(0, 0, Yellow, "9984"));
  up();  // no other stock of section 4
  EXPECT_FLOAT_EQ(shown(), 9984.0f);
}

TEST_F(StepTest, WatchCategoryStepsThroughMarkedStocks) {
  win.codes[0] = marketdb::codeFromNumber(4004);
  win.codes[1] = marketdb::codeFromNumber(1379);
  writeDatabase();
  start();
  type("30\r");
  ASSERT_EQ(menuCodes(), (std::vector<std::string>{"0,16:1379", "80,16:4004"}));
  driver->click(5, 20);
  ASSERT_FLOAT_EQ(shown(), 1379.0f);
  down();
  EXPECT_FLOAT_EQ(shown(), 4004.0f);
  down();
  EXPECT_FLOAT_EQ(shown(), 4004.0f);
  up();
  EXPECT_FLOAT_EQ(shown(), 1379.0f);
  up();
  EXPECT_FLOAT_EQ(shown(), 1379.0f);
}

TEST_F(StepTest, LinkCategoryWalksTheListAndStopsAtItsEnds) {
  win.codes[92] = marketdb::codeFromNumber(2001);
  win.codes[93] = marketdb::codeFromNumber(1301);  // index 0 of the table
  win.codes[94] = marketdb::codeFromNumber(4004);
  win.codes[96] = marketdb::codeFromNumber(1377);  // behind the end of the list
  writeDatabase();
  start();
  type("31\r");
  driver->click(90, 20);
  ASSERT_FLOAT_EQ(shown(), 1301.0f);
  ASSERT_EQ(chart().linkPosition, 1);
  down();
  EXPECT_FLOAT_EQ(shown(), 4004.0f);
  down();  // the list ends at its first empty position
  EXPECT_FLOAT_EQ(shown(), 4004.0f);
  EXPECT_EQ(chart().linkPosition, 2);
  up();
  EXPECT_FLOAT_EQ(shown(), 1301.0f);
  up();  // at the first stock of the index: the same stock again, before any walk
  EXPECT_FLOAT_EQ(shown(), 1301.0f);
  EXPECT_EQ(chart().linkPosition, 1);
  show(2001);
  up();  // the start of the list
  EXPECT_FLOAT_EQ(shown(), 2001.0f);
  EXPECT_EQ(chart().linkPosition, 0);

  // A typed code takes its position in the list.
  show(4004);
  EXPECT_EQ(chart().linkPosition, 2);
  up();
  EXPECT_FLOAT_EQ(shown(), 1301.0f);
  // A typed code that is not in the list: ↑ goes to the last code of the list.
  show(1380);
  EXPECT_EQ(chart().linkPosition, 28);
  up();
  EXPECT_FLOAT_EQ(shown(), 4004.0f);
  down();
  EXPECT_FLOAT_EQ(shown(), 4004.0f);
  // At the last stock of the index ↓ shows it again instead of walking to the list's end.
  show(9984);
  down();
  EXPECT_FLOAT_EQ(shown(), 9984.0f);
}

TEST_F(StepTest, DownOnTheLastStockStaysInsideTheTable) {
  writeDatabase();
  // An index cut short after its last stock: the part of a line that was read (section 4,
  // that of the last stock) lies just past the table.
  testsupport::writeFile(marketdb::IndexFileName,
                         testsupport::readFile(marketdb::IndexFileName) + "0 4");
  start();
  show(9984);
  down();
  EXPECT_FLOAT_EQ(shown(), 9984.0f);
  EXPECT_TRUE(drewText(0, 0, Yellow, "9984"));
}

}  // namespace
}  // namespace viewertest
