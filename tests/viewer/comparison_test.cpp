// The comparison: the base-date keypad (keys, clicks, the echo, a full buffer) and the chart of
// the recently shown stocks from the base date (header, grid, month lines, the line of each
// stock against values worked out here from the stored days).
//
// Default colours: 1 month labels 00FFFF, 2 scale labels FFFF00, 3 grid C0C0C0 (drawn halved:
// 606060). Line colours by list position: 0000FF, 00FF00, 00FFFF, FF0000, FF00FF, FFFF00,
// FFFFFF.
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>

#include "tests/viewer/chart_fixture.h"
#include "viewer/indicators/base_change.h"

namespace charttest {
namespace {

// yyyymmdd of a date yymmdd, years 00..45 being 2000..2045.
long fullDate(float yymmdd) {
  const long n = static_cast<long>(yymmdd);
  return (n / 10000 < 46 ? 20000000L : 19000000L) + n;
}

// A line segment as recorded: x1 y1 x2 y2.
using Segment = std::array<int, 4>;

class ComparisonTest : public ChartFixture {
 public:
  // A stock of 640 trading days dated as linearStock's, closes from `closeOf`, every price of
  // the day equal to its close.
  Stock stockOf(float code, const std::string& name, const std::function<int(int)>& closeOf) {
    Stock st;
    st.code = code;
    st.nameUtf8 = name;
    for (int i = 0; i < marketdb::HistoryDays; ++i) {
      marketdb::DayRecord d;
      d.date = monthDate(i);
      d.open = d.high = d.low = d.close = static_cast<std::int16_t>(closeOf(i));
      d.volume = 500;
      st.ring[slotOfDay(i)] = d;
    }
    return st;
  }

  // The base close: the newest dated day with a volume on or before the base date; 0 if none.
  // baseDate: yymmdd as typed; the records hold yyyymmdd.
  static int expectedBase(const Stock& st, float baseDate) {
    long best = -1;
    int close = 0;
    for (const marketdb::DayRecord& d : st.ring) {
      if (d.volume == 0 || d.date <= 0 || d.date > fullDate(baseDate)) continue;
      if (d.date > best) {
        best = d.date;
        close = d.close;
      }
    }
    return close;
  }

  // The segments of a stock's line: y of each day's change, an empty day keeping the last y,
  // joined where both ends lie strictly between 15 and 464.
  std::vector<Segment> expectedSegments(const Stock& st, float baseDate) const {
    const int base = expectedBase(st, baseDate);
    std::vector<Segment> out;
    if (base == 0) return out;
    int previous = 0;
    for (int x = 0; x < marketdb::HistoryDays; ++x) {
      const marketdb::DayRecord& d = st.ring[slotOfDay(x)];
      int y = previous;
      if (d.volume != 0) {
        const float percent = static_cast<float>(d.close - base) / static_cast<float>(base) * 100.0f;
        y = static_cast<int>(std::trunc(463.0 - 224.0 - static_cast<double>(percent) * 22.4 / 10.0));
      }
      if (x > 0 && previous > 15 && previous < 464 && y > 15 && y < 464)
        out.push_back({x - 1, previous, x, y});
      previous = y;
    }
    return out;
  }

  std::vector<Segment> solidLines(const std::string& colour) const {
    std::vector<Segment> out;
    for (const Op& op : ops())
      if (op.kind == "line" && op.style == "solid" && op.colour == colour)
        out.push_back({op.v[0], op.v[1], op.v[2], op.v[3]});
    return out;
  }

  // Texts of the top row, "x colour text".
  std::vector<std::string> headerTexts() const {
    std::vector<std::string> out;
    for (const Op& op : ops())
      if (op.kind == "text" && op.v[1] == 0)
        out.push_back(std::to_string(op.v[0]) + " " + op.colour + " " + op.text);
    return out;
  }

