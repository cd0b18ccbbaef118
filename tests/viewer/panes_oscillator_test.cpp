// Oscillator panes 4 and 5 and the sign view through the recording device, and the series they
// leave for the price table.
//
// Default colours: grid C0C0C0 drawn halved (606060), labels FFFF00 (2), averages 00FF00,
// FF00FF, FFFF00 (7, 8, 9), RCIs FF0000, 00FFFF, FFFFFF (16, 17, 18), psychological line
// 0000FF (19), total line FFFFFF (11).
#include <cmath>

#include "platform/text/cp932.h"
#include "tests/viewer/chart_fixture.h"
#include "tests/viewer/oscillator_reference.h"

namespace charttest {
namespace {

using oscillatortest::Ring;
namespace ot = oscillatortest;

class OscillatorPaneTest : public ChartFixture {
 public:
  void setHeight(int h) { sys.periods[35 - 20] = h; }
  void showView(unsigned fkey) {
    stocks.push_back(linearStock(*this, 1301));
    open();
    show(1301);
    key(fkey);
  }
  const viewer::TChart& c() const { return *chart; }
  // Solid lines of a colour that lie in the upper area (the long-term chart below also draws
  // in the default colours).
  int upperLines(const std::string& colour, int h) const {
    int n = 0;
    for (const Op& op : ops())
      if (op.kind == "line" && op.colour == colour && op.style == "solid" && op.v[1] < h + 23 &&
          op.v[3] < h + 23)
        ++n;
    return n;
  }
};

// ---- Pane 5 --------------------------------------------------------------------------------

TEST_F(OscillatorPaneTest, Pane5GridAndLabelsFollowTheHeight) {
  struct Case {
    int h;
    int grid5, grid10;               // y of grid lines 5 and 10 (0 is h + 20, 20 is 18)
    int label0, label10, label20;   // label rows of lines 0, 10 and 20
  };
  // r = (h + 2) / 20: 10, 10.1, 10.3.
  const Case cases[] = {{198, 168, 118, 210, 113, 16},
                        {200, 169, 119, 212, 114, 16},
                        {204, 172, 121, 216, 116, 16}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.h);
    setHeight(k.h);
    stocks.clear();
    showView(VK_F5);
    EXPECT_TRUE(hasLine(0, k.h + 20, 639, k.h + 20, "606060", "dot"));
    EXPECT_TRUE(hasLine(0, k.grid5, 639, k.grid5, "606060", "solid"));
    EXPECT_TRUE(hasLine(0, k.grid10, 639, k.grid10, "606060", "solid"));
    EXPECT_TRUE(hasLine(0, 18, 639, 18, "606060", "dot"));
    EXPECT_TRUE(hasText(0, k.label0, "FFFF00", "-100"));
    EXPECT_TRUE(hasText(0, k.label10, "FFFF00", "   0"));
    EXPECT_TRUE(hasText(0, k.label20, "FFFF00", " 100"));
    // The RCI column: -100 at line 0, +100 at line 10, nothing above.
    EXPECT_TRUE(hasText(32, k.label0, "FFFF00", "-100"));
    EXPECT_TRUE(hasText(32, k.label10, "FFFF00", " 100"));
    EXPECT_EQ(texts(" 120").size(), 0u);
    // Month lines from y 18: the first dated day, then every 21 days.
    EXPECT_TRUE(hasLine(0, 18, 0, k.h + 23, "606060", "dot"));
    EXPECT_TRUE(hasLine(21, 18, 21, k.h + 23, "606060", "dot"));
    driver.reset();
    frame.reset();
  }
}

TEST_F(OscillatorPaneTest, Pane5LinesAndCurrentDeviations) {
  setHeight(198);
  showView(VK_F5);
  // Every change is +1: the psychological line is 100 % (y 18) from its first segment on,
  // day 30 (empty) included as a carried value.
  EXPECT_TRUE(hasLine(11, 18, 12, 18, "0000FF", "solid"));
  EXPECT_TRUE(hasLine(30, 18, 31, 18, "0000FF", "solid"));
  EXPECT_FALSE(hasLine(10, 18, 11, 18, "0000FF", "solid"));
  // Rising closes: RCI 1 (13 days) is +100, at the middle line y 118.
  EXPECT_TRUE(hasLine(12, 118, 13, 118, "FF0000", "solid"));
  EXPECT_TRUE(hasLine(638, 118, 639, 118, "FFFFFF", "solid"));  // RCI 3
  // Current deviations: close 1679 against the averages of days 440..639 (1579.5),
  // 615..639 (1667) and 565..639 (1642).
  const float dev[3] = {(1679.0f - 1579.5f) / 1579.5f * 100.0f,
                        (1679.0f - 1667.0f) / 1667.0f * 100.0f,
                        (1679.0f - 1642.0f) / 1642.0f * 100.0f};
  EXPECT_TRUE(hasText(600, 15, "00FF00", pelinor::text::format("%5.1f", double(dev[0]))));
  EXPECT_TRUE(hasText(600, 23, "FF00FF", "  0.7"));
  EXPECT_TRUE(hasText(600, 31, "FFFF00", "  2.3"));
  EXPECT_EQ(pelinor::text::format("%5.1f", double(dev[0])), "  6.3");
}

TEST_F(OscillatorPaneTest, Pane5WithoutRciPeriodAndAValueAboveThePane) {
  setHeight(198);
  sys.periods[29 - 20] = 0;  // RCI 1 off
  Stock st = linearStock(*this, 1301);
  st.ring[slotOfDay(639)].close = 4000;  // the newest close leaps
  stocks.push_back(st);
  open();
  show(1301);
  key(VK_F5);
  EXPECT_EQ(upperLines("FF0000", 198), 0);  // no RCI 1 line
  EXPECT_GT(upperLines("00FFFF", 198), 600);
  EXPECT_EQ(c().indicator2[c().storePosition], 0);
  // Deviation 2: closes 1655..1678 and 4000 average 1759.84; 127 % lies above the pane top,
  // so the last segment is not drawn, but the printed value still shows it.
  float sum = 4000.0f;
  for (int close = 1655; close <= 1678; ++close) sum += static_cast<float>(close);
  const float ma = sum / 25.0f;
  const float dev = (4000.0f - ma) / ma * 100.0f;
  EXPECT_TRUE(hasText(600, 23, "FF00FF", pelinor::text::format("%5.1f", double(dev))));
  EXPECT_EQ(pelinor::text::format("%5.1f", double(dev)), "127.3");
  EXPECT_GT(upperLines("FF00FF", 198), 500);
  for (const Op& op : ops())
    EXPECT_FALSE(op.kind == "line" && op.colour == "FF00FF" && op.v[2] == 639 && op.v[1] < 221)
        << "segment to day 639";
  EXPECT_EQ(c().maDeviation2[c().storePosition], static_cast<int>(dev));
}

// ---- Pane 4 --------------------------------------------------------------------------------

TEST_F(OscillatorPaneTest, Pane4LinesAndRatioScale) {
  setHeight(198);
  showView(VK_F4);
  // RSI and WVR of rising days: 100 % at y 18.
  // RSI of a 14-day window: first value on day 13, first segment to day 14.
  EXPECT_TRUE(hasLine(13, 18, 14, 18, "FF0000", "solid"));
  EXPECT_FALSE(hasLine(12, 18, 13, 18, "FF0000", "solid"));
  EXPECT_TRUE(hasLine(24, 18, 25, 18, "0000FF", "solid"));  // WVR, 25 days
  // Around day 100 (no empty day): Shinohara A of days 76..100 = (13*51 + 12*31) / (13*30 +
  // 12*50) = 104.5 -> y trunc(218 - 52.27) = 165; of days 75..99 100.5 -> 167.
  EXPECT_TRUE(hasLine(99, 167, 100, 165, "00FFFF", "solid"));
  // Close position 41 / 40 = 102.5 -> 166; Shinohara B 42 / 39 = 107.7 -> 164.
  EXPECT_TRUE(hasLine(99, 166, 100, 166, "00FF00", "solid"));
  EXPECT_TRUE(hasLine(99, 164, 100, 164, "FFFFFF", "solid"));
  // The ratio column: 0 at line 0, 400 at line 20.
  EXPECT_TRUE(hasText(32, 210, "FFFF00", "   0"));
  EXPECT_TRUE(hasText(32, 16, "FFFF00", " 400"));
  EXPECT_TRUE(hasText(32, 113, "FFFF00", " 200"));
}

// ---- Sign view -----------------------------------------------------------------------------

TEST_F(OscillatorPaneTest, SignViewRowsSeparatorsAndTotalArea) {
  setHeight(204);  // row height 10; each row one unit lower than the last
  showView(VK_F6);
  EXPECT_TRUE(hasLine(0, 16, 639, 16, "606060", "dot"));
  EXPECT_TRUE(hasLine(639, 16, 639, 227, "606060", "dot"));
  EXPECT_TRUE(hasLine(0, 16, 0, 227, "606060", "dot"));  // the first month line
  // Psychological line 100 > 70 from day 11 on: red ticks in row 0 (y 20..30), none on the
  // empty day 30.
  EXPECT_TRUE(hasLine(11, 20, 11, 30, "FF0000", "solid"));
  EXPECT_FALSE(hasLine(10, 20, 10, 30, "FF0000", "solid"));
  EXPECT_FALSE(hasLine(30, 20, 30, 30, "FF0000", "solid"));
  // RCI 1 (+100 > 79) in row 3 at 23 + 30, RSI in row 6 at 26 + 60, WVR in row 7 at 27 + 70.
  EXPECT_TRUE(hasLine(12, 53, 12, 63, "FF0000", "solid"));
  EXPECT_TRUE(hasLine(13, 86, 13, 96, "FF0000", "solid"));
  EXPECT_TRUE(hasLine(24, 97, 24, 107, "FF0000", "solid"));
  // Separators under rows 0, 2, 5, 6, 7; the total area's lines, solid at row 14.
  for (int y : {31, 53, 86, 97, 108, 131, 241}) {
    EXPECT_TRUE(hasLine(0, y, 639, y, "606060", "dot")) << y;
  }
  EXPECT_TRUE(hasLine(0, 186, 639, 186, "606060", "solid"));
  // The total's range labels.
  const int* totals = c().signTotal.get();
  int mx = 0, mn = 32000;
  for (int k = 74; k < 640; ++k) {
    mx = std::max(mx, totals[slotOfDay(k)]);
    mn = std::min(mn, totals[slotOfDay(k)]);
  }
  EXPECT_TRUE(hasText(0, 122, "FFFF00", pelinor::text::format("%5d", mx)));
  EXPECT_TRUE(hasText(0, 216, "FFFF00", pelinor::text::format("%5d", mn)));
  EXPECT_GT(countLines("FFFFFF", "solid"), 0);
  EXPECT_EQ(c().lastPaneMode, 7);
}

TEST_F(OscillatorPaneTest, UserSignViewTicksEveryTradingDayAndFlatTotalDrawsNoLine) {
  setHeight(198);
  showView(VK_F7);
  // Thresholds 50 / 49: the psychological 100 is red on every trading day from day 11.
  int ticks = 0;
  for (const Op& op : ops())
    if (op.kind == "line" && op.colour == "FF0000" && op.v[1] == 20 && op.v[3] == 29) ++ticks;
  EXPECT_EQ(ticks, 640 - 11 - 1);

  // A stock with no trading day: every total 0, no range, no line, and no crash.
  stocks.clear();
  Stock quiet;
  quiet.code = 1302;
  quiet.nameUtf8 = "空";
  stocks.push_back(quiet);
  driver.reset();
  frame.reset();
  open();
  show(1302);
  key(VK_F7);
  EXPECT_EQ(countLines("FFFFFF", "solid"), 0);
  EXPECT_TRUE(hasText(0, 119, "FFFF00", "    0"));
}

// Settings at the bounds the editor allows: every view still draws its frame. (Values beyond
// them never reach the panes: the loader replaces them by the defaults.)
TEST_F(OscillatorPaneTest, SettingsAtTheirBoundsDrawEveryView) {
  struct Case {
    const char* name;
    int period;  // settings 20..22, 29..31; the psychological period is at most 54
    int rci;     // settings 29 and 30 (0 allowed)
    int h;
    int weight;
  };
  const Case cases[] = {{"smallest", 1, 0, 24, 1}, {"largest", 320, 320, 416, 50}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    for (int n : {20, 21, 22, 31}) sys.periods[n - 20] = k.period;
    sys.periods[29 - 20] = sys.periods[30 - 20] = k.rci;
    sys.periods[32 - 20] = std::min(k.period, 54);
    setHeight(k.h);
    for (int& w : win.weights) w = k.weight;
    stocks.clear();
    showView(VK_F5);
    ASSERT_EQ(c().setting(35), k.h);
    EXPECT_TRUE(hasLine(0, k.h + 20, 639, k.h + 20, "606060", "dot"));
    key(VK_F4);
    EXPECT_TRUE(hasText(32, 16, "FFFF00", " 400"));
    for (unsigned view : {VK_F6, VK_F7}) {
      key(view);
      EXPECT_TRUE(hasLine(639, 16, 639, k.h + 23, "606060", "dot"));
      EXPECT_EQ(texts("32000").size(), 0u);  // the range always found days
    }
    driver.reset();
    frame.reset();
  }
}

// ---- Series after views 5, 4, 7 and 77 -------------------------------------------------

class OscillatorSeriesTest : public OscillatorPaneTest {
 public:
  // Random prices between 900 and 1100 with about one empty day in seven; ties are common.
  void build() {
    Stock st;
    st.code = 1301;
    st.nameUtf8 = "乱数";
    std::mt19937 rng(11);
    int close = 1000;
    for (int i = 0; i < 640; ++i) {
      marketdb::DayRecord d;
      d.date = monthDate(i);
      if (rng() % 7 != 0) {
        const int change = static_cast<int>(rng() % 9) - 4;
        close = std::clamp(close + change, 900, 1100);
        d.close = static_cast<std::int16_t>(close);
        d.open = static_cast<std::int16_t>(close + static_cast<int>(rng() % 7) - 3);
        d.high = static_cast<std::int16_t>(std::max<int>(d.open, close) + rng() % 4);
        d.low = static_cast<std::int16_t>(std::min<int>(d.open, close) - rng() % 4);
        d.change = static_cast<std::int16_t>(change);
        d.volume = static_cast<float>(1 + rng() % 900);
      }
      st.ring[slotOfDay(i)] = d;
    }
    stocks.push_back(st);
    for (int s = 0; s < 640; ++s) {
      const marketdb::DayRecord& d = st.ring[s];
      ring.open[s] = d.open, ring.high[s] = d.high, ring.low[s] = d.low, ring.close[s] = d.close;
      ring.change[s] = d.change, ring.volume[s] = d.volume;
    }
    ring.oldest = slotOfDay(0);
    open();
    show(1301);
  }

