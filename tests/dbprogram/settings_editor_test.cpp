// The settings editor driven as a user drives it: F5, "item T value E" entries, 77T77E and
// 99T99E; checked on the screen, the bell and the two files byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "marketdb/settings.h"
#include "tests/dbprogram/settings_harness.h"
#include "tests/support/test_support.h"

namespace {

using settingstest::DbWindow;
using testsupport::readFile;
using testsupport::writeFile;

// pelinoru.sys: its colour line (all 2) differs from pelinoru.win's, its periods from the
// defaults.
const std::string kSysLine1 = "   0 990108    0   5\n";
const std::string kSysColours = "2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2\n";
const std::string kSysPeriods =
    "100  20  60  10  20   4  20  60 100  10  20  30  10  15   4 200\n";

const std::string kZeros16 = "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
const std::string kZeros20 = "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
const std::string kWinLine1 = "0      0 0 0\n";
const std::string kWinColours = "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 0 1 2 3\n";
// Kind 0, background 10 20 30, every weight 5, peak sign on.
const std::string kWinLine4 = "0 10 20 30 5 5 5 5 5 5 5 5 5 5 1 0 0 0 0 0\n";
const std::string kWinCodes = "1301 7203 6758 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";

std::string sysText(const std::string& line1, const std::string& colours,
                     const std::string& periods) {
  return line1 + colours + periods;
}

std::string winText(const std::string& colours, const std::string& line4,
                    const std::string& codes = kWinCodes) {
  std::string s = kWinLine1 + colours + kZeros16 + line4 + kZeros20 + kZeros20 + codes;
  for (int i = 0; i < 5; ++i) s += kZeros20;
  return s;
}

std::vector<int> allValues(const dbprogram::UCHART& c) {
  std::vector<int> v;
  for (const auto& item : marketdb::settingItems())
    v.push_back(marketdb::settingValue(c.sys, c.win, item.number));
  return v;
}

int valueOf(const dbprogram::UCHART& c, int item) {
  return marketdb::settingValue(c.sys, c.win, item);
}

class SettingsEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile("pelinoru.sys", sysText(kSysLine1, kSysColours, kSysPeriods));
    writeFile("pelinoru.win", winText(kWinColours, kWinLine4));
  }
  // Opens the editor in a window and types `keys`.
  void open(DbWindow& w, const std::string& keys = "") {
    w.menu(dbprogram::IdKiteichi);
    w.type(keys);
  }
  testsupport::TempWorkDir dir;
};

