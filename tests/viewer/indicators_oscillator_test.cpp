// The oscillators of panes 4 and 5 and the sign total, against plain computations that rebuild
// every window from scratch (and rank every RCI window by comparing each pair of days).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <random>
#include <vector>

#include "viewer/indicators/oscillators.h"
#include "viewer/indicators/rci.h"
#include "viewer/indicators/sign_total.h"
#include "tests/viewer/oscillator_reference.h"

namespace oscillatortest {
namespace {

// ---- The fast RCI ------------------------------------------------------------------------

// Random rings, periods sampled over 0..320 (and the edges 640, 641), forty random windows of
// each line: a window with a value of its own gives exactly that value, any other carries the
// value of the day before.
TEST(RciTest, SlidingRanksEqualTheDirectDefinition) {
  ind::RciWork work;
  ind::OscillatorLine line;
  std::mt19937 rng(77);
  int fresh = 0, carried = 0;
  for (unsigned seed = 1; seed <= 16; ++seed) {
    // Few distinct closes and many empty days in some rings, few of either in others.
    const Ring r = randomRing(seed, seed % 2 ? 3 : 11);
    std::vector<int> periods = {0, 1, 2, 320, 640, 641};
    for (int i = 0; i < 6; ++i) periods.push_back(static_cast<int>(rng() % 321));
    for (int n : periods) {
      ind::rci(r.columns(), n, work, line);
      const std::string what = "seed " + std::to_string(seed) + " period " + std::to_string(n);
      if (n == 0 || n > RingDays) {
        ASSERT_EQ(line.lookback, RingDays) << what;
        continue;
      }
      ASSERT_EQ(line.lookback, n - 1) << what;
      for (int i = 0; i < 40; ++i) {
        const int k = n - 1 + static_cast<int>(rng() % static_cast<unsigned>(RingDays - n + 1));
        const std::optional<float> v = rciDirect(r, k, n);
        const float before = k == n - 1 ? 0.0f : line.value[k - 1];
        ASSERT_EQ(line.fresh[k], v.has_value()) << what << " day " << k;
        ASSERT_EQ(line.value[k], v ? *v : before) << what << " day " << k;
        ASSERT_EQ(line.series[k], static_cast<int>(std::trunc(line.value[k]))) << what;
        ++(v ? fresh : carried);
      }
    }
  }
  EXPECT_GT(fresh, 2000);
  EXPECT_GT(carried, 200);
}

TEST(RciTest, AllClosesEqualOrOnlyTwoValuesStillMatch) {
  ind::RciWork work;
  ind::OscillatorLine line;
  for (int variant = 0; variant < 3; ++variant) {
    Ring r;
    r.oldest = 600;
    for (int k = 0; k < RingDays; ++k) {
      const int cl = variant == 0 ? 700 : variant == 1 ? 700 + (k / 7) % 2 : 700 + k % 3;
      if (variant == 2 && k % 5 == 0) r.emptyDay(k); else r.day(k, cl, cl, cl, cl, 1);
    }
    for (int n : {2, 10, 61, 320}) {
      ind::rci(r.columns(), n, work, line);
      expectSame(plainWalk(n, on(r, rciDirect)), line, "variant " + std::to_string(variant));
    }
  }
}

// ---- The other oscillators against their plain definitions ---------------------------------

TEST(OscillatorTest, EveryLineEqualsItsPlainDefinition) {
  struct Case {
    const char* name;
    void (*fast)(const ind::RingColumns&, int, ind::OscillatorLine&);
    std::optional<float> (*plain)(const Ring&, int, int);
    int windowExtra;  // the RSI's window is its period + 2
  };
  const Case cases[] = {
      {"deviation",
       [](const ind::RingColumns& c, int n, ind::OscillatorLine& l) {
         ind::movingAverageDeviation(c, n, l);
       },
       deviationDirect, 0},
      {"psychological", ind::psychologicalLine, psychologicalDirect, 0},
      {"rsi", ind::rsi, rsiDirect, 2},
      {"wvr", ind::wvr, wvrDirect, 0},
      {"shinohara A", ind::shinoharaA, shinoharaADirect, 0},
      {"shinohara B", ind::shinoharaB, shinoharaBDirect, 0},
      {"close position", ind::closePosition, closePositionDirect, 0},
  };
  ind::OscillatorLine line;
  for (unsigned seed = 20; seed < 24; ++seed) {
    const Ring r = randomRing(seed, seed % 2 ? 4 : 15);
    for (const Case& c : cases) {
      for (int n : {-1, 0, 1, 2, 12, 25, 54, 75, 320, 638, 640, 641}) {
        c.fast(r.columns(), n, line);
        const int window = std::max(n, 0) + c.windowExtra;
        expectSame(plainWalk(window, on(r, c.plain)), line,
                   std::string(c.name) + " period " + std::to_string(n));
      }
    }
  }
}

TEST(OscillatorTest, DeviationAverageIsCarriedWithTheDeviation) {
  const Ring r = randomRing(31, 5);
  ind::OscillatorLine line;
  int averages[RingDays];
  ind::movingAverageDeviation(r.columns(), 25, line, averages);
  int last = 0;
  for (int k = 0; k < RingDays; ++k) {
    if (k < 24) {
      EXPECT_EQ(averages[k], 0) << k;
      continue;
    }
    if (line.fresh[k]) {
      float sum = 0.0f;
      int skip = 0;
      for (int i = k - 24; i <= k; ++i) {
        if (r.empty(i)) ++skip; else sum += static_cast<float>(r.c(i));
      }
      last = static_cast<int>(sum / static_cast<float>(25 - skip));
    }
    EXPECT_EQ(averages[k], last) << k;
  }
}

// ---- Worked examples ---------------------------------------------------------------------

TEST(OscillatorTest, WorkedExamples) {
  struct Case {
    const char* name;
    std::function<void(Ring&)> build;                        // days 0..9 matter
    std::function<void(const Ring&, ind::OscillatorLine&)> run;
    int day;       // walk day checked
    int series;    // expected value
    bool fresh;    // a new value (false: carried)
  };
  const auto rci10 = [](const Ring& r, ind::OscillatorLine& l) {
    static ind::RciWork work;
    ind::rci(r.columns(), 10, work, l);
  };
  const Case cases[] = {
      // Every price rank 1: sum = 0 + 1 + 4 + ... + 81 = 285; (6 * 285 / 990 - 1) * 100 = 72.7.
      {"rci equal closes", [](Ring& r) { for (int k = 0; k < 20; ++k) r.day(k, 9, 9, 9, 500, 0); },
       rci10, 9, 72, true},
      {"rci rising", [](Ring& r) { for (int k = 0; k < 20; ++k) r.day(k, 9, 9, 9, 500 + k, 1); },
       rci10, 12, 100, true},
      // Falling: ranks equal, sum 0, the previous value (none yet: 0) is carried.
      {"rci falling", [](Ring& r) { for (int k = 0; k < 20; ++k) r.day(k, 9, 9, 9, 500 - k, -1); },
       rci10, 12, 0, false},
      // Nine empty days of ten: one trading day, carried. Day 9 trades, 0..8 are empty.
      {"rci one trading day", [](Ring& r) { r.day(9, 9, 9, 9, 500, 0); }, rci10, 9, 0, false},
      // Ups on days 0..9, downs after: day 18's window holds one up (10 %); from day 19 on no
      // up day is left and the 10 is carried.
      {"psychological no up day",
       [](Ring& r) {
         for (int k = 0; k < 10; ++k) r.day(k, 9, 9, 9, 500, 1);
         for (int k = 10; k < 40; ++k) r.day(k, 9, 9, 9, 500, -1);
       },
       [](const Ring& r, ind::OscillatorLine& l) { ind::psychologicalLine(r.columns(), 10, l); },
       25, 10, false},
      // Six ups, two downs, two unchanged in 10 days: 6 / (10 - 2) = 75 %.
      {"psychological skips unchanged",
       [](Ring& r) {
         const int ch[10] = {1, 1, 0, -1, 1, 1, 0, -1, 1, 1};
         for (int k = 0; k < 10; ++k) r.day(k, 9, 9, 9, 500, ch[k]);
       },
       [](const Ring& r, ind::OscillatorLine& l) { ind::psychologicalLine(r.columns(), 10, l); },
       9, 75, true},
      // Σ(high - open) = 10, Σ(open - low) = 1: 1000 limited to 400.
      {"shinohara A limit",
       [](Ring& r) {
         r.day(0, 100, 105, 99, 100, 0);
         r.day(1, 100, 105, 100, 100, 0);
       },
       [](const Ring& r, ind::OscillatorLine& l) { ind::shinoharaA(r.columns(), 2, l); },
       1, 400, true},
      // RSI of psychological period 12 = 14 days: changes +3 on days 0..6, -1 on 7..13:
      // 21 / 28 = 75 on day 13 (its first entry).
      {"rsi 14 days",
       [](Ring& r) { for (int k = 0; k < 14; ++k) r.day(k, 9, 9, 9, 500, k < 7 ? 3 : -1); },
       [](const Ring& r, ind::OscillatorLine& l) { ind::rsi(r.columns(), 12, l); }, 13, 75,
       true},
      // Period 0: a 2-day window; day 1 = +1 and -3: 25.
      {"rsi 2 days",
       [](Ring& r) { r.day(0, 9, 9, 9, 500, 1); r.day(1, 9, 9, 9, 500, -3); },
       [](const Ring& r, ind::OscillatorLine& l) { ind::rsi(r.columns(), 0, l); }, 1, 25, true},
      // An empty day carries the previous value in every windowed line (here day 5).
      {"deviation carries on empty day",
       [](Ring& r) {
         for (int k = 0; k < 10; ++k) r.day(k, 9, 9, 9, 100 + 10 * k, 1);
         r.emptyDay(5);
       },
       // Day 4: closes 110..140, mean 125, (140 - 125) / 125 = 12 %.
       [](const Ring& r, ind::OscillatorLine& l) { ind::movingAverageDeviation(r.columns(), 4, l); },
       5, 12, false},
      {"wvr carries on empty day",
       [](Ring& r) {
         for (int k = 0; k < 10; ++k) r.day(k, 9, 9, 9, 500, k % 2 ? 1 : -1, 100.0f * (k + 1));
         r.emptyDay(5);
       },
       // Day 4: +200 - 300 + 400 - 500 over 1400 = -14.28 %.
       [](const Ring& r, ind::OscillatorLine& l) { ind::wvr(r.columns(), 4, l); }, 5, -14, false},
  };
  for (const Case& c : cases) {
    Ring r;
    r.oldest = 630;  // the windows cross slot 0
    for (int k = 0; k < RingDays; ++k) r.emptyDay(k);
    c.build(r);
    ind::OscillatorLine line;
    c.run(r, line);
    EXPECT_EQ(line.series[c.day], c.series) << c.name;
    EXPECT_EQ(line.fresh[c.day], c.fresh) << c.name;
  }
}

// ---- Sign total ----------------------------------------------------------------------------

TEST(SignTotalTest, TickColoursUseStrictThresholds) {
  struct Case {
    int value, low, high, y, previousY;
    ind::Tick tick;
  };
  const Case cases[] = {
      {35, 35, 70, 50, 50, ind::Tick::None},    {70, 35, 70, 50, 50, ind::Tick::None},
      {34, 35, 70, 50, 50, ind::Tick::Green},   {34, 35, 70, 49, 50, ind::Tick::DarkGreen},
      {71, 35, 70, 50, 50, ind::Tick::Red},     {71, 35, 70, 51, 50, ind::Tick::DarkRed},
      {49, 50, 49, 60, 60, ind::Tick::Green},   {50, 50, 49, 60, 60, ind::Tick::Red},
      {0, 0, -1, 60, 61, ind::Tick::Red},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ind::signTick(c.value, c.low, c.high, c.y, c.previousY), c.tick)
        << c.value << " in " << c.low << ".." << c.high;
  }
}

TEST(SignTotalTest, WeightedTermsRangeAndPeaks) {
  ind::OscillatorLine line;
  line.lookback = 630;
  for (int k = 630; k < RingDays; ++k) line.series[k] = k % 2 ? -37 : 37;
  int totals[RingDays] = {};
  const int oldest = 5;
  ind::addToSignTotal(line, 15, oldest, totals);
  // trunc(37 * 15 / 10) = 55, trunc(-555 / 10) = -55.
  EXPECT_EQ(totals[(oldest + 630) % RingDays], 55);
  EXPECT_EQ(totals[(oldest + 631) % RingDays], -55);
  EXPECT_EQ(totals[(oldest + 629) % RingDays], 0);

  // The range counts the first complete day, warm-up - 1, and the days after it: for 637
  // that is day 636 onwards, so 900 on day 635 is left out and -700 on day 636 is the minimum.
  totals[(oldest + 635) % RingDays] = 900;
  totals[(oldest + 636) % RingDays] = -700;
  const ind::SignRange range = ind::signRange(totals, oldest, 637);
  EXPECT_EQ(range.max, 55);
  EXPECT_EQ(range.min, -700);
  EXPECT_FALSE(range.flat());
  const int zeros[RingDays] = {};
  EXPECT_TRUE(ind::signRange(zeros, 0, 75).flat());

  // Average flat to day 3, rising to day 6, falling to 8, rising again.
  int averages[RingDays] = {};
  const int shape[] = {5, 5, 5, 5, 6, 7, 8, 7, 6, 7, 7};
  for (int k = 0; k < RingDays; ++k) averages[k] = k < 11 ? shape[k] : 7;
  int marked[RingDays] = {};
  ind::peakSign(averages, 0, ind::SignRange{40, -30}, 0, marked);
  std::vector<int> marks;
  for (int k = 0; k < RingDays; ++k)
    if (marked[k] != 0) marks.push_back(k * 1000 + marked[k]);
  // Turn down on day 7 (max), up on day 9 (min).
  EXPECT_EQ(marks, (std::vector<int>{7040, 9000 - 30}));
}

}  // namespace
}  // namespace oscillatortest
