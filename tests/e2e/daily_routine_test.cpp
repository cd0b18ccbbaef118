// The daily routine from start to end, with the built programs: store a few months of files,
// run the analysis, sort the ranking by the composite sign and store the page's codes for the
// chart viewer, then pick them from the viewer's 連動 page and open the first one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"
#include "tools/sample/sample_data.h"

namespace {

namespace fs = std::filesystem;
using e2e::DumpRecord;
using e2e::pelinorx;
using e2e::pelinorw;
using e2e::Result;
using testsupport::readFile;
using testsupport::writeFile;

constexpr std::size_t TitleBytes = 45;
constexpr std::size_t HeaderBytes = 77;

int orderKey(const fs::path& file) {
  const int yymmdd = std::stoi(file.filename().string().substr(1));
  return (yymmdd / 10000 < 46 ? 1000000 : 0) + yymmdd;
}

std::string fmt6(float date) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%06g", static_cast<double>(date));
  return buf;
}

std::string code4(int code) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%4g", static_cast<double>(code));
  return buf;
}

// One row of a ranking file.
struct Row {
  int rank = 0, reverse = 0, code = 0, close = 0;
  std::string name;
  float sign = 0;
  std::string values;  // the text from the code on, which a rewrite must keep as it was
};

// Reads a ranking file's rows after its title and header; ok is false on a row of another shape.
std::vector<Row> readRows(const std::string& file, bool& ok) {
  ok = file.size() >= TitleBytes + HeaderBytes;
  std::vector<Row> rows;
  if (!ok) return rows;
  for (const auto& line : e2e::splitLines(file.substr(TitleBytes + HeaderBytes))) {
    Row r;
    float code = 0;
    char name[8] = {};
    float v[8];
    const int n = std::sscanf(line.c_str(), "%d %d %f %6s %d %f %f %f %f %f %f %f %f", &r.rank,
                              &r.reverse, &code, name, &r.close, &v[0], &v[1], &v[2], &v[3],
                              &v[4], &v[5], &v[6], &v[7]);
    if (n != 13 || line.size() != 76) {
      ADD_FAILURE() << "ranking row of another shape: [" << line << "]";
      ok = false;
      continue;
    }
    r.code = static_cast<int>(code);
    r.name = name;
    r.sign = v[4];
    r.values = line.substr(10);
    rows.push_back(r);
  }
  return rows;
}

// What the newest daily file says about each stock that traded on that day.
struct LastDay {
  int section = 0;
  std::string name;
  int close = 0;
};

// Generates four months of W files (autumn 1999 to March 2000), creates a database and stores
// them all; returns the files in date order.
std::vector<fs::path> storedDatabase() {
  pelinor::sample::SampleOptions options;
  options.outDir = "daily";
  options.writeN = false;
  options.stocks = 60;
  options.days = 120;
  options.endDate = 310;
  options.seed = 11;
  std::string error;
  EXPECT_TRUE(pelinor::sample::generateSampleData(options, error)) << error;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator("daily")) files.push_back(entry.path());
  std::sort(files.begin(), files.end(),
            [](const fs::path& a, const fs::path& b) { return orderKey(a) < orderKey(b); });
  EXPECT_EQ(files.size(), 120u);
  EXPECT_EQ(pelinorx("init W").status, 0);
  std::string paths;
  for (const auto& f : files) paths.append(" ").append(f.string());
  EXPECT_EQ(pelinorx("store" + paths).status, 0);
  return files;
}

// The blank-separated values of a line.
std::vector<std::string> wordsOf(const std::string& line) {
  std::vector<std::string> words;
  char word[32];
  const char* p = line.c_str();
  int used = 0;
  while (std::sscanf(p, "%31s%n", word, &used) == 1) {
    words.push_back(word);
    p += used;
  }
  return words;
}

// Lines 11 and 12 of pelinoru.win: code-list positions 80..119, the last 28 of them the
// chart-link codes.
std::vector<std::string> codeLines(const std::vector<std::string>& win) {
  std::vector<std::string> words;
  for (std::size_t l : {10u, 11u}) {
    const auto line = wordsOf(win.at(l));
    EXPECT_EQ(line.size(), 20u) << win[l];
    words.insert(words.end(), line.begin(), line.end());
  }
  return words;
}

