// The settings items table, where each item is kept, the defaults and the palette.
#include <gtest/gtest.h>

#include <set>

#include "marketdb/settings.h"
#include "tests/support/test_support.h"

using namespace marketdb;

TEST(SettingsTableTest, HoldsExactlyTheFortyNineItems) {
  std::set<int> expected;
  for (int n = 1; n <= 35; ++n) expected.insert(n);
  for (int n = 41; n <= 43; ++n) expected.insert(n);
  for (int n = 50; n <= 60; ++n) expected.insert(n);
  std::set<int> numbers;
  for (const SettingItem& item : settingItems()) numbers.insert(item.number);
  EXPECT_EQ(numbers, expected);
  EXPECT_EQ(findSettingItem(36), nullptr);
  EXPECT_EQ(findSettingItem(0), nullptr);
  EXPECT_EQ(findSettingItem(77), nullptr);
  EXPECT_EQ(findSettingItem(61), nullptr);

  // Items whose typed value below 1 becomes 0.
  for (const SettingItem& item : settingItems()) {
    const int n = item.number;
    const bool zeroing = n <= 19 || n == 29 || n == 30 || (n >= 41 && n <= 43) || n >= 50;
    EXPECT_EQ(item.belowOneIsZero, zeroing) << n;
  }
}

TEST(SettingsTableTest, LabelsRangesAndDefaultsOfSampleItems) {
  struct Expect {
    int number;
    const char* label;
    int minimum, maximum, defaultValue;
  };
  const Expect cases[] = {
      {1, " 1 日付色", 0, 15, 11},
      {7, " 7 移動平均日線１色", 0, 15, 10},
      {19, "19 サイコロ色", 0, 15, 9},
      {20, "20 移動平均日１", 1, 320, 200},
      {23, "23 移動平均週１", 1, 78, 13},
      {25, "25 分布日１", 1, 213, 5},
      {28, "28 分布日４", 1, 213, 128},
      {29, "29 ＲＣＩ日１", 0, 320, 13},
      {31, "31 ＲＣＩ日３", 1, 320, 32},
      {32, "32 サイコロ日", 1, 54, 12},
      {33, "33 株価Ｙ位置", 2, 25, 18},
      {35, "35 上側画面幅", 24, 416, 260},
      {41, "41 背景色(RGB)Ｒ(0-255)", 0, 255, 0},
      {52, "52 移動平均３比", 1, 50, 30},
      {58, "58 篠原Ａ比", 1, 50, 15},
      {60, "60 ピークサイン", 0, 1, 1},
  };
  for (const Expect& e : cases) {
    const SettingItem* item = findSettingItem(e.number);
    ASSERT_NE(item, nullptr) << e.number;
    EXPECT_STREQ(item->label, e.label);
    EXPECT_EQ(item->minimum, e.minimum) << e.number;
    EXPECT_EQ(item->maximum, e.maximum) << e.number;
    EXPECT_EQ(item->defaultValue, e.defaultValue) << e.number;
  }
}

TEST(SettingsValueTest, EachItemReadsAndWritesItsOwnField) {
  SystemFile sys;
  SettingsFile win;
  setSettingValue(sys, win, 1, 5);
  setSettingValue(sys, win, 19, 6);
  EXPECT_EQ(win.colours[0], 5);
  EXPECT_EQ(win.colours[18], 6);
  EXPECT_EQ(sys.colours[0], 0);  // edited colours go to the copy in force only
  setSettingValue(sys, win, 20, 100);
  setSettingValue(sys, win, 35, 300);
  EXPECT_EQ(sys.periods[0], 100);
  EXPECT_EQ(sys.periods[15], 300);
  setSettingValue(sys, win, 41, 1);
  setSettingValue(sys, win, 43, 3);
  setSettingValue(sys, win, 50, 11);
  setSettingValue(sys, win, 59, 19);
  win.peakSign = 1;
  setSettingValue(sys, win, 60, 0);
  EXPECT_EQ(win.background[0], 1);
  EXPECT_EQ(win.background[2], 3);
  EXPECT_EQ(win.weights[0], 11);
  EXPECT_EQ(win.weights[9], 19);
  EXPECT_EQ(win.peakSign, 0);
  EXPECT_EQ(win.databaseKind, 0);  // value 1 of line 4 is not an item

  // Every item reads back what was written to it, and nothing else changed it.
  int v = 1;
  for (const SettingItem& item : settingItems()) setSettingValue(sys, win, item.number, v++);
  v = 1;
  for (const SettingItem& item : settingItems()) EXPECT_EQ(settingValue(sys, win, item.number), v++) << item.number;
  setSettingValue(sys, win, 36, 99);
  EXPECT_EQ(settingValue(sys, win, 36), 0);
}

TEST(SettingsValueTest, DefaultsFillBothColourLinesAndWriteTheExpectedFile) {
  testsupport::TempWorkDir dir;
  SystemFile sys;
  SettingsFile win;
  for (int& c : sys.colours) c = 99;
  for (int& c : win.colours) c = 99;
  for (int& b : win.background) b = 77;
  win.peakSign = 0;
  applyDefaults(sys, win);
  const int colours[19] = {11, 14, 7, 12, 11, 9, 10, 13, 14, 11, 15, 12, 10, 14, 13, 12, 11, 15, 9};
  for (int i = 0; i < 19; ++i) {
    EXPECT_EQ(sys.colours[i], colours[i]) << i;
    EXPECT_EQ(win.colours[i], colours[i]) << i;
  }
  EXPECT_EQ(win.background[0], 0);
  EXPECT_EQ(win.background[1], 0);
  EXPECT_EQ(win.background[2], 0);
  EXPECT_EQ(win.peakSign, 1);
  const int weights[10] = {10, 40, 30, 20, 15, 10, 10, 30, 15, 20};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(win.weights[i], weights[i]) << i;

  ASSERT_EQ(writeSystemFile(sys), FileStatus::Ok);
  EXPECT_EQ(testsupport::readFile(SystemFileName),
            "   0      0    0   0\n"
            "11 14 7 12 11 9 10 13 14 11 15 12 10 14 13 12 11 15 9\n"
            "200  25  75  13  26   5  25  75 128  13  22  32  12  18   5 260\n");
}

TEST(PaletteTest, SixteenColoursAndOutOfRangeLeavesOutputs) {
  const int table[16][3] = {{0, 0, 0},       {0, 0, 128},   {0, 128, 0},   {0, 128, 128},
                            {128, 0, 0},     {128, 0, 128}, {128, 128, 0}, {192, 192, 192},
                            {128, 128, 128}, {0, 0, 255},   {0, 255, 0},   {0, 255, 255},
                            {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255}};
  for (int n = 0; n < 16; ++n) {
    int number = n, r = -1, g = -1, b = -1;
    setpal(number, r, g, b);
    EXPECT_EQ(r, table[n][0]) << n;
    EXPECT_EQ(g, table[n][1]) << n;
    EXPECT_EQ(b, table[n][2]) << n;
    EXPECT_EQ(number, n);
  }
  for (int n : {-1, 16, 255}) {
    int number = n, r = 1, g = 2, b = 3;
    setpal(number, r, g, b);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(g, 2);
    EXPECT_EQ(b, 3);
  }
}