TEST_F(SettingsEditorTest, OpeningDrawsEveryItemFromBothFiles) {
  DbWindow w;
  w.driver().key(VK_F5);
  ASSERT_FALSE(w.closed());

  EXPECT_TRUE(w.drewText(0, 0, "00FF00", "［ペリノＣ++］設定値"));
  // Colour items: grey label, value in the colour of pelinoru.win's number (not pelinoru.sys's).
  EXPECT_TRUE(w.drewText(0, 16, "C0C0C0", " 1 日付色"));
  EXPECT_TRUE(w.drewText(152, 16, "000080", " 1"));
  EXPECT_TRUE(w.drewText(152, 192, "FF0000", "12"));
  EXPECT_TRUE(w.drewText(152, 256, "000000", " 0"));
  EXPECT_TRUE(w.drewText(0, 304, "C0C0C0", "19 サイコロ色"));
  EXPECT_TRUE(w.drewText(152, 304, "008080", " 3"));
  // Periods.
  EXPECT_TRUE(w.drewText(200, 16, "C0C0C0", "20 移動平均日１"));
  EXPECT_TRUE(w.drewText(310, 16, "C0C0C0", "100"));
  EXPECT_TRUE(w.drewText(310, 96, "C0C0C0", "  4"));
  EXPECT_TRUE(w.drewText(200, 256, "C0C0C0", "35 上側画面幅"));
  EXPECT_TRUE(w.drewText(310, 256, "C0C0C0", "200"));
  // Background components in red, green and blue.
  EXPECT_TRUE(w.drewText(200, 288, "C0C0C0", "41 背景色(RGB)Ｒ(0-255)"));
  EXPECT_TRUE(w.drewText(376, 288, "FF0000", " 10"));
  EXPECT_TRUE(w.drewText(376, 304, "00FF00", " 20"));
  EXPECT_TRUE(w.drewText(200, 320, "C0C0C0", "43 背景色(RGB)Ｂ(0-255)"));
  EXPECT_TRUE(w.drewText(376, 320, "0000FF", " 30"));
  // Weights and the peak sign.
  EXPECT_TRUE(w.drewText(358, 16, "C0C0C0", "50 サイコロ比"));
  EXPECT_TRUE(w.drewText(468, 16, "C0C0C0", "  5"));
  EXPECT_TRUE(w.drewText(358, 176, "C0C0C0", "60 ピークサイン"));
  EXPECT_TRUE(w.drewText(468, 176, "C0C0C0", "  1"));
  // Swatch in the background colour, then the legend over it.
  const auto& ops = w.driver().recording().operations();
  auto swatch = std::find(ops.begin(), ops.end(), "fill 356 336 516 414 0A141E");
  auto zero = std::find(ops.begin(), ops.end(), DbWindow::textOp(372, 352, "000000", "0"));
  ASSERT_NE(swatch, ops.end());
  ASSERT_NE(zero, ops.end());
  EXPECT_LT(swatch, zero);
  EXPECT_TRUE(w.drewText(484, 352, "C0C0C0", "7"));
  EXPECT_TRUE(w.drewText(372, 384, "808080", "8"));
  EXPECT_TRUE(w.drewText(388, 384, "0000FF", "9"));
  EXPECT_TRUE(w.drewText(400, 384, "00FF00", "10"));
  EXPECT_TRUE(w.drewText(480, 384, "FFFFFF", "15"));
  // Commands and prompt.
  EXPECT_TRUE(w.drewText(0, 336, "FFFFFF", "全てを既定値に設定する.....77T77E"));
  EXPECT_TRUE(w.drewText(0, 352, "FFFFFF", "設定を変更する.............項目番号T値E"));
  EXPECT_TRUE(w.drewText(0, 368, "FFFFFF", "設定を終了する.............99T99E"));
  EXPECT_TRUE(w.drewText(0, 384, "FFFF00", "処理入力(2ﾂﾉｽｳｼﾞｦTﾃﾞｸｷﾞﾙE)→"));
  // One label per item: 19 colours in column 0, periods and background in column 200.
  int labels = 0;
  for (int item = 1; item <= 19; ++item) labels += w.textsAt(0, 16 * item);
  for (int item = 20; item <= 35; ++item) labels += w.textsAt(200, 16 * (item - 19));
  for (int item = 50; item <= 60; ++item) labels += w.textsAt(358, 16 * (item - 49));
  EXPECT_EQ(labels, 19 + 16 + 11);

  w.type("5T");
  EXPECT_TRUE(w.drewText(192, 384, "FFFF00", "5T"));
}

TEST_F(SettingsEditorTest, AcceptedEntriesChangeOnlyTheirItem) {
  struct Case {
    const char* keys;
    int item;
    int value;
  };
  const Case cases[] = {
      {"5T3E", 5, 3},       {"29T0E", 29, 0},    {"30TE", 30, 0},     {"5T0E", 5, 0},
      {"60T0E", 60, 0},     {"41T0E", 41, 0},    {"19T15E", 19, 15},  {"35T416E", 35, 416},
      {"35T24E", 35, 24},   {"43T255E", 43, 255}, {"51T50E", 51, 50}, {"25T20E", 25, 20},
      {"28T60E", 28, 60},   {"1T007E", 1, 7},
  };
  DbWindow w;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    open(w);
    std::vector<int> expected = allValues(w.chart());
    const int bells = BellCount();
    w.type(c.keys);
    EXPECT_EQ(BellCount(), bells);
    const auto& items = marketdb::settingItems();
    for (std::size_t i = 0; i < items.size(); ++i)
      if (items[i].number == c.item) expected[i] = c.value;
    EXPECT_EQ(allValues(w.chart()), expected);
  }
  // The colour of a colour item's value follows its new number at once.
  open(w, "5T12E");
  EXPECT_TRUE(w.drewText(152, 80, "FF0000", "12"));
}