  // The plain line of a definition, as a series by ring slot (0 before its first entry).
  std::vector<int> expected(std::optional<float> (*f)(const Ring&, int, int), int window) const {
    const ot::Expected e = ot::plainWalk(window, ot::on(ring, f));
    std::vector<int> bySlot(640);
    for (int k = e.lookback; k < 640; ++k) bySlot[slotOfDay(k)] = e.series[k];
    return bySlot;
  }
  static std::vector<int> series(const std::unique_ptr<int[]>& a) {
    return std::vector<int>(a.get(), a.get() + 640);
  }

  // The sign total of a parameter set, with peak marks from the 2nd average.
  std::vector<int> expectedTotal(const int period[10], const int weight[10], int warmUp,
                                 bool peaks) const {
    std::optional<float> (*f[10])(const Ring&, int, int) = {
        ot::psychologicalDirect, ot::deviationDirect, ot::deviationDirect, ot::rciDirect,
        ot::rciDirect,           ot::rciDirect,       ot::rsiDirect,       ot::wvrDirect,
        ot::shinoharaADirect,    ot::shinoharaBDirect};
    std::vector<int> total(640);
    for (int row = 0; row < 10; ++row) {
      if (period[row] == 0 && row >= 3 && row <= 5) continue;  // RCI period 0: no line
      const ot::Expected e = ot::plainWalk(period[row], ot::on(ring, f[row]));
      for (int k = e.lookback; k < 640; ++k) total[k] += e.series[k] * weight[row] / 10;
    }
    int mx = 0, mn = 32000;
    for (int k = std::max(warmUp - 1, 0); k < 640; ++k) mx = std::max(mx, total[k]), mn = std::min(mn, total[k]);
    if (peaks) {
      // The 2nd average per day: carried with the deviation, 0 before its first entry.
      const int n = period[1];
      std::vector<int> avg(640);
      int last = 0;
      for (int k = n - 1; k < 640; ++k) {
        if (ot::deviationDirect(ring, k, n)) {
          float sum = 0;
          int skip = 0;
          for (int i = k - n + 1; i <= k; ++i) ring.empty(i) ? ++skip : (sum += ring.c(i), 0);
          last = static_cast<int>(sum / static_cast<float>(n - skip));
        }
        avg[k] = last;
      }
      int k = c().setting(21) - 1;
      while (avg[k + 1] == avg[k]) ++k;
      bool up = avg[k + 1] > avg[k];
      for (int d = k + 2; d < 640; ++d) {
        if (up && avg[d] < avg[d - 1]) total[d] = mx, up = false;
        else if (!up && avg[d] > avg[d - 1]) total[d] = mn, up = true;
      }
    }
    std::vector<int> bySlot(640);
    for (int k = 0; k < 640; ++k) bySlot[slotOfDay(k)] = total[k];
    return bySlot;
  }

