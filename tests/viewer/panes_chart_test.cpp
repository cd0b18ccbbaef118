// The daily chart (view 9), the equilibrium chart over it (view 3) and the weekly chart (view
// 8) through the recording device: positions, colours and label texts, with the expected values
// worked out here from the stock's figures.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "marketdb/settings.h"
#include "tests/viewer/chart_fixture.h"

namespace charttest {
namespace {

std::string fmt(const char* format, double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}
std::string fmtInt(const char* format, int v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

class PanesChartTest : public ChartFixture {
 public:
  // Writes the files and opens a new window, closing the one open before.
  void reopen() {
    driver.reset();
    frame.reset();
    open();
  }
  // RRGGBB of colour setting n (1..19) as the window converts it.
  std::string colourHex(int n) {
    int number = win.colours[n - 1], r = 0, g = 0, b = 0;
    marketdb::setpal(number, r, g, b);
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", r, g, b);
    return buf;
  }
  std::string halfHex(int n) {
    int number = win.colours[n - 1], r = 0, g = 0, b = 0;
    marketdb::setpal(number, r, g, b);
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", r / 2, g / 2, b / 2);
    return buf;
  }
  bool hasPixel(int x, int y, const std::string& colour) {
    for (const Op& op : ops())
      if (op.kind == "pixel" && op.v[0] == x && op.v[1] == y && op.colour == colour) return true;
    return false;
  }
  std::vector<std::string> rectLines() const {
    std::vector<std::string> out;
    for (const std::string& l : driver->recording().operations())
      if (l.rfind("rect ", 0) == 0) out.push_back(l);
    return out;
  }
  bool hasRectLine(const std::string& line) const {
    for (const std::string& l : rectLines())
      if (l == line) return true;
    return false;
  }
};

// Day i from the oldest: the newest 213 days (427..639) trade between 900 (day 450) and 1100
// (day 600); older days between 940 and 1060. Day 500 is empty; day 620 trades twice the volume.
Stock dailyStock(const ChartFixture& f) {
  Stock st;
  st.code = 1301;
  st.nameUtf8 = "日足";
  for (int i = 0; i < marketdb::HistoryDays; ++i) {
    marketdb::DayRecord d;
    d.date = monthDate(i);
    const int close = 1000 + (i * 37) % 41 - 20;
    d.close = static_cast<std::int16_t>(close);
    d.open = static_cast<std::int16_t>(i % 3 == 0 ? close + 15 : close - 5);
    d.high = static_cast<std::int16_t>(close + 40);
    d.low = static_cast<std::int16_t>(close - 40);
    d.volume = i == 620 ? 200.0f : 100.0f;
    if (i == 450) d.low = 900;
    if (i == 600) d.high = 1100;
    if (i == 500) d.volume = 0;
    st.ring[f.slotOfDay(i)] = d;
  }
  return st;
}

TEST_F(PanesChartTest, DailyChartScalesGridLabelsCandlesAndAverages) {
  for (int h : {198, 200, 204}) {
    SCOPED_TRACE(h);
    sys.periods[15] = h;  // setting 35
    stocks = {dailyStock(*this)};
    reopen();
    show(1301);
    ASSERT_EQ(chart->viewMode, 9);
    const float scale = static_cast<float>(h) / 200.0f;
    auto y = [&](float p) { return static_cast<int>(static_cast<float>(h + 15) - (p - 900.0f) * scale); };
    EXPECT_EQ(chart->dailyBase, 900);
    EXPECT_EQ(chart->dailyScale, scale);

    // Top line, grid at 900 and 1000 (step 100 below 1500).
    EXPECT_TRUE(hasLine(0, 16, 639, 16, "606060", "dot"));
    EXPECT_TRUE(hasLine(0, y(900), 639, y(900), "606060", "dot"));
    EXPECT_TRUE(hasLine(0, y(1000), 639, y(1000), "606060", "dot"));
    // Labels: lowest at h + 6, the 1000 line's at its y - 5, highest at 15; the 900 line's
    // label lies too close to the lowest and is left out.
    const std::string price = colourHex(2);
    EXPECT_TRUE(hasText(0, h + 6, price, "  900"));
    EXPECT_TRUE(hasText(0, y(1000) - 5, price, " 1000"));
    EXPECT_TRUE(hasText(0, 15, price, " 1100"));
    int lowestLabels = 0;  // in the upper area (the long-term chart below has its own)
    for (const Op& op : texts("  900")) lowestLabels += op.v[1] < h + 23 ? 1 : 0;
    EXPECT_EQ(lowestLabels, 1);
    if (h == 200) {
      EXPECT_EQ(y(1000), 115);
      EXPECT_TRUE(hasText(0, 110, price, " 1000"));
    }
    // Ratio of the range and the largest volume.
    EXPECT_TRUE(hasText(48, 15, colourHex(3), fmt("%5.1f", 1100.0 / 900.0)));
    EXPECT_TRUE(hasText(88, 15, colourHex(6), "   200.0"));

    // Candle and volume bar of shown day 100 (day 527) at x 301.
    {
      const int i = 527;
      const int close = 1000 + (i * 37) % 41 - 20;
      const int open = i % 3 == 0 ? close + 15 : close - 5;
      const bool falling = close < open;
      const std::string c = colourHex(falling ? 5 : 4);
      EXPECT_TRUE(hasLine(301, y(close + 40), 301, y(close - 40), c, "solid"));
      const int top = std::min(y(open), y(close)), bottom = std::max(y(open), y(close));
      const std::string fill = falling ? c : "000000";
      EXPECT_TRUE(hasRectLine("rect 299 " + std::to_string(top) + " 303 " +
                              std::to_string(bottom) + " " + c + " " + fill));
      const int volumeTop =
          static_cast<int>(static_cast<float>(h + 15) - 100.0f * (static_cast<float>(h) / 200.0f));
      EXPECT_TRUE(hasLine(301, volumeTop, 301, h + 15, colourHex(6), "solid"));
    }
    // The empty day 500 (x 220) has no candle in the upper area.
    for (const Op& op : ops()) {
      EXPECT_FALSE(op.kind == "line" && op.v[0] == 220 && op.v[2] == 220 && op.style == "solid" &&
                   op.v[1] < h + 23);
    }

    // Current averages of settings 20, 21, 22 over their last N days, empty days skipped.
    const int periods[3] = {sys.periods[0], sys.periods[1], sys.periods[2]};
    for (int a = 0; a < 3; ++a) {
      float sum = 0;
      int n = 0;
      for (int i = 640 - periods[a]; i < 640; ++i) {
        if (i == 500) continue;
        sum += static_cast<float>(1000 + (i * 37) % 41 - 20);
        ++n;
      }
      const int average = static_cast<int>(sum / static_cast<float>(n));
      EXPECT_EQ(chart->currentAverages[a], average) << a;
      EXPECT_TRUE(hasText(160, 15 + 8 * a, colourHex(7 + a), fmtInt("%5d", average))) << a;
    }

    // Distribution percentages: all prices lie inside the rows, so each pass holds the volume
    // of its trading days.
    const int dist[4] = {sys.periods[5], sys.periods[6], sys.periods[7], sys.periods[8]};
    auto volumeOf = [&](int period) {
      float v = 0;
      for (int i = 640 - period; i < 640; ++i) v += i == 500 ? 0.0f : (i == 620 ? 200.0f : 100.0f);
      return v;
    };
    const float reference = volumeOf(dist[3]);
    const int rows[4] = {h - 18, h - 10, h - 2, h + 6};
    for (int p = 0; p < 4; ++p) {
      EXPECT_TRUE(hasText(48, rows[p], colourHex(12 + p),
                          fmt("%5.1f", volumeOf(dist[p]) / reference * 100.0f)))
          << p;
      const int left = (213 - dist[p]) * 3;
      EXPECT_TRUE(hasRectLine("rect " + std::to_string(left) + " " + std::to_string(h + 11) +
                              " " + std::to_string(left + 2) + " " + std::to_string(h + 15) +
                              " " + colourHex(12 + p) + " " + colourHex(12 + p)))
          << p;
    }
    // Distribution bars start at x 0 in the halved pass colours; the longest reaches 128.
    int longest = 0;
    for (const Op& op : ops())
      if (op.kind == "line" && op.v[0] == 0 && op.v[1] == op.v[3] && op.colour == halfHex(15))
        longest = std::max(longest, op.v[2]);
    EXPECT_EQ(longest, 128);
  }
}

TEST_F(PanesChartTest, IchimokuLinesCloudAndShiftedCandles) {
  stocks = {dailyStock(*this)};
  open();
  show(1301);
  key(VK_F3);
  ASSERT_EQ(chart->viewMode, 3);
  const int h = sys.periods[15];
  const float scale = static_cast<float>(h) / 200.0f;
  auto y = [&](float p) { return static_cast<int>(static_cast<float>(h + 15) - (p - 900.0f) * scale); };
  auto closeOf = [](int i) { return 1000 + (i * 37) % 41 - 20; };
  auto highOf = [&](int i) { return i == 600 ? 1100 : closeOf(i) + 40; };
  auto lowOf = [&](int i) { return i == 450 ? 900 : closeOf(i) - 40; };
  // Middle of the extremes over the `period` days ending at day i.
  auto middle = [&](int i, int period) {
    int hi = 0, lo = 32700;
    for (int d = i - period + 1; d <= i; ++d) {
      if (d == 500) continue;
      hi = std::max(hi, highOf(d));
      lo = std::min(lo, lowOf(d));
    }
    return static_cast<float>(hi + lo) / 2.0f;
  };

  // Candles 26 days to the left: shown day 100 (day 527) at x 223; its close drawn as the
  // lagging line 78 units further left; no volume bars.
  EXPECT_TRUE(hasLine(223, y(highOf(527)), 223, y(lowOf(527)),
                      colourHex(closeOf(527) < (527 % 3 == 0 ? closeOf(527) + 15 : closeOf(527) - 5) ? 5 : 4),
                      "solid"));
  EXPECT_TRUE(hasPixel(223 - 78, y(closeOf(527)), colourHex(19)));
  EXPECT_EQ(countLines(colourHex(6), "solid"), 0);

  int number = win.colours[17], r = 0, g = 0, b = 0;
  marketdb::setpal(number, r, g, b);
  char dim[8];
  std::snprintf(dim, sizeof dim, "%02X%02X%02X", static_cast<int>(r * 0.38),
                static_cast<int>(g * 0.38), static_cast<int>(b * 0.38));
  const std::string dimCloud = dim;

  // Conversion (9 days, colour 10) and base (26 days, colour 11) lines of shown day j at
  // x -77 + 3j, segments from the day before.
  for (int j : {120, 150, 200}) {
    const int day = 427 + j;
    const int x = -77 + 3 * j;
    EXPECT_TRUE(hasLine(x - 3, y(middle(day - 1, 9)), x, y(middle(day, 9)), colourHex(10), "solid")) << j;
    EXPECT_TRUE(hasLine(x - 3, y(middle(day - 1, 26)), x, y(middle(day, 26)), colourHex(11), "solid")) << j;
    // Cloud of day j at x 1 + 3j: span 1 from the two lines' pixels, span 2 from 52 days.
    const int y1 = (y(middle(day, 9)) + y(middle(day, 26))) / 2;
    const int y2 = y(middle(day, 52));
    const std::string cloud = y1 < y2 ? colourHex(18) : dimCloud;
    if (y1 == y2) {
      EXPECT_TRUE(hasPixel(1 + 3 * j, y1, cloud)) << j;
    } else {
      EXPECT_TRUE(hasLine(1 + 3 * j, y1, 1 + 3 * j, y2, cloud, "solid")) << j;
    }
  }
  // No averages and no distribution in view 3.
  EXPECT_TRUE(texts(fmt("%5.1f", 1100.0 / 900.0)).empty());
  EXPECT_EQ(chart->lastPaneMode, 9);

  // Nine days without trading (560..568): day 568's conversion window holds no trading day,
  // so its leading span 1 does not exist and no cloud is drawn there, although the base line
  // and span 2 are defined; day 569 trades again and has its cloud.
  Stock gap = dailyStock(*this);
  for (int i = 560; i <= 568; ++i) gap.ring[slotOfDay(i)].volume = 0;
  stocks = {gap};
  reopen();
  show(1301);
  key(VK_F3);
  auto cloudOps = [&](int day) {
    int n = 0;
    for (const Op& op : ops())
      if (((op.kind == "line" && op.v[2] == op.v[0]) || op.kind == "pixel") &&
          op.v[0] == 1 + 3 * (day - 427) && op.v[1] < h + 23 &&
          (op.colour == colourHex(18) || op.colour == dimCloud))
        ++n;
    return n;
  };
  EXPECT_EQ(cloudOps(568), 0);
  EXPECT_EQ(cloudOps(569), 1);
}

// 640 trading days, Monday to Friday from Monday 2 June 1997: 128 weeks of five days.
Stock weeklyStock(const ChartFixture& f) {
  Stock st;
  st.code = 1301;
  st.nameUtf8 = "週足";
  using namespace std::chrono;
  sys_days d = sys_days{year{1997} / June / 2};
  for (int i = 0; i < marketdb::HistoryDays; ++i) {
    while (weekday{d}.c_encoding() == 0 || weekday{d}.c_encoding() == 6) d += days{1};
    const year_month_day ymd{d};
    marketdb::DayRecord r;
    r.date = static_cast<int>(ymd.year()) * 10000 + static_cast<int>(unsigned{ymd.month()}) * 100 +
             static_cast<int>(unsigned{ymd.day()});
    const int close = 1000 + (i * 13) % 97;
    r.close = static_cast<std::int16_t>(close);
    r.open = static_cast<std::int16_t>(close + (i % 2 == 0 ? 7 : -7));
    r.high = static_cast<std::int16_t>(close + 20);
    r.low = static_cast<std::int16_t>(close - 20);
    r.volume = static_cast<float>(100 + i % 5);
    st.ring[f.slotOfDay(i)] = r;
    d += days{1};
  }
  return st;
}

TEST_F(PanesChartTest, WeeklyChartCandlesAveragesAndLowerScales) {
  stocks = {weeklyStock(*this)};
  open();
  show(1301);
  key(VK_F8);
  ASSERT_EQ(chart->viewMode, 8);
  ASSERT_EQ(chart->panes.weeks.count, 128);
  const int h = sys.periods[15];
  auto closeOf = [](int i) { return 1000 + (i * 13) % 97; };
  // Weekly range over all 128 weeks.
  int top = 0, base = 32700;
  for (int i = 0; i < 640; ++i) top = std::max(top, closeOf(i) + 20), base = std::min(base, closeOf(i) - 20);
  const float scale = static_cast<float>(h) / static_cast<float>(top - base);
  auto y = [&](float p) { return static_cast<int>(static_cast<float>(h + 15) - (p - static_cast<float>(base)) * scale); };

  // Week 60 (days 300..304) at x 302.
  const int open = closeOf(300) + 7, close = closeOf(304);
  int high = 0, low = 32700;
  float volume = 0;
  for (int i = 300; i < 305; ++i) {
    high = std::max(high, closeOf(i) + 20);
    low = std::min(low, closeOf(i) - 20);
    volume += static_cast<float>(100 + i % 5);
  }
  const bool falling = close < open;
  const std::string c = colourHex(falling ? 5 : 4);
  EXPECT_TRUE(hasLine(302, y(high), 302, y(low), c, "solid"));
  EXPECT_TRUE(hasRectLine("rect 299 " + std::to_string(std::min(y(open), y(close))) + " 305 " +
                          std::to_string(std::max(y(open), y(close))) + " " + c + " " +
                          (falling ? c : "000000")));
  const float volumeMax = 5 * 102.0f;  // every week: 100 + 101 + 102 + 103 + 104
  EXPECT_EQ(volume, volumeMax);
  EXPECT_TRUE(hasLine(302, static_cast<int>(static_cast<float>(h + 15) - volume * (static_cast<float>(h) / volumeMax)),
                      302, h + 15, colourHex(6), "solid"));

  // Current weekly averages: the last N weekly closes (setting 23, 24).
  for (int a = 0; a < 2; ++a) {
    const int n = sys.periods[3 + a];
    float sum = 0;
    for (int w = 128 - n; w < 128; ++w) sum += static_cast<float>(closeOf(5 * w + 4));
    const int average = static_cast<int>(sum / static_cast<float>(n));
    EXPECT_EQ(chart->currentAverages[a], average);
    EXPECT_TRUE(hasText(160, 15 + 8 * a, colourHex(10 + a), fmtInt("%5d", average)));
  }

  // Lower grid: 21 lines, solid at 5, 10, 15; labels of both scales.
  const float r = static_cast<float>(445 - h) / 20.0f;
  auto line = [&](int j) { return static_cast<int>(471.0f - r * static_cast<float>(j)); };
  for (int j = 0; j <= 20; ++j) {
    const bool solid = j == 5 || j == 10 || j == 15;
    EXPECT_TRUE(hasLine(0, line(j), 639, line(j), "606060", solid ? "solid" : "dot")) << j;
  }
  const std::string price = colourHex(2);
  EXPECT_TRUE(hasText(0, line(0) - 5, price, "-100"));
  EXPECT_TRUE(hasText(0, line(5) - 2, price, "   0"));
  EXPECT_TRUE(hasText(0, line(10) - 2, price, " 100"));
  EXPECT_TRUE(hasText(0, line(10) - 2, price, "-100"));
  EXPECT_TRUE(hasText(0, line(20) + 1, price, " 100"));
  // The newest deviation of the first weekly average, at (160, H + 26).
  {
    const int n = sys.periods[3];
    float sum = 0;
    for (int w = 128 - n; w < 128; ++w) sum += static_cast<float>(closeOf(5 * w + 4));
    const float ma = sum / static_cast<float>(n);
    const float dev = (static_cast<float>(closeOf(639)) - ma) / ma * 100.0f;
    EXPECT_TRUE(hasText(160, h + 26, colourHex(10), fmt("%5.1f", dev)));
  }
  // No long-term chart: no text on its rows.
  for (const Op& op : ops()) {
    if (op.kind == "text") {
      EXPECT_NE(op.v[1], 462) << op.text;
    }
  }
}

TEST_F(PanesChartTest, ExtremeSettingsAndRangesStayInsideTheirTables) {
  // An index code (grid step 100 at any price) ranging from 0 to 32000: 320 grid lines, more
  // than the 25 labels hold; a lowest price of 0 leaves out the range ratio.
  Stock wide = dailyStock(*this);
  wide.code = 1001;
  wide.ring[slotOfDay(630)].high = 32000;
  wide.ring[slotOfDay(631)].low = 0;
  // A flat stock: one price everywhere.
  Stock flat = dailyStock(*this);
  flat.code = 1302;
  for (auto& d : flat.ring) d.open = d.high = d.low = d.close = 500;

  struct Case {
    int h, ma, weekly, distribution;
  };
  // Periods 0 (not in a file, but held by a window), the largest allowed ones and beyond.
  const Case cases[] = {{24, 0, 0, 0}, {416, 320, 78, 213}, {200, 640, 150, 640},
                        {260, 641, 200, 1000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.h);
    sys.periods[15] = c.h;
    stocks = {wide, flat};
    reopen();
    for (int k = 0; k < 3; ++k) chart->periods[k] = c.ma;
    for (int k = 3; k < 5; ++k) chart->periods[k] = c.weekly;
    for (int k = 5; k < 9; ++k) chart->periods[k] = c.distribution;

    show(1001);
    ASSERT_EQ(chart->viewMode, 9);
    int gridLines = 0, labels = 0;
    for (const Op& op : ops()) {
      if (op.kind == "line" && op.style == "dot" && op.v[0] == 0 && op.v[2] == 639 &&
          op.v[1] == op.v[3] && op.v[1] <= c.h + 15)
        ++gridLines;
      if (op.kind == "text" && op.v[0] == 0 && op.v[1] >= 15 && op.v[1] < c.h + 23 &&
          op.colour == colourHex(2))
        ++labels;
    }
    EXPECT_EQ(gridLines, 1 + 320);  // the top line and every multiple of 100 below 32000
    EXPECT_LE(labels, 25);
    EXPECT_TRUE(hasText(0, 15, colourHex(2), "32000"));
    EXPECT_TRUE(hasText(0, c.h + 6, colourHex(2), "    0"));
    EXPECT_TRUE(texts(fmt("%5.1f", 32000.0 / 1.0)).empty());
    if (c.ma == 0 || c.ma > 640) {
      EXPECT_TRUE(hasText(160, 15, colourHex(7), "    0"));
    }
    key(VK_F3);
    EXPECT_EQ(chart->viewMode, 3);
    key(VK_F8);
    EXPECT_EQ(chart->viewMode, 8);
    EXPECT_TRUE(hasText(0, 15, colourHex(2), "32000"));

    // The flat stock draws no chart in any of the three views.
    show(1302);
    for (unsigned view : {VK_F9, VK_F3, VK_F8}) {
      key(view);
      for (const Op& op : ops()) {
        EXPECT_FALSE(op.kind == "rect" && op.v[1] < c.h + 23) << view;
      }
    }
  }
}

}  // namespace
}  // namespace charttest

namespace charttest {
namespace {

// An index (grid step 100 at any level) over 24000..29900: 59 grid lines, about 4 units apart
// in the daily chart and 3 in the long-term chart, closer than a label is high.
TEST_F(PanesChartTest, CloseGridLinesSpreadTheirLabelsOverTheRange) {
  Stock index;
  index.code = 1001;
  index.nameUtf8 = "指数";
  for (int i = 0; i < marketdb::HistoryDays; ++i) {
    marketdb::DayRecord d;
    d.date = monthDate(i);
    const int close = 24050 + (i * 97) % 5800;
    d.open = d.close = static_cast<std::int16_t>(close);
    d.high = static_cast<std::int16_t>(close + 50);
    d.low = static_cast<std::int16_t>(close - 50);
    d.volume = 100.0f;
    index.ring[slotOfDay(i)] = d;
  }
  for (int h : {260, 100}) {
    SCOPED_TRACE(h);
    sys.periods[15] = h;
    stocks = {index};
    reopen();
    show(1001);
    ASSERT_EQ(chart->viewMode, 9);
    // Price labels of each area, by their y.
    std::vector<int> upper, lower;
    for (const Op& op : ops()) {
      if (op.kind != "text" || op.v[0] != 0 || op.colour != colourHex(2) || op.text.size() != 5)
        continue;
      if (op.text.find_first_not_of(" 0123456789") != std::string::npos) continue;
      (op.v[1] < h + 23 ? upper : lower).push_back(op.v[1]);
    }
    for (std::vector<int>* area : {&upper, &lower}) {
      std::sort(area->begin(), area->end());
      for (std::size_t k = 1; k < area->size(); ++k)
        EXPECT_GE((*area)[k] - (*area)[k - 1], 8) << "labels at " << (*area)[k - 1];
    }
    // The labels reach beyond the lower half of each area: at least one in its upper half,
    // other than the highest price's.
    ASSERT_GE(upper.size(), 3u);
    EXPECT_LT(upper[1], 16 + h / 2);
    ASSERT_GE(lower.size(), 3u);
    EXPECT_LT(lower[1], h + 24 + (463 - (h + 24)) / 2);
  }
}

}  // namespace
}  // namespace charttest