std::vector<std::string> linkCodes() {
  const auto words = codeLines(e2e::splitLines(readFile("pelinoru.win")));
  if (words.size() != 40) return {};
  return std::vector<std::string>(words.begin() + 12, words.end());
}

// The codes of the ranking rows on a recorded page (white, x 80, from y 32 down).
std::vector<std::string> pageCodes(const std::vector<DumpRecord>& page) {
  std::vector<std::string> codes;
  for (const auto& t : e2e::textsIn(page, "FFFFFF")) {
    if (t.xy[0] != 80 || t.xy[1] < 32) continue;
    EXPECT_EQ(t.xy[1], 32 + 16 * static_cast<int>(codes.size()));
    codes.push_back(t.text);
  }
  return codes;
}

// The code cells of a recorded stock menu page (yellow, below the header), in drawing order.
std::vector<DumpRecord> menuCells(const std::vector<DumpRecord>& menu) {
  std::vector<DumpRecord> cells;
  for (const auto& t : e2e::textsIn(menu, "FFFF00"))
    if (t.xy[1] >= 16) cells.push_back(t);
  return cells;
}

// The code shown in yellow at the left of a chart screen's top row ("" when none).
std::string topRowCode(const std::vector<DumpRecord>& chart) {
  std::string code;
  for (const auto& t : e2e::textsIn(chart, "FFFF00"))
    if (t.xy[0] == 0 && t.xy[1] == 0) code = t.text;
  return code;
}

std::vector<DumpRecord> dumpOf(const std::string& file) {
  bool ok = false;
  auto records = e2e::parseDump(readFile(file), &ok);
  EXPECT_TRUE(ok) << file;
  return records;
}