  // Base date typed on the keypad and entered; then a repaint, which draws the comparison alone.
  void compare(const std::string& digits) {
    key(VK_F2);
    for (char ch : digits) key(static_cast<unsigned>(ch));
    key(VK_RETURN);
    driver->paint();
  }
};

TEST_F(ComparisonTest, TwoStocksFromANonTradingBaseDate) {
  stocks.push_back(linearStock(*this, 1301));
  stocks.push_back(stockOf(1332, "下落銘柄", [](int i) { return 2000 - i; }));
  open();
  show(1301);
  show(1332);
  compare("970125");  // January 1997 trades on days 1..21 only: the base is 970121 (day 20)
  ASSERT_EQ(chart->viewMode, 97);
  EXPECT_EQ(chart->baseDate, 19970125);

  EXPECT_EQ(headerTexts(),
            (std::vector<std::string>{"0 FFFFFF 基準", "32 FFFFFF 970125", "80 0000FF 1301",
                                      "112 0000FF テスト", "160 00FF00 1332",
                                      "192 00FF00 下落銘"}));
  EXPECT_EQ(expectedBase(stocks[0], 970125), 1060);
  EXPECT_EQ(expectedBase(stocks[1], 970125), 1980);

  const auto blue = solidLines("0000FF");
  const auto green = solidLines("00FF00");
  ASSERT_FALSE(blue.empty());
  ASSERT_FALSE(green.empty());
  // Day 0 closes at 1040: -1.887 % -> y 243; day 639 at 1679: +58.40 % -> y 108.
  EXPECT_EQ(blue.front(), (Segment{0, 243, 1, 243}));
  EXPECT_EQ(blue.back(), (Segment{638, 108, 639, 108}));
  // 2000 against 1980: +1.01 % -> y 236; day 638 at 1362: -31.21 % -> y 308; day 639 at
  // 1361: -31.26 % -> y 309.
  EXPECT_EQ(green.front(), (Segment{0, 236, 1, 236}));
  EXPECT_EQ(green.back(), (Segment{638, 308, 639, 309}));
  EXPECT_EQ(blue, expectedSegments(stocks[0], 970125));
  EXPECT_EQ(green, expectedSegments(stocks[1], 970125));
  // Day 30 of the first stock is empty: its point repeats day 29's.
  ASSERT_EQ(blue[29][2], 30);
  EXPECT_EQ(blue[29][3], blue[29][1]);
  for (const char* colour : {"00FFFF", "FF0000", "FF00FF", "FFFF00"})
    EXPECT_TRUE(solidLines(colour).empty()) << colour;
}

TEST_F(ComparisonTest, AStaleSlotIsNeverTheBase) {
  // Days 600..619 were missed in this lap: their slots still hold days of two years before,
  // with volume and a close of 5000. The base date lies among the missed days.
  Stock st = stockOf(1301, "古い", [](int i) { return 1000 + i; });
  for (int i = 600; i < 620; ++i) {
    marketdb::DayRecord& d = st.ring[slotOfDay(i)];
    d.date = monthDate(i) - 20000;
    d.open = d.high = d.low = d.close = 5000;
  }
  stocks.push_back(st);
  open();
  show(1301);
  const float base = static_cast<float>(monthDate(610) % 1000000);  // as typed
  compare(std::to_string(static_cast<int>(base)));
  EXPECT_EQ(expectedBase(stocks[0], base), 1599);  // day 599
  const auto lines = solidLines("0000FF");
  ASSERT_FALSE(lines.empty());
  // Day 0 at 1000 against 1599: -37.46 % -> y 322.
  EXPECT_EQ(lines.front(), (Segment{0, 322, 1, 322}));
  EXPECT_EQ(lines, expectedSegments(stocks[0], base));
}

TEST_F(ComparisonTest, NoBaseDayOrABaseCloseOfZeroDrawsNoLine) {
  // The first stock starts trading in 1998; the second closes at 0 on the base day.
  Stock late = stockOf(1301, "新規", [](int) { return 700; });
  for (int i = 0; i < 252; ++i) late.ring[slotOfDay(i)] = marketdb::DayRecord{};
  Stock zero = stockOf(1332, "ゼロ", [](int i) { return i == 20 ? 0 : 900; });
  stocks = {late, zero, linearStock(*this, 1377)};
  open();
  for (int code : {1301, 1332, 1377}) show(code);

  struct Case {
    const char* base;
    bool first, second, third;  // lines drawn in blue, green, cyan
  };
  const Case cases[] = {
      {"970121", false, false, true},  // before the first stock's days; the second's close 0
      {"961231", false, false, false},  // before every stored day
      {"980201", true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.base);
    compare(c.base);
    ASSERT_EQ(chart->viewMode, 97);
    EXPECT_EQ(texts("1301").size(), 1u);  // the header names every stock found
    EXPECT_EQ(texts("1332").size(), 1u);
    EXPECT_EQ(!solidLines("0000FF").empty(), c.first);
    EXPECT_EQ(!solidLines("00FF00").empty(), c.second);
    EXPECT_EQ(!solidLines("00FFFF").empty(), c.third);
    EXPECT_EQ(solidLines("00FFFF"), expectedSegments(stocks[2], std::stof(c.base)));
  }
}

TEST_F(ComparisonTest, GridScaleLabelsAndMonthLinesOfTheShownStock) {
  stocks.push_back(linearStock(*this, 1301));
  open();
  show(1301);
  compare("970201");

  for (int j = 0; j <= 20; ++j) {
    const int y = static_cast<int>(463 - 22.4 * j);
    const bool solid = j == 5 || j == 10 || j == 15;
    EXPECT_TRUE(hasLine(0, y, 639, y, "606060", solid ? "solid" : "dot")) << j;
  }
  EXPECT_TRUE(hasLine(0, 471, 639, 471, "606060", "dot"));
  EXPECT_TRUE(hasText(0, 458, "FFFF00", "-100"));  // moved 3 up
  EXPECT_TRUE(hasText(0, 237, "FFFF00", "   0"));
  EXPECT_TRUE(hasText(0, 35, "FFFF00", "  90"));
  EXPECT_TRUE(hasText(0, 16, "FFFF00", " 100"));  // moved 3 down

  // A new month every 21 days: lines at x 0, 21, ..., 630; labels from the second on.
  int monthLines = 0;
  for (const Op& op : ops())
    if (op.kind == "line" && op.style == "dot" && op.v[0] == op.v[2] && op.v[1] == 18 &&
        op.v[3] == 471) {
      EXPECT_EQ(op.v[0] % 21, 0) << op.v[0];
      ++monthLines;
    }
  EXPECT_EQ(monthLines, 31);
  EXPECT_TRUE(hasText(22, 462, "00FFFF", "02"));
  EXPECT_TRUE(hasText(631, 462, "00FFFF", "07"));
  EXPECT_TRUE(hasText(253, 462, "00FFFF", "01"));  // January 1998
  EXPECT_FALSE(hasText(1, 462, "00FFFF", "01")) << "no label where the history starts";
}

TEST_F(ComparisonTest, AStockAcrossAPriceUnitChangeIsComparedRescaled) {
  // Closes of 500 in the first half, 9000 in the second: the early days are multiplied by ten,
  // the later ones divided by ten, so the base of 5000 and the later 900 give -82 %.
  stocks.push_back(stockOf(1301, "分割", [](int i) { return i < 320 ? 500 : 9000; }));
  open();
  show(1301);
  compare("970121");
  const auto lines = solidLines("0000FF");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), (Segment{0, 239, 1, 239}));
  // -82 % -> y = trunc(239 + 183.68) = 422.
  EXPECT_EQ(lines.back(), (Segment{638, 422, 639, 422}));
}