TEST_F(SettingsEditorTest, RefusedEntriesRingAndChangeNothing) {
  const char* refused[] = {
      "50T0E",  // weights start at 1
      "1T16E",  // colour numbers stop at 15
      "77T1E", "77T0E", "31T0E", "20T0E", "33T1E", "35T23E", "35T417E", "60T2E",
      "123T4E",  // three-digit item number
      "36T1E", "40T1E", "61T1E", "0T1E", "00T1E",
      "5E", "E", "T5E", "TT5E", "5TT3E", "5T3T4E", "60TTE", "29T1T0E",
      "26T61E", "26T3E", "25T21E", "28T59E", "27T19E", "27T101E",  // neighbours of 25..28
  };
  DbWindow w;
  for (const char* keys : refused) {
    SCOPED_TRACE(keys);
    open(w);
    const std::vector<int> before = allValues(w.chart());
    const int bells = BellCount();
    w.type(keys);
    EXPECT_EQ(BellCount(), bells + 1);
    EXPECT_EQ(allValues(w.chart()), before);
    EXPECT_FALSE(w.drew("text 0 416 FF0000 \"設定終了しました\""));
  }
  // Nothing reached the files.
  EXPECT_EQ(readFile("pelinoru.sys"), sysText(kSysLine1, kSysColours, kSysPeriods));
  EXPECT_EQ(readFile("pelinoru.win"), winText(kWinColours, kWinLine4));
}

TEST_F(SettingsEditorTest, DistributionPeriodsStayInOrder) {
  DbWindow w;
  open(w);
  int bells = BellCount();
  w.type("26T65E");  // above item 27 (60)
  EXPECT_EQ(BellCount(), bells + 1);
  EXPECT_EQ(valueOf(w.chart(), 26), 20);
  w.type("27T70E26T65E");  // raise 27 first, then 26 fits
  EXPECT_EQ(BellCount(), bells + 1);
  EXPECT_EQ(valueOf(w.chart(), 27), 70);
  EXPECT_EQ(valueOf(w.chart(), 26), 65);
  w.type("25T66E");  // now above 26
  EXPECT_EQ(BellCount(), bells + 2);
  w.type("25T65E28T70E");  // equal neighbours are allowed
  EXPECT_EQ(BellCount(), bells + 2);
  EXPECT_EQ(valueOf(w.chart(), 25), 65);
  EXPECT_EQ(valueOf(w.chart(), 28), 70);
}

TEST_F(SettingsEditorTest, ClearEmptiesTheLineAndBlanksTheEcho) {
  DbWindow w;
  open(w, "5T");
  w.type("C");
  EXPECT_TRUE(w.drew("fill 192 383 272 401 000000"));
  EXPECT_EQ(w.textsAt(192, 384), 0);
  const int bells = BellCount();
  w.type("6T2E");
  EXPECT_EQ(BellCount(), bells);
  EXPECT_EQ(valueOf(w.chart(), 6), 2);
  EXPECT_EQ(valueOf(w.chart(), 5), 5);
}

TEST_F(SettingsEditorTest, ElevenKeysStartTheLineAgain) {
  DbWindow w;
  open(w, "1234567890");  // ten characters fill the line
  EXPECT_TRUE(w.drewText(192, 384, "FFFF00", "1234567890"));
  w.type("5");  // the eleventh key empties the line and is dropped
  EXPECT_EQ(w.textsAt(192, 384), 0);
  w.type("5T4E");
  EXPECT_EQ(valueOf(w.chart(), 5), 4);
}