TEST(DailyRoutine, StoreAnalyseSortLinkAndViewTheLinkedStocks) {
  testsupport::TempWorkDir dir;
  const std::vector<fs::path> files = storedDatabase();
  ASSERT_EQ(files.size(), 120u);

  // The expected stocks of each group, from the newest file alone, and the whole history of each
  // stock for the price-unit rule of the analysis (a stock whose range spans more than ten times
  // its low, above 8000 yen, is analysed in prices scaled by ten).
  std::map<int, LastDay> last;
  std::map<int, std::pair<int, int>> range;  // code -> highest high, lowest low
  float lastDate = 0;
  for (const auto& f : files) {
    for (const auto& d : e2e::readDailyFile(f)) {
      const int code = static_cast<int>(d.code10 / 10);
      auto [it, fresh] = range.try_emplace(code, static_cast<int>(d.high), static_cast<int>(d.low));
      if (!fresh) {
        it->second.first = std::max(it->second.first, static_cast<int>(d.high));
        it->second.second = std::min(it->second.second, static_cast<int>(d.low));
      }
      lastDate = d.date;
    }
  }
  for (const auto& d : e2e::readDailyFile(files.back())) {
    const int code = static_cast<int>(d.code10 / 10);
    const int market = static_cast<int>(d.market);
    ASSERT_TRUE(market == 801 || market == 811) << market;
    int close = static_cast<int>(d.close);
    const auto [high, low] = range.at(code);
    if (low > 0 && (high - low) / low > 10 && high > 8000)
      close = static_cast<int>(d.high) < 800 ? close * 10 : close / 10;
    last[code] = LastDay{market == 801 ? 1 : 3, d.name.substr(0, 6), close};
  }

  // The analysis against the close of about 40 trading days ago.
  const float comparison = e2e::readDailyFile(files[files.size() - 41]).at(0).date;
  const Result analysis = pelinorx("analyze " + fmt6(comparison));
  ASSERT_EQ(analysis.status, 0) << analysis.out;
  const std::string title =
      e2e::toSjis("［ペリノ改Ｃ］ 指定は" + fmt6(comparison) + "と" + fmt6(lastDate) + "本日比較\n\n");
  const std::string header = e2e::toSjis(
      "順位 逆位 ｺｰﾄﾞ 銘柄名  終値  上率  出変  RCI3  ｶｲﾘ2  sｻｲﾝ  戻率  ﾚﾝｼﾞ  指定\n\n");
  ASSERT_EQ(title.size(), TitleBytes);
  ASSERT_EQ(header.size(), HeaderBytes);

  // Both files: title, header, then the group's stocks of the newest day in code order.
  std::map<int, std::string> before;  // group 1 rows by code, text from the code on
  for (int group : {1, 2}) {
    SCOPED_TRACE(group);
    const std::string file = readFile(group == 1 ? "ranking.dat" : "ranking2.dat");
    ASSERT_GE(file.size(), TitleBytes + HeaderBytes);
    EXPECT_EQ(file.substr(0, TitleBytes), title);
    EXPECT_EQ(file.substr(TitleBytes, HeaderBytes), header);
    bool ok = false;
    const std::vector<Row> rows = readRows(file, ok);
    std::vector<int> expectedCodes;
    for (const auto& [code, day] : last)
      if ((day.section < 3) == (group == 1)) expectedCodes.push_back(code);
    std::vector<int> codes;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const Row& r = rows[i];
      codes.push_back(r.code);
      EXPECT_EQ(r.rank, static_cast<int>(i) + 1);
      EXPECT_EQ(r.reverse, static_cast<int>(rows.size() - i));
      if (!last.count(r.code)) continue;
      EXPECT_EQ(r.name, last[r.code].name) << r.code;
      EXPECT_EQ(r.close, last[r.code].close) << r.code;
      if (group == 1) before[r.code] = r.values;
    }
    EXPECT_EQ(codes, expectedCodes);
  }
  ASSERT_GE(before.size(), 28u) << "enough first-section stocks for a full page";

  // A watch list entry that the chart-link output must carry through.
  auto win = e2e::splitLines(readFile("pelinoru.win"));
  ASSERT_EQ(win.size(), 12u);
  const int watched = before.begin()->first;
  ASSERT_EQ(win[6].substr(0, 2), "0 ");
  win[6] = std::to_string(watched) + win[6].substr(1);
  std::string winText;
  for (const auto& l : win) winText += l + "\n";
  writeFile("pelinoru.win", winText);

  // The ranking of the first group sorted by the composite sign, and its first page stored.
  e2e::writeScript("rank.script", {"menu 3", "key 6", "dump page.txt", "key F11", "dump out.txt"});
  const Result ranking = pelinorx("--script rank.script");
  ASSERT_EQ(ranking.status, 0) << ranking.out;

  const std::string rewritten = readFile("ranking.dat");
  EXPECT_EQ(rewritten.substr(0, TitleBytes + HeaderBytes), title + header);
  bool ok = false;
  const std::vector<Row> sorted = readRows(rewritten, ok);
  ASSERT_EQ(sorted.size(), before.size());
  std::set<int> seen;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    const Row& r = sorted[i];
    EXPECT_EQ(r.rank, static_cast<int>(i) + 1);
    EXPECT_EQ(r.reverse, static_cast<int>(sorted.size() - i));
    if (i > 0) {
      EXPECT_LE(r.sign, sorted[i - 1].sign) << "row " << i + 1;
    }
    ASSERT_TRUE(before.count(r.code)) << r.code;
    EXPECT_EQ(r.values, before[r.code]) << "the values of " << r.code << " survive the rewrite";
    seen.insert(r.code);
  }
  EXPECT_EQ(seen.size(), sorted.size());

  // pelinoru.win: the 28 first codes of that order in the chart-link positions; everything
  // before them as it was (the watch list entry included).
  const auto winAfter = e2e::splitLines(readFile("pelinoru.win"));
  ASSERT_EQ(winAfter.size(), 12u);
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(winAfter[i], win[i]) << "line " << i + 1;
  const std::vector<std::string> words = codeLines(winAfter);
  ASSERT_EQ(words.size(), 40u);
  for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(words[i], "0") << "position " << 80 + i;
  std::vector<int> top;
  for (std::size_t i = 0; i < 28; ++i) {
    const std::string expected = i < sorted.size() ? std::to_string(sorted[i].code) : "0";
    EXPECT_EQ(words[12 + i], expected) << "chart-link position " << i;
    if (i < sorted.size()) top.push_back(sorted[i].code);
  }

  // The page on screen before the output: 28 rows, ranks 1..28 and the codes in the new order.
  const auto page = dumpOf("page.txt");
  std::vector<std::string> ranks;
  for (const auto& t : e2e::textsIn(page, "FFFFFF"))
    if (t.xy[0] == 0 && t.xy[1] >= 32) ranks.push_back(t.text);
  std::vector<std::string> expectedRanks, expectedCodes;
  for (int r = 0; r < 28; ++r) {
    char rank[8];
    std::snprintf(rank, sizeof rank, "%4d", r + 1);
    expectedRanks.push_back(rank);
    expectedCodes.push_back(code4(top[static_cast<std::size_t>(r)]));
  }
  EXPECT_EQ(ranks, expectedRanks);
  EXPECT_EQ(pageCodes(page), expectedCodes);
  bool keyShown = false;
  for (const auto& t : e2e::textsIn(page, "FF00FF"))
    keyShown = keyShown || (t.xy[0] == 416 && t.xy[1] == 16 && t.text == "6");
  EXPECT_TRUE(keyShown) << "the sort key 6 highlighted";
  bool message = false;
  for (const auto& t : e2e::textsIn(dumpOf("out.txt"), "FF0000"))
    message = message || (t.xy[0] == 456 && t.xy[1] == 0 && t.text == "ﾁｬｰﾄ連動ｺｰﾄﾞ記憶処理中(^^;");
  EXPECT_TRUE(message);

  // The viewer's 連動 page lists the stored codes, eight to a row; the first of them opens, and
  // ↓ and ↑ walk the list, stopping at its start.
  e2e::writeScript("view.script",
                   {"keys 31", "key RETURN", "dump menu.txt", "keys " + std::to_string(top[0]),
                    "key RETURN", "dump chart.txt", "key DOWN", "dump down1.txt", "key INSERT",
                    "key DOWN", "dump down2.txt", "key UP", "key UP", "key UP", "dump up.txt"});
  const Result view = pelinorw("--script view.script");
  ASSERT_EQ(view.status, 0) << view.out;
  const auto menu = dumpOf("menu.txt");
  const std::vector<DumpRecord> cells = menuCells(menu);
  ASSERT_EQ(cells.size(), top.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    EXPECT_EQ(cells[i].text, code4(top[i])) << "cell " << i;
    EXPECT_EQ(cells[i].xy[0], static_cast<int>(i % 8) * 80) << "cell " << i;
    EXPECT_EQ(cells[i].xy[1], 16 + static_cast<int>(i / 8) * 16) << "cell " << i;
  }
  bool category = false;
  for (const auto& t : e2e::textsIn(menu, "FF00FF"))
    category = category || (t.xy[0] == 600 && t.xy[1] == 0 && t.text == "連動");
  EXPECT_TRUE(category) << "the 連動 category highlighted";

  const auto chart = dumpOf("chart.txt");
  EXPECT_EQ(topRowCode(chart), code4(top[0]));
  bool marketShown = false;
  for (const auto& t : e2e::textsIn(chart, "FF0000"))
    marketShown = marketShown || (t.xy[0] == 136 && t.xy[1] == 0 && t.text == "東証１");
  EXPECT_TRUE(marketShown);
  EXPECT_EQ(topRowCode(dumpOf("down1.txt")), code4(top[1]));
  EXPECT_EQ(topRowCode(dumpOf("down2.txt")), code4(top[2]));
  EXPECT_EQ(topRowCode(dumpOf("up.txt")), code4(top[0]));

  // Insert registered the second linked stock behind the watched one; the viewer's rewrite of
  // pelinoru.win keeps the chart-link codes.
  const auto winViewed = e2e::splitLines(readFile("pelinoru.win"));
  ASSERT_EQ(winViewed.size(), 12u);
  const std::vector<std::string> watch = wordsOf(winViewed[6]);
  ASSERT_EQ(watch.size(), 20u);
  EXPECT_EQ(watch[0], std::to_string(watched));
  EXPECT_EQ(watch[1], top[1] == watched ? "0" : std::to_string(top[1]));
  for (std::size_t i = 2; i < 20; ++i) EXPECT_EQ(watch[i], "0") << "watch position " << i;
  EXPECT_EQ(codeLines(winViewed), words);
  for (std::size_t i = 1; i < 6; ++i) EXPECT_EQ(winViewed[i], win[i]) << "line " << i + 1;
}

