// The code keypad: typed and clicked codes, menu categories by number, clear and a full buffer.
#include "tests/viewer/shell_fixture.h"

namespace viewertest {
namespace {

class KeypadTest : public ViewerFixture {
 protected:
  void SetUp() override {
    useDefaultStocks();
    writeDatabase();
  }
  // The centre of keypad cell (column, row) of the 16 x 12 grid, in pixels.
  void clickCell(int column, int row) {
    const TRect r = chart().GetClientRect();
    driver->click((2 * column + 1) * r.Width() / 32, (2 * row + 1) * r.Height() / 24);
  }
};

TEST_F(KeypadTest, FourDigitCodeAndEnterShowsThatStock) {
  start();
  type("1379\r");
  EXPECT_EQ(chart().viewMode, 9);
  EXPECT_EQ(chart().selection.code, marketdb::codeFromNumber(1379));
  EXPECT_TRUE(drewText(0, 0, Yellow, "1379"));
  EXPECT_TRUE(drewText(32, 0, White, "ホクト"));
  // The keypad is covered by the background before the chart is drawn.
  const auto keypad = std::find(ops().begin(), ops().end(),
                                textOp(240, 208, Yellow, "銘柄コード入力"));
  const auto fill = std::find(ops().rbegin(), ops().rend(), "fill 0 0 640 480 000000");
  ASSERT_NE(keypad, ops().end());
  ASSERT_NE(fill, ops().rend());
  EXPECT_LT(keypad - ops().begin(), ops().rend() - fill - 1);
}

TEST_F(KeypadTest, NumbersTenToThirtyOneOpenThatMenuCategory) {
  start();
  show(1301);
  type("25\r");
  EXPECT_EQ(chart().viewMode, 12);
  EXPECT_EQ(chart().menuCategory, 25);
  EXPECT_TRUE(drewText(420, 0, Magenta, "25"));
  EXPECT_TRUE(drewText(560, 0, White, "注目"));
  type("9\r");  // 9 is no category and no stock: the menu says so
  EXPECT_EQ(chart().viewMode, 12);
  EXPECT_EQ(ops().back(), textOp(0, 464, Red, "銘柄コード9はデータベースにありません"));
  type("31\r");
  EXPECT_EQ(chart().menuCategory, 31);
  type("32\r");
  EXPECT_EQ(chart().viewMode, 12);
  EXPECT_EQ(chart().menuCategory, 31);
}

TEST_F(KeypadTest, MenuCommandOpensAnEmptyKeypadAndClearEmptiesIt) {
  start();
  type("13");
  EXPECT_TRUE(drewText(242, 2, Yellow, "    13"));
  ASSERT_TRUE(driver->menu(viewer::IdMeicode));
  EXPECT_TRUE(drewText(242, 2, Yellow, "     0"));
  type("8");
  EXPECT_TRUE(drewText(242, 2, Yellow, "     8"));
  driver->key(VK_HOME);
  EXPECT_TRUE(drewText(242, 2, Yellow, "     0"));
  EXPECT_EQ(chart().entryState, 0);
}

TEST_F(KeypadTest, SixDigitBufferIsEmptiedByTheNextCommand) {
  start();
  type("123456");
  EXPECT_TRUE(drewText(242, 2, Yellow, "123456"));
  type("7");  // discarded: the buffer is emptied
  EXPECT_TRUE(drewText(242, 2, Yellow, "     0"));
  EXPECT_EQ(chart().entryState, 0);
  type("1301\r");
  EXPECT_EQ(chart().selection.code, marketdb::codeFromNumber(1301));
}

class KeypadClickTest : public KeypadTest, public ::testing::WithParamInterface<TSize> {};

TEST_P(KeypadClickTest, ClickedCellsEnterACode) {
  start(GetParam().cx, GetParam().cy);
  ASSERT_TRUE(driver->menu(viewer::IdMeicode));
  clickCell(6, 3);  // １
  clickCell(8, 3);  // ３
  clickCell(7, 1);  // ８
  EXPECT_TRUE(drewText(242, 2, Yellow, "   138"));
  clickCell(7, 4);  // Ｃ
  EXPECT_TRUE(drewText(242, 2, Yellow, "     0"));
  clickCell(6, 3);
  clickCell(8, 3);
  clickCell(7, 1);
  clickCell(6, 4);  // ０
  clickCell(2, 8);  // outside the keypad: ignored
  EXPECT_TRUE(drewText(242, 2, Yellow, "  1380"));
  clickCell(8, 4);  // Ｅ
  EXPECT_EQ(chart().viewMode, 9);
  EXPECT_EQ(chart().currentStock, 4);
  EXPECT_TRUE(drewText(0, 0, Yellow, "1380"));
}

INSTANTIATE_TEST_SUITE_P(Sizes, KeypadClickTest,
                         ::testing::Values(TSize{640, 480}, TSize{1280, 720}));

}  // namespace
}  // namespace viewertest