TEST_F(SettingsEditorTest, FinishingWritesBothFiles) {
  DbWindow w;
  open(w, "5T3E20T150E51T45E41T255E29T0E");
  w.type("99T99E");
  EXPECT_TRUE(w.drewText(0, 416, "FF0000", "設定終了しました"));
  EXPECT_FALSE(w.closed());
  EXPECT_TRUE(w.messageBoxes().empty());
  // pelinoru.win holds the edited colours and line 4; pelinoru.sys keeps its own store state
  // and colour line and gets the edited periods.
  EXPECT_EQ(readFile("pelinoru.win"),
            winText("1 2 3 4 3 6 7 8 9 10 11 12 13 14 15 0 1 2 3\n",
                    "0 255 20 30 5 45 5 5 5 5 5 5 5 5 1 0 0 0 0 0\n"));
  EXPECT_EQ(readFile("pelinoru.sys"),
            sysText(kSysLine1, kSysColours,
                    "150  20  60  10  20   4  20  60 100   0  20  30  10  15   4 200\n"));
  EXPECT_EQ(w.chart().screenMode, 0);
  EXPECT_EQ(w.chart().win.colours[4], 3);

  // The editor is closed: a repaint shows the empty window and writes nothing.
  const int bells = BellCount();
  writeFile("pelinoru.win", winText(kWinColours, kWinLine4));
  w.driver().paint();
  EXPECT_EQ(w.driver().recording().operations().size(), 1u);
  EXPECT_EQ(BellCount(), bells);
  EXPECT_EQ(readFile("pelinoru.win"), winText(kWinColours, kWinLine4));
}

TEST_F(SettingsEditorTest, ItemNinetyNineFinishesWhateverItsValue) {
  const std::string expectedWin =
      winText("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 0 1 2 3\n",
              "0 10 20 30 5 5 5 5 5 5 5 5 5 5 0 0 0 0 0 0\n");
  const std::string expectedSys =
      sysText(kSysLine1, kSysColours,
              "100  20  60  10  20   4  20  60 100  10  20  30  10  15   7 200\n");
  for (const char* finish : {"99T99E", "99T0E", "99TE", "99T12345E", "99TTE", "99T9T9E"}) {
    SCOPED_TRACE(finish);
    SetUp();
    DbWindow w;
    open(w, "60T0E34T7E");
    w.type(finish);
    EXPECT_TRUE(w.drewText(0, 416, "FF0000", "設定終了しました"));
    EXPECT_EQ(readFile("pelinoru.win"), expectedWin);
    EXPECT_EQ(readFile("pelinoru.sys"), expectedSys);
  }
}

TEST_F(SettingsEditorTest, DefaultsRestoreEveryItem) {
  DbWindow w;
  open(w, "5T3E60T0E41T99E");
  const int bells = BellCount();
  w.type("77T77E");
  EXPECT_EQ(BellCount(), bells);
  const auto& c = w.chart();
  EXPECT_EQ(valueOf(c, 1), 11);
  EXPECT_EQ(valueOf(c, 5), 11);
  EXPECT_EQ(valueOf(c, 19), 9);
  EXPECT_EQ(valueOf(c, 20), 200);
  EXPECT_EQ(valueOf(c, 28), 128);
  EXPECT_EQ(valueOf(c, 35), 260);
  EXPECT_EQ(valueOf(c, 41), 0);
  EXPECT_EQ(valueOf(c, 43), 0);
  EXPECT_EQ(valueOf(c, 57), 30);
  EXPECT_EQ(valueOf(c, 60), 1);
  EXPECT_TRUE(w.drew("fill 356 336 516 414 000000"));

  w.type("99T99E");
  // Edited colours reach pelinoru.win only; the database kind and the codes are kept.
  EXPECT_EQ(readFile("pelinoru.win"),
            winText("11 14 7 12 11 9 10 13 14 11 15 12 10 14 13 12 11 15 9\n",
                    "0 0 0 0 10 40 30 20 15 10 10 30 15 20 1 0 0 0 0 0\n"));
  EXPECT_EQ(readFile("pelinoru.sys"),
            sysText(kSysLine1, kSysColours,
                    "200  25  75  13  26   5  25  75 128  13  22  32  12  18   5 260\n"));
}

