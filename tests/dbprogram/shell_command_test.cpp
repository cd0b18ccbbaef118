// Menu commands and keys of the database window: each stores its command code and companion
// fields; the mouse takes back the ranking display's repeated step.
#include <gtest/gtest.h>

#include <vector>

#include "dbprogram/uchart.h"
#include "tests/dbprogram/shell_window.h"
#include "tests/support/test_support.h"

namespace shelltest {
namespace {

using dbprogram::UCHART;

constexpr int Keep = -999;  // the field keeps its value

struct Fields {
  int command, screenMode, entryScreen, entryLength, displayReload, lastKey;
};

// A window whose fields all hold 7, so that every field a command leaves alone can be seen.
void preset(UCHART& w) {
  w.command = w.screenMode = w.entryScreen = w.entryLength = w.displayReload = w.lastKey = 7;
}

void expectFields(const UCHART& w, const Fields& f, const std::string& what) {
  auto check = [&](int actual, int expected, const char* name) {
    EXPECT_EQ(actual, expected == Keep ? 7 : expected) << what << ": " << name;
  };
  check(w.command, f.command, "command");
  check(w.screenMode, f.screenMode, "screenMode");
  check(w.entryScreen, f.entryScreen, "entryScreen");
  check(w.entryLength, f.entryLength, "entryLength");
  check(w.displayReload, f.displayReload, "displayReload");
  check(w.lastKey, f.lastKey, "lastKey");
}

struct Case {
  int menuId;
  std::vector<unsigned> keys;
  Fields fields;
};

const std::vector<Case>& cases() {
  static const std::vector<Case> table = {
      {1, {VK_F1}, {10, 0, 0, -1, Keep, Keep}},
      {2, {VK_F2}, {20, 0, 20, -1, Keep, Keep}},
      {3, {VK_F3}, {160, 30, 0, Keep, 1, Keep}},
      {4, {VK_F4}, {160, 40, 0, Keep, 1, Keep}},
      {5, {VK_F5}, {50, 50, 50, -1, Keep, Keep}},
      {6, {VK_F6}, {60, 0, Keep, -1, Keep, Keep}},
      {7, {VK_F7}, {70, Keep, Keep, Keep, Keep, Keep}},
      {8, {VK_F8}, {80, Keep, Keep, Keep, Keep, Keep}},
      {9, {VK_F9}, {90, Keep, Keep, Keep, Keep, Keep}},
      {10, {VK_UP}, {100, Keep, Keep, Keep, Keep, Keep}},
      {11, {VK_DOWN}, {110, Keep, Keep, Keep, Keep, Keep}},
      {12, {VK_LEFT}, {120, Keep, Keep, Keep, Keep, Keep}},
      {13, {VK_RIGHT}, {130, Keep, Keep, Keep, Keep, Keep}},
      {14, {VK_BACK}, {140, Keep, Keep, Keep, Keep, Keep}},
      {15, {VK_SPACE}, {150, Keep, Keep, Keep, Keep, Keep}},
      {16, {'0', VK_NUMPAD0}, {160, Keep, Keep, Keep, Keep, 160}},
      {17, {'1', VK_NUMPAD0 + 1}, {170, Keep, Keep, Keep, Keep, 170}},
      {18, {'2', VK_NUMPAD0 + 2}, {180, Keep, Keep, Keep, Keep, 180}},
      {19, {'3', VK_NUMPAD0 + 3}, {190, Keep, Keep, Keep, Keep, 190}},
      {20, {'4', VK_NUMPAD0 + 4}, {200, Keep, Keep, Keep, Keep, 200}},
      {21, {'5', VK_NUMPAD0 + 5}, {210, Keep, Keep, Keep, Keep, 210}},
      {22, {'6', VK_NUMPAD0 + 6}, {220, Keep, Keep, Keep, Keep, 220}},
      {23, {'7', VK_NUMPAD0 + 7}, {230, Keep, Keep, Keep, Keep, 230}},
      {24, {'8', VK_NUMPAD0 + 8}, {240, Keep, Keep, Keep, Keep, 240}},
      {25, {'9', VK_NUMPAD9}, {250, Keep, Keep, Keep, Keep, 250}},
      {26, {'W'}, {270, Keep, Keep, Keep, Keep, Keep}},
      {27, {'N'}, {280, Keep, Keep, Keep, Keep, Keep}},
      {28, {'Y'}, {290, Keep, Keep, Keep, Keep, Keep}},
      {29, {VK_HOME}, {300, Keep, Keep, Keep, Keep, 300}},
      {30, {VK_RETURN}, {310, Keep, Keep, Keep, Keep, 310}},
      {31, {'T'}, {260, Keep, Keep, Keep, Keep, Keep}},
      {32, {VK_F11}, {320, Keep, Keep, Keep, Keep, Keep}},
  };
  return table;
}

TEST(ShellCommands, EveryMenuCommandAndKeySetsItsFields) {
  for (const Case& c : cases()) {
    UCHART byMenu;
    preset(byMenu);
    EXPECT_TRUE(byMenu.EvCommand(c.menuId));
    expectFields(byMenu, c.fields, "menu " + std::to_string(c.menuId));
    for (unsigned key : c.keys) {
      UCHART byKey;
      preset(byKey);
      byKey.EvKeyDown(key, 1, 0);
      expectFields(byKey, c.fields, "key " + std::to_string(key));
    }
  }
}

TEST(ShellCommands, OtherKeysAndIdsDoNothing) {
  for (unsigned key : {unsigned{VK_F10}, unsigned{VK_F12}, unsigned{VK_INSERT},
                       unsigned{VK_DELETE}, unsigned{'A'}, unsigned{'E'}, unsigned{'C'}}) {
    UCHART w;
    preset(w);
    w.EvKeyDown(key, 1, 0);
    expectFields(w, {Keep, Keep, Keep, Keep, Keep, Keep}, "key " + std::to_string(key));
  }
  UCHART w;
  preset(w);
  EXPECT_FALSE(w.EvCommand(33));
  EXPECT_FALSE(w.EvCommand(0));
  expectFields(w, {Keep, Keep, Keep, Keep, Keep, Keep}, "id 33");
}

TEST(ShellCommands, EveryCommandIsOnTheMenuBarAndRepaints) {
  testsupport::TempWorkDir dir;  // no database: only commands that read nothing are sent
  ShellWindow window;
  EXPECT_EQ(window.driver().paintCount(), 1);  // painted when first shown
  // Black screen, transparent text, black text background, arrow cursor at the end.
  ASSERT_FALSE(window.ops().empty());
  EXPECT_EQ(window.ops()[0], "fill 0 0 640 480 000000");
  int paints = window.driver().paintCount();
  for (int id : {7, 8, 9, 10, 11, 12, 13, 14, 15, 26, 27, 28, 29, 30, 31, 32, 16, 25}) {
    EXPECT_TRUE(window.driver().menu(id)) << id;
    EXPECT_EQ(window.driver().paintCount(), ++paints) << id;
    EXPECT_EQ(window.ops().size(), 1u) << id;  // nothing but the black screen
  }
  EXPECT_EQ(window.driver().cursor(), Cursor::Arrow);
  window.driver().key(VK_F10);
  window.driver().key(VK_F12);
  EXPECT_EQ(window.driver().paintCount(), paints);
  window.driver().size(320, 240);
  EXPECT_EQ(window.driver().paintCount(), ++paints);
  EXPECT_FALSE(window.driver().closed());
}

TEST(ShellMouse, AClickTakesBackTheRepeatedPageStep) {
  struct Step {
    int command, top, reverse;
  };
  // A page step of ↓ starts 27 rows before where the last page left the top, ↑ 29, ← 56 and →
  // none: the click leaves the top so that the repeated step lands on the same page.
  for (const Step& s : {Step{dbprogram::CmdDown, -1, 1}, Step{dbprogram::CmdUp, 1, -1},
                        Step{dbprogram::CmdLeft, 28, -28}, Step{dbprogram::CmdRight, -28, 28}}) {
    UCHART w;
    w.screenMode = 30;
    w.command = s.command;
    w.topRow = 100;
    w.reverseCounter = 50;
    w.EvLButtonDown(0, TPoint{5, 5});
    EXPECT_EQ(w.topRow, 100 + s.top) << s.command;
    EXPECT_EQ(w.reverseCounter, 50 + s.reverse) << s.command;
    EXPECT_EQ(w.command, s.command);
  }
  // After a sort by a digit key the top is lowered by 28.
  UCHART sorted;
  sorted.screenMode = 40;
  sorted.command = dbprogram::CmdDigit0 + 30;
  sorted.topRow = 28;
  sorted.reverseCounter = 90;
  sorted.EvLButtonDown(0, TPoint{});
  EXPECT_EQ(sorted.topRow, 0);
  EXPECT_EQ(sorted.reverseCounter, 90);
  // A digit outside the ranking display moves nothing.
  UCHART typing;
  typing.entryScreen = 10;
  typing.command = dbprogram::CmdDigit0;
  typing.topRow = 28;
  typing.EvLButtonDown(0, TPoint{});
  EXPECT_EQ(typing.topRow, 28);
  EXPECT_EQ(typing.command, dbprogram::CmdDigit0);
}

TEST(ShellMouse, AClickOnTheAnalysisPromptRestartsTheAnalysisCommand) {
  UCHART w;
  w.entryScreen = 20;
  w.screenMode = 20;
  w.command = dbprogram::CmdE;
  w.entryLength = 5;
  w.topRow = 10;
  w.EvLButtonDown(0, TPoint{});
  EXPECT_EQ(w.screenMode, 0);
  EXPECT_EQ(w.command, dbprogram::CmdAnalysis);
  EXPECT_EQ(w.entryLength, -1);
  EXPECT_EQ(w.entryScreen, 20);
  EXPECT_EQ(w.topRow, 10);
}

}  // namespace
}  // namespace shelltest
