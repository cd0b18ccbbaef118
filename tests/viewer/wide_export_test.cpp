// kabudata.txt of a wide database: the full date, the four-character code and the exact volume.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "marketdb/layout.h"
#include "tests/support/test_support.h"
#include "viewer/tchart.h"

namespace {

TEST(WideExport, LinesOfAWideDatabase) {
  testsupport::TempWorkDir dir;
  testsupport::writeFile(dir.path() / marketdb::WideSystemFileName, "");  // the folder's kind
  viewer::TChart chart;
  chart.table->kcodeidx[0] = marketdb::codeFromText("130A");
  std::strcpy(chart.table->kmeiidx[0].text, "NAME");
  chart.stockCount = 1;
  chart.currentStock = 0;
  chart.storePosition = 5;  // slot 6 is the oldest, slot 5 the newest
  const int s = 5;
  chart.dates[s] = 20240105;
  chart.opens[s] = 45000;
  chart.highs[s] = 99999999;
  chart.lows[s] = 44000;
  chart.closes[s] = 45500;
  chart.changes[s] = -1500;
  chart.exactVolumes[s] = 123456789012345.0;  // beyond a float's exact range
  chart.maValue1[s] = 45100;
  chart.signTotal[s] = -7;

  // The line of the file's format: "%8d %4s %6s %5d %5d %5d %5d %5d %8.1f" and the eleven series.
  auto line = [](int date, int open, int high, int low, int close, int change, double volume,
                 int ma1, int sign) {
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "%8d %4s %6s %5d %5d %5d %5d %5d %8.1f %5d %3d %5d %3d %5d %3d %3d %3d %3d %3d "
                  "%5d\n",
                  date, "130A", "NAME", open, high, low, close, change, volume, ma1, 0, 0, 0, 0, 0,
                  0, 0, 0, 0, sign);
    return std::string(buf);
  };
  const std::string text = chart.priceHistoryText();
  ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 640);
  // Oldest slot first: the empty slot 6 (date 0), ..., the newest slot 5 last.
  EXPECT_EQ(text.substr(0, text.find('\n') + 1), line(0, 0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1),
            line(20240105, 45000, 99999999, 44000, 45500, -1500, 123456789012345.0, 45100, -7));
}

}  // namespace