TEST_F(SettingsEditorTest, LeavingWithoutFinishingLosesTheEdits) {
  DbWindow w;
  open(w, "5T3E20T150E");
  w.menu(dbprogram::IdKakunonaosi);  // another screen takes over
  open(w);
  EXPECT_EQ(valueOf(w.chart(), 5), 5);
  EXPECT_EQ(valueOf(w.chart(), 20), 100);
  EXPECT_EQ(readFile("pelinoru.sys"), sysText(kSysLine1, kSysColours, kSysPeriods));
  EXPECT_EQ(readFile("pelinoru.win"), winText(kWinColours, kWinLine4));
}

TEST_F(SettingsEditorTest, RepaintKeepsTheEdits) {
  DbWindow w;
  open(w, "5T3E");
  w.driver().size(800, 600);
  EXPECT_EQ(valueOf(w.chart(), 5), 3);
  EXPECT_TRUE(w.drewText(152, 80, "008080", " 3"));
  w.type("99T99E");
  EXPECT_EQ(readFile("pelinoru.win"),
            winText("1 2 3 4 3 6 7 8 9 10 11 12 13 14 15 0 1 2 3\n", kWinLine4));
}

// What other writers put into the files while the editor was open is kept: the store state of
// pelinoru.sys and the watch list of pelinoru.win (the chart viewer writes it).
TEST_F(SettingsEditorTest, FinishingKeepsWhatOthersWroteMeanwhile) {
  DbWindow w;
  open(w, "5T3E");
  const std::string newLine1 = "   0 990111    0   8\n";
  const std::string newCodes = "1301 7203 6758 9984 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
  writeFile("pelinoru.sys", sysText(newLine1, kSysColours, kSysPeriods));
  writeFile("pelinoru.win", winText(kWinColours, kWinLine4, newCodes));
  w.type("99T99E");
  EXPECT_EQ(readFile("pelinoru.sys"), sysText(newLine1, kSysColours, kSysPeriods));
  EXPECT_EQ(readFile("pelinoru.win"),
            winText("1 2 3 4 3 6 7 8 9 10 11 12 13 14 15 0 1 2 3\n", kWinLine4, newCodes));
}

TEST_F(SettingsEditorTest, MissingFileOnOpeningClosesTheWindow) {
  for (const char* missing : {"pelinoru.sys", "pelinoru.win"}) {
    SCOPED_TRACE(missing);
    SetUp();
    std::filesystem::remove(missing);
    DbWindow w;
    open(w);
    ASSERT_EQ(w.messageBoxes().size(), 1u);
    EXPECT_EQ(w.messageBoxes()[0], std::string("[ﾌｧｲﾙ存在状況] ") + missing + " が存在しません");
    EXPECT_TRUE(w.closed());
  }
}

TEST_F(SettingsEditorTest, MissingSystemFileOnFinishingWritesNothing) {
  DbWindow w;
  open(w, "5T3E");
  std::filesystem::remove("pelinoru.sys");
  w.type("99T99E");
  ASSERT_EQ(w.messageBoxes().size(), 1u);
  EXPECT_EQ(w.messageBoxes()[0], "[ﾌｧｲﾙ存在状況] pelinoru.sys が存在しません");
  EXPECT_TRUE(w.closed());
  EXPECT_EQ(readFile("pelinoru.win"), winText(kWinColours, kWinLine4));
  EXPECT_FALSE(std::filesystem::exists("pelinoru.sys"));
}

TEST_F(SettingsEditorTest, UnwritableSettingsFileLeavesTheSystemFileAlone) {
  DbWindow w;
  open(w, "20T150E");
  // A folder in the file's place cannot be replaced by a file.
  std::filesystem::remove("pelinoru.win");
  std::filesystem::create_directory("pelinoru.win");
  writeFile("pelinoru.win/keep", "x");
  w.type("99T99E");
  ASSERT_EQ(w.messageBoxes().size(), 1u);
  EXPECT_EQ(w.messageBoxes()[0], "[ﾌｧｲﾙ存在状況] pelinoru.win が出力できません");
  EXPECT_TRUE(w.closed());
  EXPECT_EQ(readFile("pelinoru.sys"), sysText(kSysLine1, kSysColours, kSysPeriods));
}

}  // namespace
