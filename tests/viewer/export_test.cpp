// The information screen and kabudata.txt: the title and notice, and the file byte for byte,
// oldest ring slot first, with whatever series the last chart left, rewritten at every paint;
// a file that cannot be written is reported and nothing half-written is left.
#include <filesystem>
#include <functional>

#include "tests/viewer/shell_fixture.h"

namespace viewertest {
namespace {

namespace fs = std::filesystem;

// The values of one exported line.
struct Line {
  float date = 0;
  float code = 0;
  std::string name;  // CP932
  int open = 0, high = 0, low = 0, close = 0, change = 0;
  double volume = 0;
  int ma[3] = {}, dev[3] = {}, ind[4] = {}, sign = 0;
};

std::string formatLine(const Line& l) {
  char buf[256];
  std::snprintf(buf, sizeof buf,
                "%6g %4g %6s %5d %5d %5d %5d %5d %8.1f %5d %3d %5d %3d %5d %3d %3d %3d %3d %3d %5d\n",
                static_cast<double>(l.date), static_cast<double>(l.code), l.name.c_str(), l.open,
                l.high, l.low, l.close, l.change, static_cast<double>(l.volume), l.ma[0], l.dev[0],
                l.ma[1], l.dev[1], l.ma[2], l.dev[2], l.ind[0], l.ind[1], l.ind[2], l.ind[3],
                l.sign);
  return buf;
}

// Compares two files and names the first line that differs, rather than printing both.
::testing::AssertionResult sameFile(const std::string& actual, const std::string& wanted) {
  if (actual == wanted) return ::testing::AssertionSuccess();
  std::size_t line = 0, start = 0;
  while (true) {
    const std::size_t a = actual.find('\n', start), w = wanted.find('\n', start);
    const std::string la = actual.substr(start, a == std::string::npos ? a : a - start);
    const std::string lw = wanted.substr(start, w == std::string::npos ? w : w - start);
    if (la != lw || a != w || a == std::string::npos)
      return ::testing::AssertionFailure() << "line " << line << ": [" << la << "] instead of ["
                                           << lw << "] (" << actual.size() << " bytes, "
                                           << wanted.size() << " wanted)";
    start = a + 1;
    ++line;
  }
}

class ExportTest : public ViewerFixture {
 protected:
  void SetUp() override {
    useDefaultStocks();
    // 1301 (record 0) traded on ring slots 8, 9 (the newest) and 10 (the oldest); the other
    // slots are empty.
    day(0, 8, 100108, 500, 520, 490, 510, 1200.5f, 10);
    day(0, 9, 100110, 510, 530, 500, 505, 800, -5);
    day(0, 10, 91113, 480, 490, 470, 485, 31.25f, -3);
    // 1332 (record 1): one day.
    day(1, 9, 100110, 300, 310, 290, 300, 50, 0);
    writeDatabase();
  }

  // The file expected when the columns hold the days written above for `record` and the series
  // `series(slot, k)` (k 0..10: maValue1..3, maDeviation1..3, indicator1..4, signTotal).
  std::string expected(int record, float code, const std::string& nameUtf8,
                       const std::function<int(int, int)>& series) {
    std::string out;
    for (int n = 0; n < 640; ++n) {
      const int slot = (sys.storePosition + 1 + n) % 640;
      Line l;
      l.code = code;
      l.name = pelinor::text::toCp932(nameUtf8);
      auto it = histories[record].find(slot);
      if (it != histories[record].end()) {
        const marketdb::DayRecord& d = it->second;
        l.date = marketdb::classicDateValue(d.date);
        l.open = d.open, l.high = d.high, l.low = d.low, l.close = d.close, l.change = d.change;
        l.volume = d.volume;
      }
      for (int k = 0; k < 3; ++k) l.ma[k] = series(slot, k), l.dev[k] = series(slot, 3 + k);
      for (int k = 0; k < 4; ++k) l.ind[k] = series(slot, 6 + k);
      l.sign = series(slot, 10);
      out += formatLine(l);
    }
    return out;
  }

