// One stock's metrics, each against a value worked out by hand. The weights of all terms but
// the one under test are 0, so sｻｲﾝ shows that term alone.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "dbprogram/analysis.h"
#include "tests/dbprogram/analysis_testdb.h"

namespace {

using analysistest::Day;
using analysistest::record;
using analysistest::slotBack;
using dbprogram::AnalysisSettings;
using dbprogram::RankingRow;

AnalysisSettings zeroWeights() {
  AnalysisSettings s;
  for (int& w : s.rciWeight) w = 0;
  s.maWeight2 = s.maWeight3 = 0;
  s.psychoWeight = s.rsiWeight = s.wvrWeight = 0;
  s.shinoharaAWeight = s.shinoharaBWeight = 0;
  return s;
}

class Metrics : public ::testing::Test {
 protected:
  // The latest day sits at slot 2, so every window of more than three days wraps past slot 0.
  static constexpr int Latest = 2;

  void put(int back, Day d) {
    if (d.date == 0) d.date = static_cast<float>(10000 - back);
    h.day[slotBack(Latest, back)] = record(d);
  }
  // An active day with all four prices equal.
  void flat(int back, int close, int change = 0, float volume = 100) {
    put(back, Day{0, close, close, close, close, change, volume});
  }
  // Closes oldest first, ending at the latest day.
  void closes(std::initializer_list<int> values) {
    int back = static_cast<int>(values.size()) - 1;
    for (int c : values) flat(back--, c);
  }
  RankingRow analyse(float comparisonDate = 0) {
    RankingRow r;
    dbprogram::analyseStock(h, Latest, marketdb::dateKey(comparisonDate), st, r);
    return r;
  }

