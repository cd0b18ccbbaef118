// Reading the charts with the mouse: the readout under the pointer against the loaded days and
// plain recomputations, scrolling against the unscrolled view, and the overlay leaving the frame
// below it as it was.
#include <cstdio>
#include <map>

#include "platform/text/cp932.h"
#include "tests/viewer/chart_fixture.h"
#include "tests/viewer/oscillator_reference.h"
#include "viewer/chart_pointer.h"

namespace charttest {
namespace {

using oscillatortest::Ring;

class PointerTest : public ChartFixture {
 protected:
  // Two stocks of random days on the same dates (day k from the oldest on monthDate(k)).
  void openRandom() {
    for (unsigned seed : {7u, 8u}) {
      rings.push_back(oscillatortest::randomRing(seed));
      Stock st;
      st.code = seed == 7u ? 1301.0f : 1332.0f;
      st.nameUtf8 = "乱数";
      for (int k = 0; k < RingDays; ++k) {
        const Ring& r = rings.back();
        marketdb::DayRecord d;
        d.date = monthDate(k);
        const int s = r.slot(k);
        d.open = static_cast<std::int16_t>(r.open[s]);
        d.high = static_cast<std::int16_t>(r.high[s]);
        d.low = static_cast<std::int16_t>(r.low[s]);
        d.close = static_cast<std::int16_t>(r.close[s]);
        d.change = static_cast<std::int16_t>(r.change[s]);
        d.volume = r.volume[s];
        st.ring[slotOfDay(k)] = d;
      }
      stocks.push_back(st);
    }
    open();
    show(1301);
  }
  const viewer::ReadoutPane& upper() const { return chart->pointer->upper; }
  std::vector<std::uint8_t> frame() const { return driver->raster().rgb(); }
  // The last paint with its overlay.
  std::vector<Op> overlayOps() const {
    std::vector<std::string> lines;
    std::istringstream in(driver->dump());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return parseOps(lines);
  }