  // Fills the chart's series with values that differ by slot and series, some negative.
  void fillSeries(const std::function<int(int, int)>& series) {
    viewer::TChart& c = chart();
    std::unique_ptr<int[]>* all[11] = {&c.maValue1,   &c.maValue2,   &c.maValue3,  &c.maDeviation1,
                                       &c.maDeviation2, &c.maDeviation3, &c.indicator1,
                                       &c.indicator2, &c.indicator3, &c.indicator4, &c.signTotal};
    for (int k = 0; k < 11; ++k)
      for (int s = 0; s < 640; ++s) (*all[k])[s] = series(s, k);
  }

  static int zero(int, int) { return 0; }
};

TEST_F(ExportTest, AfterAChartTheStockAndTheSeriesLeftInTheColumnsOldestFirst) {
  struct Case {
    const char* name;
    unsigned modeKey;  // the chart screen shown before the series are filled
    int code;
    int record;
    const char* nameUtf8;
  };
  const Case cases[] = {
      {"daily chart", VK_F9, 1301, 0, "極洋"},
      {"sign view", VK_F7, 1301, 0, "極洋"},
      {"another stock", VK_F9, 1332, 1, "日水"},
  };
  start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    show(c.code);
    driver->key(c.modeKey);
    const auto series = [&](int slot, int k) { return (slot * 37 + k * 101) % 1999 - 999 + c.code; };
    fillSeries(series);
    driver->key(VK_F1);
    const std::string file = testsupport::readFile("kabudata.txt");
    EXPECT_TRUE(sameFile(file, expected(c.record, static_cast<float>(c.code), c.nameUtf8, series)));
    // The first line is slot 10 (the oldest), the last slot 9 (the newest).
    const auto lines = [&] {
      std::vector<std::string> v;
      std::size_t start = 0;
      for (std::size_t p = file.find('\n'); p != std::string::npos; p = file.find('\n', start)) {
        v.push_back(file.substr(start, p - start));
        start = p + 1;
      }
      return v;
    }();
    ASSERT_EQ(lines.size(), 640u);
    if (c.record == 0) {
      EXPECT_EQ(lines.front().substr(0, 6), " 91113");
      EXPECT_EQ(lines.back().substr(0, 6), "100110");
      EXPECT_EQ(lines[638].substr(0, 6), "100108");
      EXPECT_EQ(lines[1].substr(0, 6), "     0");  // an empty day
    }
  }
}

TEST_F(ExportTest, EveryPaintWritesTheFileAgainWhole) {
  testsupport::writeFile("kabudata.txt", std::string(200000, 'x'));
  start();
  show(1301);
  fillSeries(zero);
  driver->key(VK_F1);
  EXPECT_TRUE(sameFile(testsupport::readFile("kabudata.txt"), expected(0, 1301, "極洋", zero)));
  // A repaint of the screen (a resize) writes what the columns hold now.
  chart().signTotal[9] = 4321;
  driver->size(800, 600);
  EXPECT_TRUE(sameFile(testsupport::readFile("kabudata.txt"),
                       expected(0, 1301, "極洋", [](int slot, int k) {
                         return slot == 9 && k == 10 ? 4321 : 0;
                       })));
}

TEST_F(ExportTest, AfterTheComparisonTheLastComparedStockWithoutSeries) {
  start();
  show(1332);
  show(1301);
  chart().signTotal[9] = 77;  // computed for 1301, not to be written with another stock
  driver->key(VK_F2);
  type("100101\r");
  ASSERT_EQ(chart().viewMode, 97);
  driver->key(VK_F1);
  EXPECT_TRUE(sameFile(testsupport::readFile("kabudata.txt"), expected(0, 1301, "極洋", zero)));
}

TEST_F(ExportTest, AFileThatCannotBeWrittenIsReportedAndTheWindowCloses) {
  fs::create_directory("kabudata.txt");  // a folder in the way
  start();
  show(1301);
  driver->key(VK_F1);
  EXPECT_TRUE(driver->closed());
  EXPECT_NE(out.str().find("[ﾌｧｲﾙ存在状況] kabudata.txt が出力できません"), std::string::npos)
      << out.str();
  EXPECT_TRUE(fs::is_directory("kabudata.txt"));
  EXPECT_TRUE(fs::is_empty("kabudata.txt"));
  for (const auto& entry : fs::directory_iterator("."))
    EXPECT_EQ(entry.path().filename().string().find("kabudata.txt.tmp"), std::string::npos)
        << "no temporary file is left behind";
}

}  // namespace
}  // namespace viewertest