  marketdb::StockHistory h{};
  AnalysisSettings st = zeroWeights();
};

TEST_F(Metrics, NoActiveDayGivesTheEmptyValues) {
  // Stored on the latest day, but without a trade: every window is empty.
  put(0, Day{10000, 0, 0, 0, 0, 0, 0});
  st = AnalysisSettings{};  // the default weights: any term would show
  RankingRow r = analyse(999999);
  EXPECT_EQ(r.close, 0);
  EXPECT_EQ(r.riseRate, 0);
  EXPECT_EQ(r.volumeChange, 0);
  EXPECT_EQ(r.rci3, 0);
  EXPECT_EQ(r.deviation2, 0);
  EXPECT_EQ(r.sign, 0);
  // high max 0, low min 32700: (0 - 32700) / (0 - 32700) * 1000.
  EXPECT_EQ(r.rebound, 1000);
  EXPECT_EQ(r.range, 0);
  EXPECT_EQ(r.sinceDate, 0);
}

TEST_F(Metrics, StoredOnlyWhenTheLatestSlotCarriesTheLastDate) {
  put(0, Day{990105, 1, 1, 1, 1, 0, 10});
  EXPECT_TRUE(dbprogram::storedOnLatestDay(h, Latest, 19990105));
  EXPECT_FALSE(dbprogram::storedOnLatestDay(h, Latest, 19990106));
  EXPECT_FALSE(dbprogram::storedOnLatestDay(h, 700, 19990105));
}

TEST_F(Metrics, RciFromRanksOfTheActiveDays) {
  st.rciPeriod[2] = 4;
  st.rciWeight[2] = 20;
  // 100, (empty), 300, 200: n = 3, price ranks 3, 1, 2 -> S = 4 + 1 + 1 = 6,
  // RCI = (1 - 36 / 24) * -100 = 50; term 50 * 20 / 10 = 100.
  flat(3, 100);
  put(2, Day{0, 500, 500, 500, 500, 0, 0});
  flat(1, 300);
  flat(0, 200);
  RankingRow r = analyse();
  EXPECT_EQ(r.rci3, 500);
  EXPECT_EQ(r.sign, 100);
}

TEST_F(Metrics, RciEqualClosesShareARank) {
  st.rciPeriod[2] = 3;
  st.rciWeight[2] = 10;
  // 100, 200, 200: ranks 3, 1, 1 -> S = 4 + 1 + 4 = 9, RCI = (1 - 54 / 24) * -100 = 125.
  closes({100, 200, 200});
  RankingRow r = analyse();
  EXPECT_EQ(r.rci3, 1250);
  EXPECT_EQ(r.sign, 125);
}

TEST_F(Metrics, RciIsComputedInSinglePrecision) {
  st.rciPeriod[2] = 5;
  st.rciWeight[2] = 10;
  // 100, 102, 101, 104, 103: ranks 5, 3, 4, 1, 2 -> S = 16 + 1 + 1 + 9 + 9 = 36,
  // 6S / (n^3 - n) = 216 / 120 = 1.8. In floats 1.8f = 1.79999995, so RCI = 79.9999924 and
  // RCI * 10 = 799.999939: RCI3 799 (exact arithmetic would give 800); the term is 79.99999.
  closes({100, 102, 101, 104, 103});
  RankingRow r = analyse();
  EXPECT_EQ(r.rci3, 799);
  EXPECT_EQ(r.sign, 79);
}

TEST_F(Metrics, RciWithoutATerm) {
  st.rciPeriod[2] = 5;
  st.rciWeight[2] = 10;
  // Strictly falling closes: every price rank equals its date rank, S = 0.
  closes({105, 104, 103, 102, 101});
  EXPECT_EQ(analyse().rci3, 0);
  EXPECT_EQ(analyse().sign, 0);

  // A rising window whose latest day has no trade.
  h = {};
  closes({100, 101, 102, 103, 104});
  put(0, Day{10000, 104, 104, 104, 104, 0, 0});
  EXPECT_EQ(analyse().rci3, 0);
  EXPECT_EQ(analyse().sign, 0);

  // A period of 0 is an empty window: no term, RCI3 0, whatever the weight.
  h = {};
  closes({100, 300, 200});
  st.rciPeriod[2] = 0;
  st.rciPeriod[0] = 0;
  st.rciWeight[0] = 50;
  EXPECT_EQ(analyse().rci3, 0);
  EXPECT_EQ(analyse().sign, 0);
}

TEST_F(Metrics, RciTermsOfAllThreePeriodsAreWeighted) {
  // Period 3 over 100, 300, 200 gives 50 (see above); periods 1 and 2 cover the same days.
  closes({100, 300, 200});
  st.rciPeriod[0] = st.rciPeriod[1] = st.rciPeriod[2] = 3;
  st.rciWeight[0] = 10;  // + 50
  st.rciWeight[1] = 2;   // + 10
  st.rciWeight[2] = 1;   // + 5
  EXPECT_EQ(analyse().sign, 65);
  EXPECT_EQ(analyse().rci3, 500);
}

TEST_F(Metrics, MovingAverageDeviation) {
  st.maPeriod2 = 5;
  st.maWeight2 = 10;
  // 90, (empty), 100, 110, 120: average 105, (120 - 105) / 105 = 0.142857 -> 142,
  // term 14.2857.
  flat(4, 90);
  put(3, Day{0, 1, 1, 1, 1, 0, 0});
  flat(2, 100);
  flat(1, 110);
  flat(0, 120);
  RankingRow r = analyse();
  EXPECT_EQ(r.deviation2, 142);
  EXPECT_EQ(r.sign, 14);

  // Below the average, truncated toward zero: (80 - 95) / 95 = -0.15789 -> -157, term -15.
  h = {};
  closes({100, 100, 100, 80});
  st.maPeriod2 = 4;
  r = analyse();
  EXPECT_EQ(r.deviation2, -157);
  EXPECT_EQ(r.sign, -15);

  // Single precision: closes 100, 100, 300 average 500 / 3, held as 166.666672f;
  // (300 - 166.666672) / 166.666672 = 0.79999995 in floats, so 799 and a term of 79.999995
  // (exact arithmetic, or an average held as a double, would give 800 and 80).
  h = {};
  closes({100, 100, 300});
  st.maPeriod2 = 3;
  r = analyse();
  EXPECT_EQ(r.deviation2, 799);
  EXPECT_EQ(r.sign, 79);
}

TEST_F(Metrics, MovingAverageThreeOnlyAddsToTheSign) {
  st.maPeriod2 = 0;  // no MA 2 term
  st.maPeriod3 = 4;
  st.maWeight3 = 20;
  closes({100, 100, 100, 80});  // -0.15789 * 100 * 2 = -31.58
  RankingRow r = analyse();
  EXPECT_EQ(r.deviation2, 0);
  EXPECT_EQ(r.sign, -31);
}

TEST_F(Metrics, PsychologicalLine) {
  st.psychoPeriod = 6;
  st.psychoWeight = 10;
  // Changes +5, 0, -3, +2, (empty), +1: excluded 2, up 3 -> 3 / 4 * 100 = 75.
  flat(5, 100, 5);
  flat(4, 100, 0);
  flat(3, 100, -3);
  flat(2, 100, 2);
  put(1, Day{0, 100, 100, 100, 100, 7, 0});
  flat(0, 100, 1);
  EXPECT_EQ(analyse().sign, 75);

  // Every day excluded: no term.
  h = {};
  for (int back = 0; back < 6; ++back) flat(back, 100, 0);
  EXPECT_EQ(analyse().sign, 0);
}

TEST_F(Metrics, RsiOverThePsychologicalPeriodPlusTwo) {
  st.psychoPeriod = 4;  // window of 6
  st.rsiWeight = 10;
  // +10, -5, +20, (empty, change 50), -15, +10 -> gains 40, total 60: 66.67.
  flat(5, 100, 10);
  flat(4, 100, -5);
  flat(3, 100, 20);
  put(2, Day{0, 100, 100, 100, 100, 50, 0});
  flat(1, 100, -15);
  flat(0, 100, 10);
  // A change one day before the window is not counted.
  flat(6, 100, 1000);
  EXPECT_EQ(analyse().sign, 66);
}

TEST_F(Metrics, WvrCountsAnUnchangedDayAsMinus) {
  st.maPeriod2 = 4;
  st.wvrWeight = 10;
  // (+1, 100), (0, 50), (-2, 30), (+3, 20): signed 100 - 50 - 30 + 20 = 40 of 200 -> 20.
  flat(3, 100, 1, 100);
  flat(2, 100, 0, 50);
  flat(1, 100, -2, 30);
  flat(0, 100, 3, 20);
  EXPECT_EQ(analyse().sign, 20);
}

TEST_F(Metrics, ShinoharaA) {
  st.maPeriod2 = 3;
  st.shinoharaAWeight = 15;
  // up 123, down 100 -> A = 123; 123 * 15 / 10 = 184 in integers.
  put(0, Day{0, 100, 223, 0, 150, 0, 10});
  EXPECT_EQ(analyse().sign, 184);

  // up 10 + 20 + 5 = 35, down 5 + 2 + 0 = 7 -> 500, limited to 400: 400 * 15 / 10.
  put(2, Day{0, 100, 110, 95, 100, 0, 10});
  put(1, Day{0, 100, 120, 98, 100, 0, 10});
  put(0, Day{0, 100, 105, 100, 100, 0, 10});
  EXPECT_EQ(analyse().sign, 600);

  // No day below its open: down 0, no term.
  put(2, Day{0, 100, 110, 100, 100, 0, 10});
  put(1, Day{0, 100, 120, 100, 100, 0, 10});
  EXPECT_EQ(analyse().sign, 0);
}

TEST_F(Metrics, ShinoharaB) {
  st.maPeriod2 = 2;
  st.shinoharaBWeight = 20;
  // Previous closes 100 and 100: up 10 + 5, down 5 + 5 -> 150; 150 * 20 / 10 = 300.
  flat(2, 100);
  put(1, Day{0, 100, 110, 95, 100, 0, 10});
  put(0, Day{0, 100, 105, 95, 101, 1, 10});
  EXPECT_EQ(analyse().sign, 300);

  // A negative denominator still gives a value: up -4 - 10 = -14, down -4 - 1 = -5 -> 280.
  put(1, Day{0, 100, 96, 104, 100, 0, 10});
  put(0, Day{0, 100, 90, 101, 95, -5, 10});
  EXPECT_EQ(analyse().sign, 560);

  // up 50, down -10 -> -500, limited to 0.
  put(1, Day{0, 100, 150, 110, 120, 0, 10});
  put(0, Day{0, 120, 120, 120, 120, 0, 10});  // previous 120: up 0, down 0
  EXPECT_EQ(analyse().sign, 0);

  // A day whose previous slot has close 0 is left out: only the latest day counts,
  // up 20, down 10 -> 200.
  h = {};
  put(1, Day{0, 100, 300, 10, 100, 0, 10});
  put(0, Day{0, 100, 120, 90, 110, 10, 10});
  EXPECT_EQ(analyse().sign, 400);
}

TEST_F(Metrics, ReboundAndRange) {
  put(2, Day{0, 100, 200, 120, 150, 0, 10});
  put(1, Day{0, 100, 110, 50, 100, 0, 10});
  put(0, Day{0, 100, 130, 90, 125, 25, 10});
  // high 200, low 50, close 125: (75 / 150) * 1000 = 500; 200 / 50 * 10 = 40.
  RankingRow r = analyse();
  EXPECT_EQ(r.close, 125);
  EXPECT_EQ(r.rebound, 500);
  EXPECT_EQ(r.range, 40);
  // close 60: 10 / 150 * 1000 = 66.7 -> 66.
  put(0, Day{0, 60, 60, 60, 60, -40, 10});
  EXPECT_EQ(analyse().rebound, 66);
}

TEST_F(Metrics, CloseIsTheNewestTradedDay) {
  flat(3, 500);
  put(0, Day{10000, 0, 0, 0, 0, 0, 0});  // stored, no trade
  EXPECT_EQ(analyse().close, 500);
}

TEST_F(Metrics, RiseRate) {
  flat(0, 105, 5);
  EXPECT_EQ(analyse().riseRate, 50);  // 5 / 100
  flat(0, 95, -5);
  EXPECT_EQ(analyse().riseRate, -50);
  flat(0, 95, -3);
  EXPECT_EQ(analyse().riseRate, -30);  // -3 / 98 = -0.0306 -> -30.6 -> -30
  // A previous close of 0 (close == change): nothing to compare with.
  flat(0, 50, 50);
  EXPECT_EQ(analyse().riseRate, 0);
  // No trade on the latest day.
  put(0, Day{10000, 105, 105, 105, 105, 5, 0});
  EXPECT_EQ(analyse().riseRate, 0);
}

TEST_F(Metrics, VolumeChangeDividesByAll640Days) {
  // Nine days of 100 and a latest day of 300: sum 1200, 1200 / 640 = 1.875,
  // 300 / 1.875 * 10 = 1600 (over the ten active days alone it would be 25).
  for (int back = 1; back <= 9; ++back) flat(back, 100, 0, 100);
  flat(0, 100, 0, 300);
  EXPECT_EQ(analyse().volumeChange, 1600);
}

TEST_F(Metrics, PriceUnitCorrectionBothBranches) {
  // Old days in the small unit, new days in the large one: high max 9200, low min 490,
  // (9200 - 490) / 490 = 17 > 10 and 9200 > 8000. Days with a high below 800 are multiplied
  // by 10, the others divided by 10.
  put(3, Day{0, 500, 520, 490, 510, 10, 10});
  put(2, Day{0, 500, 515, 495, 500, -10, 10});
  put(1, Day{0, 9000, 9200, 8900, 9000, 100, 10});
  put(0, Day{0, 9050, 9150, 9000, 9100, 100, 10});
  RankingRow r = analyse();
  // Latest day: close 910, change 10 -> 10 / 900 * 1000 = 11.1.
  EXPECT_EQ(r.close, 910);
  EXPECT_EQ(r.riseRate, 11);
  // Found again: high max 5200, low min 890: (910 - 890) / 4310 * 1000 = 4.6; 5200 / 890 = 5.84.
  EXPECT_EQ(r.rebound, 4);
  EXPECT_EQ(r.range, 58);

  // A high of exactly 800 is in the large unit: that day is divided to 79, 80, 78, 79. Found
  // again: high max 5200, low min 78: (910 - 78) / 5122 * 1000 = 162.4; 5200 / 78 * 10 = 666.7.
  put(4, Day{0, 790, 800, 780, 790, 0, 10});
  r = analyse();
  EXPECT_EQ(r.rebound, 162);
  EXPECT_EQ(r.range, 666);
}

TEST_F(Metrics, PriceUnitCorrectionIsLeftOut) {
  // A low of 0 says nothing about the unit (and would divide by zero).
  put(1, Day{0, 100, 120, 0, 100, 0, 10});
  put(0, Day{0, 9000, 9200, 8900, 9100, 100, 10});
  RankingRow r = analyse();
  EXPECT_EQ(r.close, 9100);
  EXPECT_EQ(r.range, 0);
  // 9100 / 9200 * 1000 = 989.1.
  EXPECT_EQ(r.rebound, 989);

  // A high max of 8000 does not count as the large unit.
  h = {};
  put(1, Day{0, 100, 120, 100, 100, 0, 10});
  put(0, Day{0, 7900, 8000, 7800, 7900, 100, 10});
  EXPECT_EQ(analyse().close, 7900);
}

TEST_F(Metrics, RescaledPricesAreNotWrappedToSixteenBits) {
  // A damaged latest day (close above its high of 790) is scaled by 10 to 33000, which a
  // 16-bit value would turn into -32536.
  put(1, Day{0, 9000, 9200, 8900, 9000, 0, 10});
  put(0, Day{0, 100, 790, 100, 3300, 0, 10});
  EXPECT_EQ(analyse().close, 33000);
}

TEST_F(Metrics, SinceComparisonDateAcrossTheCentury) {
  put(4, Day{991229, 500, 500, 500, 500, 0, 10});
  put(3, Day{991230, 800, 800, 800, 800, 0, 10});
  put(2, Day{105, 900, 900, 900, 900, 0, 10});
  put(1, Day{106, 1000, 1000, 1000, 1000, 0, 10});
  put(0, Day{107, 1100, 1100, 1100, 1100, 0, 10});
  // A 1999 date: the 2000 days are later. Base 500: 600 / 500 * 1000.
  EXPECT_EQ(analyse(991229).sinceDate, 1200);
  // A 2000 date before every stored 2000 day: the newest 1999 day is the base, 300 / 800.
  EXPECT_EQ(analyse(104).sinceDate, 375);
  EXPECT_EQ(analyse(106).sinceDate, 100);
  // Later than everything: the base is the latest day.
  EXPECT_EQ(analyse(451231).sinceDate, 0);
  // Earlier than everything stored, and the empty entry 0: no base.
  EXPECT_EQ(analyse(991201).sinceDate, 0);
  EXPECT_EQ(analyse(0).sinceDate, 0);
}

TEST_F(Metrics, SinceComparisonDateSkipsDaysWithoutTrade) {
  put(2, Day{990104, 400, 400, 400, 400, 0, 10});
  put(1, Day{990105, 700, 700, 700, 700, 0, 0});  // no trade on the comparison date
  put(0, Day{990106, 600, 600, 600, 600, 0, 10});
  // Base 400 (the day before), recent 600: 200 / 400 * 1000.
  EXPECT_EQ(analyse(990105).sinceDate, 500);
}

// 700 trading days stored from Monday 1999-01-04, day n in ring slot (n + 1) % 640: the ring
// wraps and 2000 is crossed. After the wrap the stock misses a few daily files, so those slots
// keep the previous lap's (1999) days. The expected values come from the list of genuine days.
TEST(SinceComparisonDateTest, BaseIsTheNewestGenuineDayAfterTheRingWrapped) {
  struct Traded {
    int fullDate;  // yyyymmdd
    int close;
  };
  std::vector<Traded> traded;
  std::vector<float> dateOfDay;
  std::vector<int> fullDateOfDay;
  marketdb::StockHistory h{};
  const std::set<int> missed = {641, 660, 690, 698};
  int y = 1999, m = 1, d = 4, weekday = 0;  // 0 = Monday
  const int monthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int n = 0; n < 700; ++n) {
    const float date = static_cast<float>((y % 100) * 10000 + m * 100 + d);
    const int close = 300 + (n * 37) % 251;
    dateOfDay.push_back(date);
    fullDateOfDay.push_back(y * 10000 + m * 100 + d);
    if (!missed.count(n)) {
      h.day[(n + 1) % 640] = record(Day{date, close, close, close, close, 0, 100});
      traded.push_back({y * 10000 + m * 100 + d, close});
    }
    do {  // the next weekday
      weekday = (weekday + 1) % 7;
      const int length = monthDays[m - 1] + (m == 2 && y % 4 == 0 ? 1 : 0);
      if (++d > length) d = 1, m = m == 12 ? (++y, 1) : m + 1;
    } while (weekday >= 5);
  }
  ASSERT_GT(traded.back().fullDate, 20010625);  // the last day lies after every date below

