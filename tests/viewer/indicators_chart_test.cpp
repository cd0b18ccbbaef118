// The calculations of the daily, equilibrium and weekly charts, each against a plain
// computation written here: day of week, moving averages, the Ichimoku extremes, the
// volume-at-price distribution, the weekly bars and the weekly RCI.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <random>
#include <vector>

#include "marketdb/files.h"
#include "viewer/chart_screen_state.h"
#include "viewer/indicators/averages.h"
#include "viewer/indicators/distribution.h"
#include "viewer/indicators/ichimoku.h"
#include "viewer/indicators/weekday.h"
#include "viewer/indicators/weekly.h"

namespace {

using viewer::RingDays;

TEST(DayOfWeekTest, DatesOfBothCenturiesAndOutOfRange) {
  struct Case {
    float date;
    int weekday;
  };
  const Case cases[] = {
      {990104, 1},  // 1999-01-04, Monday
      {104, 2},     // 2000-01-04, Tuesday
      {451231, 0},  // read as 2045-12-31, Sunday
      {460101, 2},  // read as 1946-01-01, Tuesday
      {991231, 5},  // 1999-12-31, Friday
      {229, 2},     // 2000-02-29, Tuesday
      {100301, 1},  // 2010-03-01, Monday (after February)
      {-1, 7},      // no date at all
      {1.0e7f, 7},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(viewer::dayOfWeek(marketdb::dateKey(c.date)), c.weekday) << c.date;
  }
  // Every day of 1998, 2003 and 2096 (a leap year past the classic window) against the
  // calendar.
  using namespace std::chrono;
  for (int y : {1998, 2003, 2096}) {
    for (sys_days d = sys_days{year{y} / January / 1}; d < sys_days{year{y + 1} / January / 1};
         d += days{1}) {
      const year_month_day ymd{d};
      const std::int32_t date = static_cast<int>(ymd.year()) * 10000 +
                                static_cast<int>(unsigned{ymd.month()}) * 100 +
                                static_cast<int>(unsigned{ymd.day()});
      ASSERT_EQ(viewer::dayOfWeek(date), static_cast<int>(weekday{d}.c_encoding())) << date;
    }
  }
}

// A random ring: closes base + 1..999, highs and lows around them, about one day in six empty.
struct Ring {
  std::vector<int> high, low, close;
  std::vector<float> volume;
  explicit Ring(unsigned seed, int emptyEvery = 6, int base = 0)
      : high(RingDays), low(RingDays), close(RingDays), volume(RingDays) {
    std::mt19937 rng(seed);
    for (int s = 0; s < RingDays; ++s) {
      close[s] = base + 1 + static_cast<int>(rng() % 999);
      high[s] = close[s] + static_cast<int>(rng() % 30);
      low[s] = close[s] - static_cast<int>(rng() % 30);
      volume[s] = rng() % emptyEvery == 0 ? 0.0f : static_cast<float>(1 + rng() % 500);
    }
  }
};

TEST(MovingAverageTest, WalkAgreesWithAWindowSummedAnew) {
  const Ring ring(7);
  const int oldest = 123;
  struct Case {
    int firstDay, count, period;
  };
  const Case cases[] = {{427 - 20, 233, 20}, {427 - 320, 533, 320}, {0, 640, 1},
                        {-10, 100, 25},      {427 - 75, 288, 75},   {0, 50, 0},
                        {0, 50, -3},         {0, 640, 641}};
  std::vector<float> average(1000);
  std::vector<char> definedBuffer(1000);
  bool* defined = reinterpret_cast<bool*>(definedBuffer.data());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.period);
    viewer::closeAverageWalk(ring.close.data(), ring.volume.data(), oldest, c.firstDay, c.count,
                             c.period, average.data(), defined);
    for (int i = 0; i < c.count; ++i) {
      bool expectDefined = false;
      float expect = 0.0f;
      if (c.period >= 1 && i >= c.period - 1) {
        float sum = 0.0f;
        int trading = 0;
        for (int j = i - c.period + 1; j <= i; ++j) {
          const int day = c.firstDay + j;
          if (day < 0 || day >= RingDays) continue;
          const int s = (oldest + day) % RingDays;
          if (ring.volume[s] == 0.0f) continue;
          sum += static_cast<float>(ring.close[s]);
          ++trading;
        }
        // skip < period: at least one trading day; the divisor counts the window's trading days.
        expectDefined = trading > 0;
        if (expectDefined) expect = sum / static_cast<float>(trading);
      }
      ASSERT_EQ(defined[i], expectDefined) << "step " << i;
      if (expectDefined) {
        ASSERT_EQ(average[i], expect) << "step " << i;
      }
    }
  }
}

