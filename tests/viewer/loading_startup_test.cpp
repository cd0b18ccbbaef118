// Start-up loading: missing files, the settings in force, code pages and colours.
#include "tests/viewer/shell_fixture.h"

namespace viewertest {
namespace {

class StartupTest : public ViewerFixture {};

TEST_F(StartupTest, MissingFilesAreReportedInOrderAndTheStartGoesOn) {
  start();  // an empty working directory
  // One message for the folder, not one per file.
  const std::string noDatabase = "[ﾌｧｲﾙ存在状況] " + std::filesystem::current_path().string() +
                                 " にデータベースがありません。pelinorx init W (またはN) で作るか、"
                                 "-C DIR でデータベースのあるﾌｫﾙﾀﾞを指定してください\n";
  EXPECT_EQ(out.str(), noDatabase);
  EXPECT_FALSE(driver->closed());
  EXPECT_EQ(chart().stockCount, 0);
  // The menu shows its header and no stock; a typed code leaves the screen empty.
  EXPECT_TRUE(drewText(560, 0, White, "注目"));
  EXPECT_TRUE(menuCodes().empty());
  show(1301);
  EXPECT_EQ(ops().back(), textOp(0, 464, Red, "銘柄コード1301はデータベースにありません"));
  for (unsigned key : {VK_F3, VK_F8, VK_LEFT, VK_RIGHT, VK_F9, VK_DOWN, VK_INSERT, VK_DELETE}) {
    driver->key(key);
    EXPECT_FALSE(driver->closed());
  }
  // Nothing was written.
  EXPECT_FALSE(std::filesystem::exists(marketdb::SettingsFileName));
  EXPECT_EQ(out.str(), noDatabase);

  // The watch and link pages read pelinoru.win again: without it they report and close.
  type("31\r");
  EXPECT_TRUE(out.str().ends_with("[ﾌｧｲﾙ存在状況] pelinoru.win が存在しません\n"));
  EXPECT_TRUE(driver->closed());
}

TEST_F(StartupTest, OnlyTheMissingFileIsReported) {
  useDefaultStocks();
  writeDatabase(true, true, true, false);
  start();
  EXPECT_EQ(out.str(), "[ﾌｧｲﾙ存在状況] pelinoru.dat が存在しません\n");
  // Without the price file a stock shows an empty history.
  show(1377);
  EXPECT_EQ(chart().currentStock, 2);
  EXPECT_EQ(chart().chartMax, 0);
  EXPECT_EQ(chart().chartMin, 32700);
  EXPECT_EQ(chart().volumeMax, 0.0f);
}

TEST_F(StartupTest, SettingsFileColoursOverrideTheSystemFileAndPeriodsComeFromIt) {
  useDefaultStocks();
  for (int i = 0; i < 19; ++i) sys.colours[i] = 12;
  win.colours[0] = 15;
  win.colours[1] = 1;
  win.colours[2] = 99;  // not drawn: components stay unset
  win.colours[3] = 16;  // outside the palette
  sys.periods[0] = 150;
  sys.periods[15] = 300;
  win.background[0] = 1;
  win.background[1] = 2;
  win.background[2] = 3;
  win.weights[0] = 7;
  win.peakSign = 0;
  writeDatabase();
  start();
  const viewer::TChart& c = chart();
  EXPECT_EQ(c.colour(1).number, 15);
  EXPECT_EQ(c.colour(1).red, 255);
  EXPECT_EQ(c.colour(1).green, 255);
  EXPECT_EQ(c.colour(1).blue, 255);
  EXPECT_EQ(c.colour(2).blue, 128);
  EXPECT_EQ(c.colour(2).red, 0);
  EXPECT_EQ(c.colour(3).number, 99);
  EXPECT_EQ(c.colour(3).red + c.colour(3).green + c.colour(3).blue, 0);
  EXPECT_EQ(c.colour(4).number, 16);
  EXPECT_EQ(c.colour(5).number, 11);  // the default that pelinoru.win holds, not the 12 of .sys
  EXPECT_EQ(c.setting(20), 150);
  EXPECT_EQ(c.setting(35), 300);
  EXPECT_EQ(c.background[2], 3);
  EXPECT_EQ(c.ratios[0], 7);
  EXPECT_EQ(c.peakSign, 0);
  EXPECT_EQ(c.storePosition, 9);
  EXPECT_EQ(c.lastStoreDate, 20100110);
}

TEST_F(StartupTest, DamagedStorePositionAndPeriodsFallBackToSafeValues) {
  useDefaultStocks();
  sys.storePosition = 700;
  sys.periods[15] = 0;     // 上側画面幅 0
  sys.periods[0] = -5;     // a negative period
  writeDatabase();
  start();
  EXPECT_EQ(chart().storePosition, 0);
  EXPECT_EQ(chart().setting(35), 260);
  EXPECT_EQ(chart().setting(20), 200);
  show(1301);
  EXPECT_EQ(chart().viewMode, 9);
}

TEST_F(StartupTest, CodePagesFollowTheBoundsOfTheDatabaseKind) {
  for (float code : {1001.f, 2001.f, 4001.f, 5101.f, 5901.f, 6501.f, 7200.f, 8001.f, 8301.f,
                     8801.f, 9800.f})
    stocks.push_back({code, 1, "銘柄", 0});

  win.databaseKind = 0;
  writeDatabase();
  start();
  {
    const int expected[11] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11};
    EXPECT_TRUE(std::equal(expected, expected + 11, chart().pageStart));
  }
  type("16\r");
  EXPECT_EQ(menuCodes(), std::vector<std::string>{"0,16:7200"});

  driver.reset();
  frame.reset();
  win.databaseKind = 1;
  writeDatabase();
  start();
  {
    // 7500 and 9700: 7200 stays on page 5, the later stocks each take the next bound.
    const int expected[11] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11};
    EXPECT_TRUE(std::equal(expected, expected + 11, chart().pageStart));
  }
  type("15\r");
  EXPECT_EQ(menuCodes(), (std::vector<std::string>{"0,16:6501", "80,16:7200"}));
  type("16\r");
  EXPECT_EQ(menuCodes(), std::vector<std::string>{"0,16:8001"});
}

TEST_F(StartupTest, PagesThePassNeverReachesStartBehindTheLastStock) {
  stocks = {{1001, 1, "甲", 0}, {1500, 1, "乙", 0}};
  writeDatabase();
  start();
  const int expected[11] = {0, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
  EXPECT_TRUE(std::equal(expected, expected + 11, chart().pageStart));
  type("19\r");
  EXPECT_TRUE(menuCodes().empty());
}

}  // namespace
}  // namespace viewertest