TEST(DailyRoutine, ALaterPageAndAShortGroupAreLinkedAsShown) {
  testsupport::TempWorkDir dir;
  const std::vector<fs::path> files = storedDatabase();
  ASSERT_EQ(files.size(), 120u);
  ASSERT_EQ(pelinorx("analyze 0").status, 0);
  bool ok = false;
  const std::vector<Row> group1 = readRows(readFile("ranking.dat"), ok);
  const std::vector<Row> group2 = readRows(readFile("ranking2.dat"), ok);
  ASSERT_GT(group1.size(), 28u);
  ASSERT_LT(group1.size(), 56u) << "the second page is the last one";
  ASSERT_GE(group2.size(), 2u);
  ASSERT_LT(group2.size(), 28u) << "the second group fills less than a page";

  // Group 1 sorted by 出変, one page on: the page ends at the last row, and its codes are the
  // ones stored, top to bottom.
  e2e::writeScript("rank.script", {"menu 3", "key 3", "key RIGHT", "dump page.txt", "key F11"});
  Result run = pelinorx("--script rank.script");
  ASSERT_EQ(run.status, 0) << run.out;
  const std::vector<Row> sorted = readRows(readFile("ranking.dat"), ok);
  ASSERT_EQ(sorted.size(), group1.size());
  std::vector<std::string> lastPage, lastPageLinked;
  for (std::size_t i = sorted.size() - 28; i < sorted.size(); ++i) {
    lastPage.push_back(code4(sorted[i].code));
    lastPageLinked.push_back(std::to_string(sorted[i].code));
  }
  EXPECT_EQ(pageCodes(dumpOf("page.txt")), lastPage);
  EXPECT_EQ(linkCodes(), lastPageLinked);

  // After the output, the last paging command given again shows the page that was stored.
  for (const char* key : {"DOWN", "UP", "RIGHT", "LEFT"}) {
    SCOPED_TRACE(key);
    e2e::writeScript("again.script", {"menu 3", "key 6", "key RIGHT", std::string("key ") + key,
                                      "dump before.txt", "key F11", std::string("key ") + key,
                                      "dump again.txt"});
    run = pelinorx("--script again.script");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::vector<std::string> shown = pageCodes(dumpOf("before.txt"));
    ASSERT_EQ(shown.size(), 28u);
    EXPECT_EQ(pageCodes(dumpOf("again.txt")), shown);
    std::vector<std::string> stored;
    for (const auto& c : linkCodes()) stored.push_back(code4(std::stoi(c)));
    EXPECT_EQ(stored, shown);
  }

  // Group 2 in code order: its few codes, then zeros; the viewer lists just those.
  e2e::writeScript("rank2.script", {"menu 4", "key 0", "key F11"});
  run = pelinorx("--script rank2.script");
  ASSERT_EQ(run.status, 0) << run.out;
  std::vector<std::string> expected;
  std::vector<std::string> shown;
  for (const auto& r : group2) {
    expected.push_back(std::to_string(r.code));
    shown.push_back(code4(r.code));
  }
  expected.resize(28, "0");
  EXPECT_EQ(linkCodes(), expected);

  e2e::writeScript("view.script", {"keys 31", "key RETURN", "dump menu.txt"});
  const Result view = pelinorw("--script view.script");
  ASSERT_EQ(view.status, 0) << view.out;
  std::vector<std::string> cells;
  for (const auto& c : menuCells(dumpOf("menu.txt"))) cells.push_back(c.text);
  EXPECT_EQ(cells, shown);
}

}  // namespace
