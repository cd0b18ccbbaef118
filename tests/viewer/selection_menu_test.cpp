// The stock menu: pages, colours, the watch and link pages, and clicks at two window sizes.
#include "tests/viewer/shell_fixture.h"

namespace viewertest {
namespace {

class MenuTest : public ViewerFixture {
 protected:
  void SetUp() override { useDefaultStocks(); }

  // A click at a point of the 640 x 480 logical space, in pixels of the window's size.
  void clickLogical(int x, int y) {
    const TRect r = chart().GetClientRect();
    driver->click(x * r.Width() / 640, y * r.Height() / 480);
  }
};

TEST_F(MenuTest, PageListsCodesInYellowAndNamesColouredByTheLastChange) {
  stocks = {
      {1001, 1, "甲", 8},   {1002, 1, "乙", 7},   {1003, 2, "丙", 4},      {1004, 1, "丁", 3},
      {1005, 1, "戊", -3},  {1006, 1, "己", -4},  {1007, 1, "庚", -7},     {1008, 1, "辛", -8},
      {1009, 1, "ABCDEFGH", 100},                 {1010, 3, "二部", 0},
      {1011, 1, "ｱｲｳｴｵｶｷ", -50},                  {1012, 1, "Aあいう", 0},
  };
  writeDatabase();
  start();
  // Header: the categories in white, the current one again in magenta.
  for (int c = 10; c <= 29; ++c)
    EXPECT_TRUE(drewText((c - 10) * 28, 0, White, std::to_string(c))) << c;
  EXPECT_TRUE(drewText(560, 0, White, "注目"));
  EXPECT_TRUE(drewText(600, 0, White, "連動"));
  EXPECT_TRUE(drewText(0, 0, Magenta, "10"));

  // Eight cells per row; the part-two stock 1010 is not on this page.
  EXPECT_EQ(menuCodes(), (std::vector<std::string>{
                             "0,16:1001", "80,16:1002", "160,16:1003", "240,16:1004",
                             "320,16:1005", "400,16:1006", "480,16:1007", "560,16:1008",
                             "0,32:1009", "80,32:1011", "160,32:1012"}));
  EXPECT_TRUE(drewText(32, 16, Red, "甲"));
  EXPECT_TRUE(drewText(112, 16, Magenta, "乙"));
  EXPECT_TRUE(drewText(192, 16, Magenta, "丙"));
  EXPECT_TRUE(drewText(272, 16, White, "丁"));
  EXPECT_TRUE(drewText(352, 16, White, "戊"));
  EXPECT_TRUE(drewText(432, 16, Green, "己"));
  EXPECT_TRUE(drewText(512, 16, Green, "庚"));
  EXPECT_TRUE(drewText(592, 16, Cyan, "辛"));
  // Names are cut to six bytes, never inside a double-byte character.
  EXPECT_TRUE(drewText(32, 32, Red, "ABCDEF"));
  EXPECT_TRUE(drewText(112, 32, Cyan, "ｱｲｳｴｵｶ"));
  EXPECT_TRUE(drewText(192, 32, White, "Aあい"));

  // Category 20 lists the part-two stocks of the same code page.
  type("20\r");
  EXPECT_TRUE(drewText(560, 0, White, "注目"));
  EXPECT_TRUE(drewText(280, 0, Magenta, "20"));
  EXPECT_EQ(menuCodes(), std::vector<std::string>{"0,16:1010"});
  EXPECT_TRUE(drewText(32, 16, White, "二部"));
}

TEST_F(MenuTest, WatchPageListsMarkedStocksInIndexOrderUpToTheFirstUnknownCode) {
  win.codes[0] = marketdb::codeFromNumber(1380);
  win.codes[1] = marketdb::codeFromNumber(2001);
  win.codes[2] = marketdb::codeFromNumber(1301);
  win.codes[3] = marketdb::codeFromNumber(5555);  // not in the index: the list ends here
  win.codes[4] = marketdb::codeFromNumber(1377);
  writeDatabase();
  start();
  type("30\r");
  EXPECT_TRUE(drewText(560, 0, Magenta, "注目"));
  EXPECT_EQ(menuCodes(),
            (std::vector<std::string>{"0,16:1301", "80,16:1380", "160,16:2001"}));
  EXPECT_EQ(chart().table->ksakujo[2], 0);  // 1377 stands behind the unknown code

  // The page reads pelinoru.win again: a code added meanwhile shows up.
  win.codes[3] = marketdb::codeFromNumber(9984);
  ASSERT_EQ(marketdb::writeSettingsFile(win), marketdb::FileStatus::Ok);
  driver->paint();
  EXPECT_EQ(menuCodes(), (std::vector<std::string>{"0,16:1301", "80,16:1377", "160,16:1380",
                                                   "240,16:2001", "320,16:9984"}));
}

// The same user actions at two window sizes choose the same stocks and categories.
class MenuClickTest : public MenuTest, public ::testing::WithParamInterface<TSize> {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    win.codes[92] = marketdb::codeFromNumber(2001);
    win.codes[93] = marketdb::codeFromNumber(1301);
    win.codes[94] = marketdb::codeFromNumber(4004);
    writeDatabase();
    start(GetParam().cx, GetParam().cy);
  }
};

TEST_P(MenuClickTest, CellChoosesItsStock) {
  clickLogical(170, 20);  // third cell of category 10
  EXPECT_EQ(chart().viewMode, 9);
  EXPECT_EQ(chart().selection.code, marketdb::codeFromNumber(1379));
  EXPECT_EQ(chart().currentStock, 3);
  EXPECT_TRUE(drewText(0, 0, Yellow, "1379"));

  // A cell of the second row of a page with a single row is empty: a blank chart screen.
  driver->key(VK_F12);
  clickLogical(10, 40);
  EXPECT_EQ(chart().viewMode, 9);
  EXPECT_EQ(chart().selection.code, marketdb::NoStockCode);
  EXPECT_EQ(ops().back(), "fill 0 0 640 480 000000");
}

TEST_P(MenuClickTest, HeaderChoosesTheCategory) {
  clickLogical(60, 5);  // 56..83: category 12
  EXPECT_EQ(chart().viewMode, 12);
  EXPECT_EQ(chart().menuCategory, 12);
  EXPECT_TRUE(drewText(56, 0, Magenta, "12"));
  EXPECT_EQ(menuCodes(), std::vector<std::string>{"0,16:4004"});

  clickLogical(590, 5);
  EXPECT_EQ(chart().menuCategory, 30);
  EXPECT_TRUE(drewText(560, 0, Magenta, "注目"));
  clickLogical(600, 5);  // the boundary itself still belongs to 注目
  EXPECT_EQ(chart().menuCategory, 30);
  clickLogical(610, 5);
  EXPECT_EQ(chart().menuCategory, 31);
  EXPECT_TRUE(drewText(600, 0, Magenta, "連動"));
  EXPECT_EQ(menuCodes(),
            (std::vector<std::string>{"0,16:2001", "80,16:1301", "160,16:4004"}));
  clickLogical(540, 5);
  EXPECT_EQ(chart().menuCategory, 29);
}

TEST_P(MenuClickTest, LinkCellSetsTheListPosition) {
  clickLogical(620, 5);
  clickLogical(90, 20);
  EXPECT_EQ(chart().selection.code, marketdb::codeFromNumber(1301));
  EXPECT_EQ(chart().linkPosition, 1);
  EXPECT_EQ(chart().viewMode, 9);
  EXPECT_TRUE(drewText(0, 0, Yellow, "1301"));
  // Below the last code of the list: nothing.
  driver->key(VK_F12);
  clickLogical(250, 20);
  EXPECT_EQ(chart().selection.code, marketdb::NoStockCode);
}

TEST_P(MenuClickTest, ClickIsHandledWhenTheMenuWasReachedWithArrows) {
  driver->key(VK_DOWN);  // category 11: 2001
  ASSERT_EQ(chart().viewMode, 14);
  EXPECT_EQ(menuCodes(), std::vector<std::string>{"0,16:2001"});
  clickLogical(5, 20);
  EXPECT_EQ(chart().viewMode, 9);
  EXPECT_EQ(chart().selection.code, marketdb::codeFromNumber(2001));
}

INSTANTIATE_TEST_SUITE_P(Sizes, MenuClickTest,
                         ::testing::Values(TSize{640, 480}, TSize{1280, 720}));

}  // namespace
}  // namespace viewertest