TEST(PriceRangeTest, TradingDaysOnlyAcrossTheWrap) {
  const int highs[5] = {50, 10, 20, 99, 30};
  const int lows[5] = {1, 5, 8, 2, 9};
  const float volumes[5] = {7, 3, 4, 0, 6};
  // Entries 3, 4, 0, 1: entry 3 is empty.
  const viewer::PriceRange r = viewer::priceRange(highs, lows, volumes, 5, 3, 4);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.base, 1);
  EXPECT_EQ(r.volume, 7.0f);
  EXPECT_TRUE(r.drawable());
  const viewer::PriceRange none = viewer::priceRange(highs, lows, volumes, 5, 3, 1);
  EXPECT_EQ(none.top, 0);
  EXPECT_EQ(none.base, 32700);
  EXPECT_FALSE(none.drawable());
}

// Prices that never come down to 32700 (the low of a history without a trading day) keep their
// real lowest low, in every window the charts search.
TEST(PriceRangeTest, LowsAboveTheEmptyLowAreTheirOwn) {
  const Ring ring(21, 6, 32730);
  for (int newest : {0, 333, 639}) {
    for (int period : {1, 25, 640}) {
      int lowest = INT_MAX;
      for (int k = 0; k < period; ++k) {
        const int s = (newest - k + RingDays) % RingDays;
        if (ring.volume[s] != 0.0f) lowest = std::min(lowest, ring.low[s]);
      }
      if (lowest == INT_MAX) lowest = 32700;
      EXPECT_EQ(viewer::distributionBase(ring.low.data(), ring.volume.data(), newest, period), lowest);
      const int first = (newest - period + 1 + RingDays) % RingDays;
      EXPECT_EQ(viewer::priceRange(ring.high.data(), ring.low.data(), ring.volume.data(), RingDays, first, period).base,
                lowest);
    }
  }
}

TEST(IchimokuTest, IncrementalExtremesAgreeWithRescanningEveryWindow) {
  struct Case {
    unsigned seed;
    int emptyEvery, firstDay, count, period, base = 0;
  };
  const Case cases[] = {{1, 6, 427 - 9, 222, 9},  {2, 6, 427 - 26, 239, 26},
                        {3, 2, 427 - 52, 265, 52}, {4, 6, -52, 692, 52},
                        {5, 1000, -26, 666, 26},   {6, 6, 0, 640, 1},
                        {7, 6, 0, 30, 52},         {8, 6, 0, 640, 0},
                        {9, 3, 427 - 26, 239, 26, 32730}};  // every low above 32700
  std::vector<float> line(700);
  std::vector<char> definedBuffer(700);
  bool* defined = reinterpret_cast<bool*>(definedBuffer.data());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seed);
    Ring ring(c.seed, c.emptyEvery, c.base);
    // Long flat stretches make many days hold the extreme at once.
    for (int s = 100; s < 160; ++s) ring.high[s] = c.base + 900, ring.low[s] = c.base + 100;
    const int oldest = 300;
    viewer::ichimokuLine(ring.high.data(), ring.low.data(), ring.volume.data(), oldest,
                         c.firstDay, c.count, c.period, line.data(), defined);
    for (int i = 0; i < c.count; ++i) {
      bool expectDefined = false;
      int hi = 0, lo = INT_MAX;
      if (c.period >= 1 && i >= c.period - 1 && c.period <= c.count) {
        bool inside = c.firstDay + i - c.period + 1 >= 0;
        bool trading = false;
        for (int j = i - c.period + 1; j <= i; ++j) {
          const int day = c.firstDay + j;
          if (day < 0 || day >= RingDays) continue;
          const int s = (oldest + day) % RingDays;
          if (ring.volume[s] == 0.0f) continue;
          trading = true;
          hi = std::max(hi, ring.high[s]);
          lo = std::min(lo, ring.low[s]);
        }
        expectDefined = inside && trading;
      }
      ASSERT_EQ(defined[i], expectDefined) << "step " << i;
      if (expectDefined) {
        ASSERT_EQ(line[i], static_cast<float>(hi + lo) / 2.0f) << "step " << i;
      }
    }
  }
}