  static constexpr int RingDays = viewer::RingDays;
  std::vector<Ring> rings;
};

// Plain average of the trading closes of the `n` days ending at day k.
std::optional<float> averageOf(const Ring& r, int k, int n) {
  float sum = 0.0f;
  int skip = 0;
  for (int i = k - n + 1; i <= k; ++i) {
    if (i < 0 || r.empty(i)) ++skip; else sum += static_cast<float>(r.c(i));
  }
  if (skip >= n) return std::nullopt;
  return sum / static_cast<float>(n - skip);
}

// Middle of the highest high and lowest low of the trading days among the `n` ending at day k.
std::optional<float> middleOf(const Ring& r, int k, int n) {
  int hi = -1, lo = 1 << 20;
  for (int i = k - n + 1; i <= k; ++i) {
    if (i < 0 || r.empty(i)) continue;
    hi = std::max(hi, r.high[r.slot(i)]);
    lo = std::min(lo, r.low[r.slot(i)]);
  }
  if (hi < 0) return std::nullopt;
  return static_cast<float>(hi + lo) / 2.0f;
}

TEST_F(PointerTest, ReadoutGivesTheDayAndTheLinesUnderThePointer) {
  openRandom();
  const Ring& r = rings[0];
  const int h = chart->setting(35);
  struct Case {
    unsigned key;
    int x, y;       // pointer
    int day;        // walk day under it
    int line;       // readout line checked (-1 none)
    std::function<std::optional<float>(int day)> expected;
  };
  const int n1 = chart->setting(20);
  const int nDev = chart->setting(20);
  const auto deviation = oscillatortest::plainWalk(
      nDev, [&](int k, int n) { return oscillatortest::deviationDirect(r, k, n); });
  const Case cases[] = {
      {VK_F9, 1 + 3 * 100, 100, 427 + 100, 0, [&](int d) { return averageOf(r, d, n1); }},
      {VK_F9, 250, h + 100, 250, -1, nullptr},  // the long-term chart below
      {VK_F3, -77 + 3 * 150, 100, 427 + 150, 0, [&](int d) { return middleOf(r, d, 9); }},
      {VK_F3, 250, h + 100, 276, -1, nullptr},  // drawn 26 days to the left
      {VK_F5, 300, 100, 300, 1,
       [&](int d) { return d >= deviation.lookback ? std::optional(deviation.value[d]) : std::nullopt; }},
      {VK_F6, 500, 100, 500, -1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "key " << c.key << " x " << c.x << " y " << c.y);
    key(c.key);
    driver->move(c.x, c.y);
    const viewer::ReadoutPane& p = c.y < h + 24 ? upper() : chart->pointer->lower;
    const int column = p.columnAt(c.x);
    ASSERT_GE(column, 0);
    EXPECT_EQ(p.date[column], monthDate(c.day));
    EXPECT_EQ(p.close[column], r.close[r.slot(c.day)]);
    EXPECT_EQ(p.volume[column], r.volume[r.slot(c.day)]);
    // The box shows the close, or says the day is empty.
    const std::string said = r.empty(c.day) ? "取引なし" : "終" + std::to_string(r.c(c.day));
    bool shown = false;
    for (const Op& op : overlayOps()) {
      std::string t = op.text;
      t.erase(std::remove(t.begin(), t.end(), ' '), t.end());
      shown = shown || (op.kind == "text" && t.find(said) != std::string::npos);
    }
    EXPECT_TRUE(shown) << said;
    if (c.line < 0) continue;
    ASSERT_LT(c.line, p.lineCount);
    const std::optional<float> want = c.expected(c.day);
    ASSERT_EQ(p.lines[c.line].has[column], want.has_value());
    if (want) {
      EXPECT_EQ(p.lines[c.line].value[column], *want);
    }
  }
}

TEST_F(PointerTest, ComparisonReadoutGivesEachStocksChangeFromItsBase) {
  openRandom();
  key(VK_F2);
  for (char ch : std::string("970517\r")) key(ch == '\r' ? VK_RETURN : static_cast<unsigned>(ch));
  ASSERT_EQ(chart->viewMode, 97);
  driver->move(300, 200);
  const Ring& r = rings[0];
  int baseDay = 100;  // 970517; the newest trading day on or before it is the base
  while (baseDay > 0 && r.empty(baseDay)) --baseDay;
  const int base = r.c(baseDay);
  const int column = upper().columnAt(300);
  ASSERT_EQ(column, 300);
  ASSERT_GE(upper().lineCount, 1);
  const viewer::ReadoutLine& line = upper().lines[0];
  EXPECT_EQ(line.label.rfind("1301", 0), 0u);
  ASSERT_EQ(line.has[column], !r.empty(300));
  if (!r.empty(300)) {
    EXPECT_EQ(line.value[column],
              static_cast<float>(r.c(300) - base) / static_cast<float>(base) * 100.0f);
  }
}

TEST_F(PointerTest, ScrolledChartsShowTheUnscrolledValuesOfTheirDates) {
  openRandom();
  const int h = chart->setting(35);
  for (unsigned view : {VK_F9, VK_F3}) {
    SCOPED_TRACE(view);
    key(view);
    const std::vector<std::uint8_t> unscrolled = frame();
    const std::vector<float> closes(chart->closes.get(), chart->closes.get() + RingDays);
    // Every column of the unscrolled view by its date.
    using Figures = std::vector<float>;
    auto figures = [&](int k) {
      Figures f{static_cast<float>(upper().open[k]), static_cast<float>(upper().high[k]),
                static_cast<float>(upper().low[k]), static_cast<float>(upper().close[k]),
                upper().volume[k]};
      for (int n = 0; n < upper().lineCount; ++n)
        f.push_back(upper().lines[n].has[k] ? upper().lines[n].value[k] : -1e9f);
      return f;
    };
    std::map<std::int32_t, Figures> byDate;
    for (int k = 0; k < upper().count; ++k) byDate[upper().date[k]] = figures(k);

    // Ten notches back, a drag of 30 units (10 days) and Shift+Left (21 days): 81 days.
    driver->move(300, 100);
    driver->wheel(10);
    driver->drag(300, 100, 330, 100);
    driver->key(VK_LEFT, MK_SHIFT);
    ASSERT_EQ(chart->pointer->scroll, 81);
    ASSERT_EQ(upper().date[upper().count - 1], monthDate(639 - 81));
    int matched = 0;
    for (int k = 0; k < upper().count; ++k) {
      auto it = byDate.find(upper().date[k]);
      if (it == byDate.end()) continue;
      ++matched;
      ASSERT_EQ(figures(k), it->second) << "date " << upper().date[k];
    }
    EXPECT_EQ(matched, viewer::DailyDays - 81);
    // The long-term chart marks the newest shown day.
    const viewer::ColourSetting& grid = chart->colour(3);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X", grid.red, grid.green, grid.blue);
    const int markX = 639 - 81 - (view == VK_F3 ? 26 : 0);
    EXPECT_TRUE(hasLine(markX, h + 24, markX, 471, hex, "dot"));

    // Another stock with the date keeps it; End returns to the newest day, frame and ring as
    // they were.
    show(1332);
    key(view);
    EXPECT_EQ(chart->pointer->scroll, 81);
    show(1301);
    key(view);
    driver->leave();
    key(VK_END);
    EXPECT_EQ(chart->pointer->scroll, 0);
    EXPECT_EQ(std::vector<float>(chart->closes.get(), chart->closes.get() + RingDays), closes);
    EXPECT_EQ(frame(), unscrolled);
  }
}

TEST_F(PointerTest, OverlaysComeAndGoWithoutRepaintingTheChart) {
  openRandom();
  const std::vector<std::uint8_t> chartFrame = frame();
  const int paints = driver->paintCount();
  for (int x : {40, 300, 620}) driver->move(x, 60);
  EXPECT_NE(frame(), chartFrame);
  driver->leave();
  EXPECT_EQ(frame(), chartFrame);
  EXPECT_EQ(driver->paintCount(), paints);

  // The help names the view; the next key only closes it.
  driver->key(VK_HELP);
  EXPECT_NE(driver->dump().find("日足"), std::string::npos);
  driver->key(VK_F5);
  EXPECT_EQ(chart->viewMode, 9);
  EXPECT_EQ(frame(), chartFrame);
  EXPECT_EQ(driver->titleDetail(), pelinor::text::toCp932("日足 1301 乱数"));
}

}  // namespace
}  // namespace charttest
