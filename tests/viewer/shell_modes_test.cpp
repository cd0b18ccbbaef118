// The chart window's shell: commands and keys choose the view modes, the paint fills the
// background, Enter and digits on a chart screen, clicks that do nothing.
#include "tests/viewer/shell_fixture.h"

namespace viewertest {
namespace {

class ShellTest : public ViewerFixture {
 protected:
  void SetUp() override {
    useDefaultStocks();
    writeDatabase();
  }
};

TEST_F(ShellTest, OpensOnTheStockMenuAfterTheFirstPaint) {
  start();
  EXPECT_EQ(chart().viewMode, 12);
  EXPECT_EQ(chart().firstPaint, 1);
  EXPECT_EQ(chart().menuShown, 1);
  EXPECT_TRUE(drewText(0, 0, Magenta, "10"));
  EXPECT_TRUE(drewText(0, 16, Yellow, "1301"));
  EXPECT_EQ(driver->cursor(), Cursor::Arrow);  // the wait cursor is taken back after the paint
}

TEST_F(ShellTest, CommandsAndFunctionKeysChooseTheirModes) {
  struct Case {
    int menuId;
    unsigned key;
    int mode;
  };
  // Each mode is one that stays set after its paint (the stock 1301 is shown in between).
  const Case cases[] = {
      {viewer::IdMado, VK_F1, 2},     {viewer::IdHikaku, VK_F2, 6},
      {viewer::IdRikutu3, VK_F3, 3},  {viewer::IdRikutu4, VK_F4, 4},
      {viewer::IdRikutu5, VK_F5, 5},  {viewer::IdSign, VK_F6, 7},
      {viewer::IdSigns, VK_F7, 77},   {viewer::IdSyuasi, VK_F8, 8},
      {viewer::IdHiasi, VK_F9, 9},    {viewer::IdMeicode, VK_F11, 11},
      {viewer::IdMeimenu, VK_F12, 12}, {viewer::IdHidari, VK_LEFT, 15},
      {viewer::IdMigi, VK_RIGHT, 16},
  };
  start();
  for (const Case& c : cases) {
    show(1301);
    ASSERT_EQ(chart().viewMode, 9);
    ASSERT_TRUE(driver->menu(c.menuId));
    EXPECT_EQ(chart().viewMode, c.mode) << "menu " << c.menuId;
    show(1301);
    driver->key(c.key);
    EXPECT_EQ(chart().viewMode, c.mode) << "key " << c.key;
  }
  // The entry screens open with an empty buffer.
  driver->key(VK_F11);
  EXPECT_EQ(chart().entryState, 0);
  EXPECT_TRUE(drewText(242, 2, Yellow, "     0"));
}

TEST_F(ShellTest, ReserveCommandChangesNothingAndDoesNotRepaint) {
  start();
  show(1377);
  const int paints = driver->paintCount();
  const std::vector<std::string> before = ops();
  EXPECT_TRUE(driver->menu(viewer::IdSykyo));
  EXPECT_EQ(driver->paintCount(), paints);
  EXPECT_EQ(chart().viewMode, 9);
  EXPECT_EQ(ops(), before);
}

TEST_F(ShellTest, EveryPaintFillsTheSettingsBackground) {
  win.background[0] = 10;
  win.background[1] = 20;
  win.background[2] = 30;
  writeDatabase();
  start();
  EXPECT_EQ(frame->GetClientWindow()->GetBkgndColor(), RGB(10, 20, 30));
  ASSERT_FALSE(ops().empty());
  EXPECT_EQ(ops().front(), "fill 0 0 640 480 0A141E");
  driver->size(1280, 720);
  EXPECT_EQ(ops().front(), "fill 0 0 640 480 0A141E");  // logical space at any size
}

TEST_F(ShellTest, EnterOnAChartShowsTheStockMenu) {
  start();
  show(1379);
  ASSERT_EQ(chart().viewMode, 9);
  driver->key(VK_RETURN);
  EXPECT_EQ(chart().viewMode, 12);
  EXPECT_TRUE(drewText(560, 0, White, "注目"));
  EXPECT_TRUE(drewText(0, 16, Yellow, "1301"));
  // No keypad on the way.
  for (const std::string& t : texts()) EXPECT_EQ(t.find("銘柄コード入力"), std::string::npos);
}

TEST_F(ShellTest, DigitOnAChartOpensTheKeypadWithThatDigit) {
  start();
  show(1301);
  driver->key('7');
  EXPECT_EQ(chart().viewMode, 11);
  EXPECT_TRUE(drewText(242, 2, Yellow, "     7"));
  EXPECT_TRUE(drewText(240, 208, Yellow, "銘柄コード入力"));
  EXPECT_TRUE(drewText(242, 42, Yellow, "７"));
  EXPECT_TRUE(drewText(322, 162, Yellow, "Ｅ"));
  EXPECT_TRUE(drew("line 240 200 360 200 FFFFFF solid"));
  EXPECT_TRUE(drew("line 320 40 320 200 FFFFFF solid"));
  // A numeric-keypad digit goes on with the same entry.
  driver->key(VK_NUMPAD0 + 3);
  EXPECT_TRUE(drewText(242, 2, Yellow, "    73"));
  // A repaint applies the last command again (the digit is appended once more).
  driver->size(800, 600);
  EXPECT_TRUE(drewText(242, 2, Yellow, "   733"));
}

TEST_F(ShellTest, SingleClickOnAChartDoesNothing) {
  start();
  show(1301);
  const std::string winBefore = testsupport::readFile(marketdb::SettingsFileName);
  const int paints = driver->paintCount();
  driver->click(600, 5);  // on the delete button, but a single click
  driver->click(100, 300);
  EXPECT_EQ(driver->paintCount(), paints);
  EXPECT_EQ(chart().viewMode, 9);
  EXPECT_EQ(testsupport::readFile(marketdb::SettingsFileName), winBefore);
}

TEST_F(ShellTest, ResizingRedrawsTheSameScreenInLogicalUnits) {
  start();
  driver->size(1280, 720);
  EXPECT_EQ(chart().viewMode, 12);
  EXPECT_TRUE(drewText(0, 16, Yellow, "1301"));
  EXPECT_TRUE(drewText(600, 0, White, "連動"));
}

}  // namespace
}  // namespace viewertest