TEST(DistributionTest, PassesSpreadEachDayOverItsPrices) {
  // Ring slots 10 (newest), 9, 8: three days; slot 9 is empty.
  std::vector<int> high(RingDays, 0), low(RingDays, 0);
  std::vector<float> volume(RingDays, 0.0f);
  high[10] = 102, low[10] = 100, volume[10] = 30;  // 3 prices, 10 each
  high[9] = 500, low[9] = 1, volume[9] = 0;        // empty: no share
  high[8] = 101, low[8] = 99, volume[8] = 6;       // 3 prices, 2 each
  EXPECT_EQ(viewer::distributionBase(low.data(), volume.data(), 10, 3), 99);
  EXPECT_EQ(viewer::distributionBase(low.data(), volume.data(), 10, 1), 100);
  EXPECT_EQ(viewer::distributionBase(low.data(), volume.data(), 10, 0), 32700);

  struct Case {
    int period, base, step;
    float scale;
    int rows;
    std::vector<float> expect;  // rows from 0
    int topRow;
  };
  const Case cases[] = {
      // Rows = price - 99: 99 -> 2, 100 -> 12, 101 -> 12, 102 -> 10.
      {3, 99, 1, 1.0f, 10, {2, 12, 12, 10, 0, 0, 0, 0, 0, 0}, 3},
      // Half a unit per yen: 99, 100 -> row 0; 101, 102 -> row 1.
      {3, 99, 1, 0.5f, 4, {14, 22, 0, 0}, 1},
      // Three rows only: the price 102 (row 3) is dropped.
      {3, 99, 1, 1.0f, 3, {2, 12, 12}, 2},
      // A ten-yen step: span 2 + 10 = 12, share 30 / 12 = 2.5 for 100 and 110 (rows 0 and 5 at
      // scale 0.5); 120 lies 20 above the low, past the span.
      {1, 100, 10, 0.5f, 12, {2.5f, 0, 0, 0, 0, 2.5f, 0, 0, 0, 0, 0, 0}, 5},
      // A base above the day's prices: rows below 0 are dropped (99 -> -1), 100 -> 0.
      {3, 100, 1, 1.0f, 3, {12, 12, 10}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    std::vector<float> histogram(viewer::HistogramRows, -1.0f);
    const viewer::DistributionPass pass =
        viewer::distributionPass(high.data(), low.data(), volume.data(), 10, c.period, c.base,
                                 c.step, c.scale, c.rows, histogram.data());
    float total = 0, largest = 0;
    for (int r = 0; r < c.rows; ++r) {
      EXPECT_FLOAT_EQ(histogram[r], c.expect[r]) << "row " << r;
      total += c.expect[r];
      largest = std::max(largest, c.expect[r]);
    }
    EXPECT_EQ(histogram[c.rows], -1.0f) << "the row past the last is never written";
    EXPECT_FLOAT_EQ(pass.total, total);
    EXPECT_FLOAT_EQ(pass.largest, largest);
    EXPECT_EQ(pass.topRow, c.topRow);
  }
}

TEST(DistributionTest, StepAndPercentages) {
  EXPECT_EQ(viewer::distributionStep(2999, marketdb::codeFromNumber(1301)), 1);
  EXPECT_EQ(viewer::distributionStep(3000, marketdb::codeFromNumber(1301)), 10);
  EXPECT_EQ(viewer::distributionStep(5000, marketdb::codeFromNumber(1001)), 1);
  EXPECT_FLOAT_EQ(viewer::distributionPercent(5, 128), 5.0f / 128.0f * 100.0f);
  EXPECT_EQ(viewer::distributionPercent(5, 0), 0.0f);
}

// A ring of the given dated days (oldest first) starting at slot `oldest`; the rest undated.
struct DatedRing {
  std::vector<std::int32_t> date = std::vector<std::int32_t>(RingDays, 0);
  std::vector<int> open = std::vector<int>(RingDays, 0), high = open, low = open, close = open;
  std::vector<float> volume = std::vector<float>(RingDays, 0.0f);
  int oldest = 600;
  int next = 0;
  void day(float d, int o, int h, int l, int c, float v) {  // d: yymmdd
    const int s = (oldest + next++) % RingDays;
    date[s] = marketdb::dateKey(d), open[s] = o, high[s] = h, low[s] = l, close[s] = c, volume[s] = v;
  }
  void build(viewer::WeekArrays& w) const {
    viewer::buildWeeks(date.data(), open.data(), high.data(), low.data(), close.data(),
                       volume.data(), oldest, w);
  }
};

TEST(WeekBuildingTest, WeeksEndWhenTheWeekdayDoesNotAdvance) {
  DatedRing ring;
  ring.day(990104, 100, 110, 90, 105, 10);  // Monday
  ring.day(990105, 0, 0, 0, 0, 0);          // Tuesday, no trading: dates the week only
  ring.day(990108, 106, 130, 95, 120, 5);   // Friday
  ring.day(990111, 0, 0, 0, 0, 0);          // Monday, a week without trading
  ring.day(990118, 200, 210, 190, 205, 7);  // Monday, a one-day week
  viewer::WeekArrays w;
  ring.build(w);
  ASSERT_EQ(w.count, 3);
  EXPECT_EQ(w.date[0], 19990108);
  EXPECT_EQ(w.open[0], 100);
  EXPECT_EQ(w.high[0], 130);
  EXPECT_EQ(w.low[0], 90);
  EXPECT_EQ(w.close[0], 120);
  EXPECT_EQ(w.volume[0], 15.0f);
  EXPECT_EQ(w.date[1], 19990111);
  EXPECT_EQ(w.volume[1], 0.0f);
  EXPECT_EQ(w.low[1], 0);
  EXPECT_EQ(w.open[1], 0);
  EXPECT_EQ(w.date[2], 19990118);
  EXPECT_EQ(w.open[2], 200);
  EXPECT_EQ(w.close[2], 205);
  EXPECT_EQ(w.date[3], 0);
}

TEST(WeekBuildingTest, MoreWeeksThanTheArraysHoldKeepTheNewest) {
  // Every day a Monday: each starts a week, 640 weeks in all.
  DatedRing ring;
  using namespace std::chrono;
  sys_days d = sys_days{year{1990} / January / 1};  // a Monday
  std::vector<float> dates;
  for (int i = 0; i < RingDays; ++i, d += days{7}) {
    const year_month_day ymd{d};
    const float date = static_cast<float>((static_cast<int>(ymd.year()) % 100) * 10000 +
                                          static_cast<int>(unsigned{ymd.month()}) * 100 +
                                          static_cast<int>(unsigned{ymd.day()}));
    dates.push_back(date);
    ring.day(date, i + 1, i + 2, i, i + 1, 1);
  }
  viewer::WeekArrays w;
  ring.build(w);
  ASSERT_EQ(w.count, viewer::WeekCapacity);
  for (int k = 0; k < viewer::WeekCapacity; ++k) {
    const int day = RingDays - viewer::WeekCapacity + k;
    ASSERT_EQ(w.date[k], marketdb::dateKey(dates[day])) << k;
    ASSERT_EQ(w.close[k], day + 1) << k;
  }
  EXPECT_EQ(viewer::firstShownWeek(w.count), viewer::WeekCapacity - viewer::ShownWeeks);
  EXPECT_EQ(viewer::firstShownWeek(100), 0);
}

TEST(WeeklyRciTest, WorkedWindowsOfTenWeeks) {
  struct Case {
    const char* name;
    std::vector<int> closes;
    std::vector<float> volumes;
    int expect;
  };
  const std::vector<float> full(10, 1.0f);
  std::vector<float> nineEmpty(10, 0.0f);
  nineEmpty[9] = 1;
  std::vector<float> lastEmpty = full;
  lastEmpty[9] = 0;
  std::vector<float> middleEmpty = full;
  middleEmpty[4] = 0;
  const Case cases[] = {
      // Equal closes: price rank 1 for all, sum (j - 1)^2 = 285, (6 * 285 / 990 - 1) * 100.
      {"equal", std::vector<int>(10, 500), full, 72},
      {"rising", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, full, 100},
      // Rising with the last two equal: both take price rank 1, so week 9's d is 8 instead of 7:
      // sum 330 - 49 + 64 = 345, (6 * 345 / 990 - 1) * 100 = 109.09.
      {"tie shares the better rank", {1, 2, 3, 4, 5, 6, 7, 8, 10, 10}, full, 109},
      // Falling: ranks equal the date ranks, sum 0; n = 1; an empty last week (which would
      // give 70 if computed): the first window carries the initial 0.
      {"falling", {10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, full, 0},
      {"nine empty", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, nineEmpty, 0},
      {"last empty", std::vector<int>(10, 500), lastEmpty, 0},
      // The nine trading weeks around an empty fifth week rise strictly: their date ranks are
      // 1..9 among themselves, the reverse of their price ranks, which is +100 exactly.
      {"empty middle week", {1, 2, 3, 4, 0, 6, 7, 8, 9, 10}, middleEmpty, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    float rci = -999.0f;
    ASSERT_EQ(viewer::weeklyRci(c.closes.data(), c.volumes.data(), 10, 10, &rci), 1);
    EXPECT_EQ(static_cast<int>(rci), c.expect);
  }
  // A rising window, then one ending on an empty week: the second carries 100.
  const int closes11[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0};
  const float volumes11[11] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0};
  float two[2] = {};
  ASSERT_EQ(viewer::weeklyRci(closes11, volumes11, 11, 10, two), 2);
  EXPECT_EQ(two[0], 100.0f);
  EXPECT_EQ(two[1], 100.0f);
  std::vector<float> rci(5);
  const int closes[3] = {1, 2, 3};
  const float volumes[3] = {1, 1, 1};
  EXPECT_EQ(viewer::weeklyRci(closes, volumes, 3, 0, rci.data()), 0);
  EXPECT_EQ(viewer::weeklyRci(closes, volumes, 3, 4, rci.data()), 0);
}

}  // namespace