  const struct {
    float comparison;
    int fullDate;
  } cases[] = {{990901, 19990901}, {105, 20000105}, {10625, 20010625},
               // days the stock missed: the genuine day before them is the base
               {dateOfDay[660], fullDateOfDay[660]}, {dateOfDay[698], fullDateOfDay[698]}};
  for (const auto& c : cases) {
    int base = 0;
    for (const Traded& t : traded)
      if (t.fullDate <= c.fullDate) base = t.close;
    const int recent = traded.back().close;
    const int expected = static_cast<int>(static_cast<float>(recent - base) /
                                          static_cast<float>(base) * 1000.0f);
    RankingRow r;
    dbprogram::analyseStock(h, (699 + 1) % 640, marketdb::dateKey(c.comparison), zeroWeights(), r);
    EXPECT_EQ(r.sinceDate, expected) << c.comparison;
  }
}

TEST(AnalysisSettingsTest, TakesThePeriodsAndWeightsOfTheirItems) {
  marketdb::SystemFile sys;
  marketdb::SettingsFile win;
  for (int i = 0; i < 16; ++i) sys.periods[i] = 20 + i;  // item number as value
  for (int i = 0; i < 10; ++i) win.weights[i] = 40 + i;  // item number - 10, inside 1..50
  AnalysisSettings s = AnalysisSettings::from(sys, win);
  EXPECT_EQ(s.maPeriod2, 21);
  EXPECT_EQ(s.maPeriod3, 22);
  EXPECT_EQ(s.rciPeriod[0], 29);
  EXPECT_EQ(s.rciPeriod[1], 30);
  EXPECT_EQ(s.rciPeriod[2], 31);
  EXPECT_EQ(s.psychoPeriod, 32);
  EXPECT_EQ(s.psychoWeight, 40);
  EXPECT_EQ(s.maWeight2, 41);
  EXPECT_EQ(s.maWeight3, 42);
  EXPECT_EQ(s.rciWeight[0], 43);
  EXPECT_EQ(s.rciWeight[1], 44);
  EXPECT_EQ(s.rciWeight[2], 45);
  EXPECT_EQ(s.rsiWeight, 46);
  EXPECT_EQ(s.wvrWeight, 47);
  EXPECT_EQ(s.shinoharaAWeight, 48);
  EXPECT_EQ(s.shinoharaBWeight, 49);
}

}  // namespace
