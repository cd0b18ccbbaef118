#include "tests/viewer/chart_fixture.h"

#include <algorithm>
#include <cstdlib>

#include "marketdb/settings.h"
#include "platform/text/cp932.h"
#include "resources/pelinorw_resources.h"

namespace charttest {

std::vector<Op> parseOps(const std::vector<std::string>& lines) {
  std::vector<Op> out;
  for (const std::string& line : lines) {
    std::istringstream in(line);
    Op op;
    in >> op.kind;
    int n = 0;
    if (op.kind == "line" || op.kind == "rect" || op.kind == "fill") n = 4;
    if (op.kind == "text" || op.kind == "pixel") n = 2;
    for (int k = 0; k < n; ++k) in >> op.v[k];
    in >> op.colour;
    if (op.kind == "line") in >> op.style;
    if (op.kind == "text") {
      const std::size_t open = line.find('"');
      const std::size_t close = line.rfind('"');
      for (std::size_t k = open + 1; k < close; ++k) {
        if (line[k] == '\\' && k + 1 < close) ++k;
        op.text += line[k];
      }
    }
    out.push_back(op);
  }
  return out;
}

ChartFixture::ChartFixture() {
  marketdb::applyDefaults(sys, win);
  sys.lastStoreDate = 19990731;
  sys.storePosition = 99;
}

ChartFixture::~ChartFixture() {
  driver.reset();
  frame.reset();
}

void ChartFixture::open() {
  ASSERT_EQ(marketdb::writeSystemFile(sys), marketdb::FileStatus::Ok);
  ASSERT_EQ(marketdb::writeSettingsFile(win), marketdb::FileStatus::Ok);
  std::string index;
  marketdb::PriceFile prices;
  ASSERT_TRUE(prices.openForWriting());
  // The index lists the stocks in ascending code order; record slots follow the order given.
  std::vector<std::size_t> order(stocks.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(),
            [this](std::size_t a, std::size_t b) { return stocks[a].code < stocks[b].code; });
  for (std::size_t k : order) {
    const Stock& st = stocks[k];
    const std::string name = pelinor::text::toCp932(st.nameUtf8);
    index += marketdb::formatIndexLine(0, st.section, marketdb::codeFromNumber(st.code), name.c_str(), static_cast<int>(k), 0);
    for (int s = 0; s < marketdb::HistoryDays; ++s) {
      ASSERT_TRUE(prices.writeDay(static_cast<int>(k), s, st.ring[s]));
    }
  }
  prices.close();
  testsupport::writeFile(marketdb::IndexFileName, index);

  auto window = std::make_unique<viewer::TChart>();
  chart = window.get();
  frame = std::make_unique<SDIDecFrame>(pelinorwTitle(), std::move(window), pelinorwResources());
  frame->AssignMenu(100);
  driver = std::make_unique<HeadlessDriver>(*frame, TSize{640, 480}, messages);
  driver->start();
}

void ChartFixture::show(int code) {
  for (char ch : std::to_string(code)) driver->key(static_cast<unsigned>(ch));
  driver->key(VK_RETURN);
  // The paint that took the code also cleared the keypad; a plain repaint holds the chart
  // screen alone.
  driver->paint();
}

std::vector<Op> ChartFixture::ops() const {
  std::vector<Op> all = parseOps(driver->recording().operations());
  if (!ignoreUpperArea) return all;
  const int lastUpperY = chart->setting(35) + 22;
  std::vector<Op> kept;
  for (const Op& op : all) {
    const bool twoYs = op.kind == "line" || op.kind == "rect" || op.kind == "fill";
    const int top = twoYs ? std::min(op.v[1], op.v[3]) : op.v[1];
    if (top < 1 || top > lastUpperY) kept.push_back(op);
  }
  return kept;
}

std::vector<Op> ChartFixture::texts(const std::string& text) const {
  std::vector<Op> out;
  for (const Op& op : ops())
    if (op.kind == "text" && op.text == text) out.push_back(op);
  return out;
}

bool ChartFixture::hasText(int x, int y, const std::string& colour,
                           const std::string& text) const {
  for (const Op& op : ops())
    if (op.kind == "text" && op.v[0] == x && op.v[1] == y && op.colour == colour &&
        op.text == text)
      return true;
  return false;
}

bool ChartFixture::hasLine(int x1, int y1, int x2, int y2, const std::string& colour,
                           const std::string& style) const {
  for (const Op& op : ops())
    if (op.kind == "line" && op.v[0] == x1 && op.v[1] == y1 && op.v[2] == x2 && op.v[3] == y2 &&
        op.colour == colour && op.style == style)
      return true;
  return false;
}

int ChartFixture::countPixels(const std::string& colour) const {
  int n = 0;
  for (const Op& op : ops())
    if (op.kind == "pixel" && op.colour == colour) ++n;
  return n;
}

int ChartFixture::countLines(const std::string& colour, const std::string& style) const {
  int n = 0;
  for (const Op& op : ops())
    if (op.kind == "line" && op.colour == colour && op.style == style) ++n;
  return n;
}

std::int32_t monthDate(int i) {
  const int month = i / 21;
  const int year = 1997 + month / 12;
  return year * 10000 + (month % 12 + 1) * 100 + i % 21 + 1;
}

Stock linearStock(const ChartFixture& f, float code) {
  Stock st;
  st.code = code;
  st.nameUtf8 = "テスト";
  for (int i = 0; i < marketdb::HistoryDays; ++i) {
    marketdb::DayRecord d;
    d.date = monthDate(i);
    const int close = 1040 + i;
    d.close = static_cast<std::int16_t>(close);
    d.open = static_cast<std::int16_t>(i % 2 == 0 ? close - 10 : close + 10);
    d.high = static_cast<std::int16_t>(close + 41);
    d.low = static_cast<std::int16_t>(close - 40);
    d.change = static_cast<std::int16_t>(1);
    d.volume = i == 300 ? 1440.0f : 720.0f;
    if (i == 200) d.high = d.low = d.close;
    if (i == 30) {
      d.open = d.high = d.low = d.close = d.change = 0;
      d.volume = 0;
    }
    st.ring[(f.sys.storePosition + 1 + i) % marketdb::HistoryDays] = d;
  }
  return st;
}

}  // namespace charttest
