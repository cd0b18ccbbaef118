// A small database in a temporary working directory and a chart window driven through the
// headless driver, for the tests of the chart screen, the long-term chart and the price table.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "marketdb/files.h"
#include "platform/host/headless_driver.h"
#include "tests/support/test_support.h"
#include "viewer/tchart.h"

namespace charttest {

// One recorded drawing operation, parsed.
struct Op {
  std::string kind;   // fill, text, line, rect, pixel
  int v[4] = {};      // coordinates in recording order
  std::string colour; // RRGGBB
  std::string style;  // lines: solid, dot, dashdot
  std::string text;   // texts: UTF-8, unquoted
};
std::vector<Op> parseOps(const std::vector<std::string>& lines);

struct Stock {
  float code = 0;
  std::string nameUtf8;
  int section = 1;
  std::vector<marketdb::DayRecord> ring = std::vector<marketdb::DayRecord>(marketdb::HistoryDays);
};

class ChartFixture : public ::testing::Test {
 public:
  ChartFixture();
  ~ChartFixture() override;

  // Ring slot of day i counted from the oldest day (i = 639 is the newest).
  int slotOfDay(int i) const { return (sys.storePosition + 1 + i) % marketdb::HistoryDays; }

  // Writes the four files, creates the window and runs its first paint (the stock menu).
  void open();
  // Types the code on the keyboard and confirms it with Enter (the daily chart of the stock),
  // then repaints.
  void show(int code);
  void key(unsigned vk) { driver->key(vk); }

  std::vector<Op> ops() const;  // operations of the last paint (see ignoreUpperArea)
  std::vector<Op> texts(const std::string& text) const;
  bool hasText(int x, int y, const std::string& colour, const std::string& text) const;
  bool hasLine(int x1, int y1, int x2, int y2, const std::string& colour,
               const std::string& style) const;
  int countPixels(const std::string& colour) const;
  int countLines(const std::string& colour, const std::string& style) const;

  // Tests of the long-term chart look past the pane above it: ops() then leaves out every
  // operation whose topmost y lies in the upper area (1 .. H + 22), keeping the top row.
  bool ignoreUpperArea = false;

  testsupport::TempWorkDir dir;
  marketdb::SystemFile sys;
  marketdb::SettingsFile win;
  std::vector<Stock> stocks;
  std::ostringstream messages;
  std::unique_ptr<SDIDecFrame> frame;
  std::unique_ptr<HeadlessDriver> driver;
  viewer::TChart* chart = nullptr;
};

// A stock of 640 trading days with easily computed figures (day i from the oldest):
//   close 1040 + i; open close - 10 on even days (rising), close + 10 on odd days (falling);
//   high close + 41, low close - 40 (so the lows start at 1000 and the highs end at 1720);
//   volume 720, 1440 on day 300; day 30 is empty (dated, volume 0, prices 0);
//   day 200 has high = low = close;
//   dates: 21-day months from January 1997 (day i is in month i / 21, on day i % 21 + 1).
Stock linearStock(const ChartFixture& f, float code);
std::int32_t monthDate(int i);

}  // namespace charttest