TEST_F(ComparisonTest, AfterwardsAChartScreenShowsTheLastComparedStock) {
  stocks.push_back(linearStock(*this, 1301));
  stocks.push_back(stockOf(1332, "下落株", [](int i) { return 2000 - i; }));
  open();
  show(1301);
  show(1332);
  show(1301);  // already in the list: 1332 stays its last entry
  compare("980101");
  key(VK_F9);
  EXPECT_TRUE(hasText(0, 0, "FFFF00", "1332"));
  EXPECT_EQ(chart->closes[slotOfDay(639)], 1361);
  // The series computed for another stock are not kept with this one's prices.
  for (int s = 0; s < marketdb::HistoryDays; ++s) ASSERT_EQ(chart->indicator1[s], 0);
}

// ---- The base-date keypad --------------------------------------------------------------

// Events: "F2", "HOME", "RETURN", "paint", a digit, "N<d>" (keypad digit d), "c<col>,<row>"
// (a click on that keypad cell).
struct EntryCase {
  const char* name;
  std::vector<std::string> events;
  const char* echo;  // the value shown at (242,2), or in the header after Enter
  int mode;
  int entryState;
};

class BaseDateEntryTest : public ComparisonTest {
 public:
  void run(const std::string& e) {
    if (e == "F2") key(VK_F2);
    else if (e == "HOME") key(VK_HOME);
    else if (e == "RETURN") key(VK_RETURN);
    else if (e == "paint") driver->paint();
    else if (e[0] == 'N') key(VK_NUMPAD0 + static_cast<unsigned>(e[1] - '0'));
    else if (e[0] == 'c') {
      int col = 0, row = 0;
      std::sscanf(e.c_str(), "c%d,%d", &col, &row);
      driver->click(col * 40 + 20, row * 40 + 20);
    } else key(static_cast<unsigned>(e[0]));
  }
};