  Ring ring;
};

TEST_F(OscillatorSeriesTest, SeriesAfterViews5And4) {
  build();
  key(VK_F5);
  EXPECT_EQ(series(c().indicator1), expected(ot::psychologicalDirect, 12));
  EXPECT_EQ(series(c().indicator2), expected(ot::rciDirect, 13));
  EXPECT_EQ(series(c().indicator3), expected(ot::rciDirect, 22));
  EXPECT_EQ(series(c().indicator4), expected(ot::rciDirect, 32));
  EXPECT_EQ(series(c().maDeviation1), expected(ot::deviationDirect, 200));
  EXPECT_EQ(series(c().maDeviation2), expected(ot::deviationDirect, 25));
  EXPECT_EQ(series(c().maDeviation3), expected(ot::deviationDirect, 75));

  // The price table shows them on the newest day's row, with the captions of pane 5.
  key(VK_LEFT);
  const int s = c().storePosition;
  EXPECT_TRUE(hasText(504, 16, "0000FF", pelinor::text::format("%3d", c().indicator1[s])));
  EXPECT_TRUE(hasText(552, 16, "00FFFF", pelinor::text::format("%3d", c().indicator3[s])));
  EXPECT_TRUE(hasText(416, 16, "FF00FF", pelinor::text::format("%3d", c().maDeviation2[s])));
  EXPECT_TRUE(hasText(504, 0, "0000FF", "ｻｲｺ"));

  key(VK_F4);
  EXPECT_EQ(series(c().indicator1), expected(ot::wvrDirect, 25));
  EXPECT_EQ(series(c().indicator2), expected(ot::rsiDirect, 14));
  EXPECT_EQ(series(c().indicator3), expected(ot::shinoharaADirect, 25));
  EXPECT_EQ(series(c().indicator4), expected(ot::shinoharaBDirect, 25));
  // The deviations are pane 5's and stay.
  EXPECT_EQ(series(c().maDeviation3), expected(ot::deviationDirect, 75));
  key(VK_LEFT);
  EXPECT_TRUE(hasText(504, 0, "0000FF", "wvr"));
  EXPECT_TRUE(hasText(528, 16, "FF0000", pelinor::text::format("%3d", c().indicator2[s])));
}

TEST_F(OscillatorSeriesTest, SignTotalsAfterViews7And77) {
  build();
  key(VK_F5);  // fill the other series first: the sign view clears them
  key(VK_F6);
  const int fixedPeriods[10] = {12, 25, 75, 13, 22, 32, 14, 25, 25, 25};
  const int tens[10] = {10, 10, 10, 10, 10, 10, 10, 10, 10, 10};
  EXPECT_EQ(series(c().signTotal), expectedTotal(fixedPeriods, tens, 75, true));
  const std::vector<int> zeros(640);
  EXPECT_EQ(series(c().indicator1), zeros);
  EXPECT_EQ(series(c().maDeviation2), zeros);
  EXPECT_EQ(series(c().maValue2), zeros);  // the long-term chart of view 7 averages 150/18/52
  // The user's weights are untouched by view 7.
  EXPECT_EQ(c().ratios[0], win.weights[0]);

  key(VK_F7);
  const int userPeriods[10] = {12, 25, 75, 13, 22, 32, 14, 25, 25, 25};  // the defaults
  EXPECT_EQ(series(c().signTotal), expectedTotal(userPeriods, win.weights, 75, true));
  key(VK_LEFT);
  const int s = c().storePosition;
  EXPECT_TRUE(hasText(608, 16, "FFFFFF", pelinor::text::format("%5d", c().signTotal[s])));
}

}  // namespace
}  // namespace charttest