TEST_F(BaseDateEntryTest, KeysClicksAndTheEcho) {
  stocks.push_back(linearStock(*this, 1301));
  open();
  show(1301);
  const EntryCase cases[] = {
      {"opens empty", {"F2"}, "000000", 6, 0},
      {"year 2000 without its zeros", {"F2", "1", "0", "5"}, "000105", 6, 3},
      {"keypad digits", {"F2", "N9", "N1"}, "000091", 6, 2},
      {"seven digits", {"F2", "1", "2", "3", "4", "5", "6", "7"}, "1.23457e+06", 6, 7},
      {"the eighth empties", {"F2", "1", "2", "3", "4", "5", "6", "7", "8"}, "000000", 6, 0},
      {"and is discarded", {"F2", "1", "2", "3", "4", "5", "6", "7", "8", "9"}, "000009", 6, 1},
      {"Home clears", {"F2", "9", "9", "HOME", "5"}, "000005", 6, 1},
      {"F2 reopens empty", {"F2", "4", "F2"}, "000000", 6, 0},
      {"a repaint applies the digit again", {"F2", "3", "paint"}, "000033", 6, 2},
      {"clicked 8 and 0", {"F2", "c7,1", "c6,4"}, "000080", 6, 2},
      {"a click beside the keypad", {"F2", "1", "c0,0"}, "000001", 6, 1},
      {"Enter", {"F2", "9", "8", "1", "2", "3", "1", "RETURN"}, "981231", 97, 6},
      {"clicked Enter", {"F2", "9", "9", "0", "7", "0", "1", "c8,4"}, "990701", 97, 6},
      // Refused, the entry emptied: no date, and a day after the newest stored one.
      {"Enter on an empty buffer", {"F2", "RETURN"}, "000000", 6, 0},
      {"a date after the newest day", {"F2", "9", "9", "0", "8", "0", "1", "RETURN"}, "000000",
       6, 0},
      {"no 13th month", {"F2", "9", "9", "1", "3", "0", "1", "RETURN"}, "000000", 6, 0},
  };
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string& e : c.events) run(e);
    EXPECT_EQ(chart->viewMode, c.mode);
    EXPECT_EQ(chart->entryState, c.entryState);
    if (c.mode == 6) {
      EXPECT_TRUE(hasText(242, 2, "FFFFFF", c.echo));
      EXPECT_TRUE(hasText(240, 208, "FFFFFF", "０％基準日yymmdd入力"));
      EXPECT_TRUE(hasText(322, 162, "FFFFFF", "Ｅ"));
      EXPECT_TRUE(hasLine(240, 200, 360, 200, "FFFFFF", "solid"));
    } else {
      EXPECT_EQ(chart->baseDate, fullDate(std::stof(c.echo)));
      EXPECT_TRUE(hasText(32, 0, "FFFFFF", c.echo));
      // The keypad of the same paint is covered before the chart is drawn.
      const auto all = ops();
      std::size_t fill = 0;
      for (std::size_t k = 0; k < all.size(); ++k)
        if (all[k].kind == "fill" && all[k].v[2] == 640) fill = k;
      for (std::size_t k = fill; k < all.size(); ++k)
        EXPECT_NE(all[k].text, "０％基準日yymmdd入力");
    }
    key(VK_F9);  // leave the entry
  }
}

// ---- The base-day rule on its own ---------------------------------------------------------

TEST(BaseChange, NewestDatedDayWithVolumeOnOrBeforeTheBase) {
  struct Day {
    float date;
    float volume;
    int close;
  };
  struct Case {
    const char* name;
    std::vector<Day> days;  // slots 0, 1, ...
    float base;
    int close;
  };
  const Case cases[] = {
      {"the base date itself", {{991229, 1, 10}, {991230, 1, 20}, {991231, 1, 30}}, 991230, 20},
      {"a day without trade", {{991229, 1, 10}, {991230, 0, 20}}, 991230, 10},
      {"2000 is later than 1999", {{991230, 1, 10}, {104, 1, 20}}, 991231, 10},
      {"and counts from 2000 on", {{991230, 1, 10}, {104, 1, 20}}, 105, 20},
      {"2045 before 1946", {{451231, 1, 10}, {460101, 1, 20}}, 460101, 20},
      {"newest, not last in the ring", {{980105, 1, 10}, {960105, 1, 20}}, 990101, 10},
      {"nothing before the base", {{990105, 1, 10}}, 990104, 0},
      {"an undated slot", {{0, 1, 77}}, 990104, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::array<std::int32_t, 640> dates{};
    std::array<float, 640> volumes{};
    std::array<int, 640> closes{};
    for (std::size_t s = 0; s < c.days.size(); ++s) {
      dates[s] = marketdb::dateKey(c.days[s].date);
      volumes[s] = c.days[s].volume;
      closes[s] = c.days[s].close;
    }
    EXPECT_EQ(viewer::baseClose(dates, volumes, closes, marketdb::dateKey(c.base)), c.close);
  }
}

TEST(BaseChange, PercentAndScale) {
  struct Case {
    int close, base, y;
  };
  // y = trunc(239 - percent * 2.24): doubled 15, unchanged 239, halved 351, nothing 463.
  const Case cases[] = {{2000, 1000, 15}, {1000, 1000, 239}, {500, 1000, 351}, {0, 1000, 463},
                        {3000, 1000, -209}, {1500, 1000, 127}};
  for (const Case& c : cases)
    EXPECT_EQ(viewer::comparisonY(viewer::baseChangePercent(c.close, c.base)), c.y) << c.close;
  EXPECT_EQ(viewer::baseChangePercent(100, 0), 0.0f);
  std::array<float, 640> volumes{};
  std::array<int, 640> closes{}, ys{};
  ys.fill(-1);
  EXPECT_FALSE(viewer::comparisonLine(volumes, closes, 0, 0, ys));
  EXPECT_EQ(ys[0], -1);
}

}  // namespace
}  // namespace charttest
