// The same daily files stored into a classic and into a wide database give the same answers:
// the same ranking rows (code and every value; the titles differ in their dates' form) and
// the same chart series in kabudata.txt (dates compared as full dates, volumes as the classic
// file's float holds them, every other column but the code as text). A ring that has wrapped
// and a comparison date make every column of the analysis count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"
#include "tools/sample/sample_data.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;

constexpr std::size_t TitleLines = 2, HeaderLines = 2;

// Code -> the row from its name on, of a ranking file, after its title and header.
std::map<std::string, std::string> rankingRows(const std::string& file) {
  std::map<std::string, std::string> rows;
  const std::vector<std::string> lines = e2e::splitLines(file);
  for (std::size_t i = TitleLines + HeaderLines; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    if (l.size() < 16) continue;
    std::string code = l.substr(10, 4);
    code.erase(0, code.find_first_not_of(' '));
    EXPECT_FALSE(rows.count(code)) << "twice: " << code;
    rows[code] = l.substr(15);
  }
  return rows;
}

// A kabudata.txt line in the form both kinds are compared in: the date as yyyymmdd, the code
// left out, the volume as a float, the rest as written.
std::vector<std::string> comparable(const std::string& line, bool classic) {
  std::istringstream in(line);
  std::vector<std::string> w{std::istream_iterator<std::string>(in), {}};
  if (w.size() < 9) return {"short line: " + line};
  long date = std::stol(w[0]);
  if (classic && date != 0) date += date < 460000 ? 20000000 : 19000000;
  w[0] = std::to_string(date);
  w.erase(w.begin() + 1);
  char volume[32];
  std::snprintf(volume, sizeof volume, "%.1f",
                static_cast<double>(static_cast<float>(std::stod(w[7]))));
  w[7] = volume;
  return w;
}

TEST(WideEquivalence, ClassicAndWideDatabasesGiveTheSameRankingsAndSeries) {
  testsupport::TempWorkDir dir;
  pelinor::sample::SampleOptions options;
  options.outDir = (dir.path() / "daily").string();
  options.writeN = false;
  options.stocks = 240;
  options.days = 700;  // more than the ring: the oldest days have been overwritten
  options.endDate = 261204;
  options.seed = 23;
  std::string error;
  ASSERT_TRUE(pelinor::sample::generateSampleData(options, error)) << error;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(options.outDir)) files.push_back(entry.path());
  const std::vector<int> days = pelinor::sample::tradingDays(options.endDate, options.days);
  ASSERT_EQ(files.size(), days.size());
  std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
    return pelinor::sample::fullDate(std::stoi(a.filename().string().substr(1))) <
           pelinor::sample::fullDate(std::stoi(b.filename().string().substr(1)));
  });
  std::string paths;
  for (const auto& f : files) paths.append(" ").append(f.string());
  const int comparison = days[days.size() - 40];

  enum { Wide, Classic };
  const fs::path folder[2] = {dir.path() / "wide", dir.path() / "classic"};
  std::map<std::string, std::string> ranking[2][2];  // [kind][group]: code -> row
  for (int kind : {Classic, Wide}) {
    fs::create_directory(folder[kind]);
    fs::current_path(folder[kind]);
    ASSERT_EQ(e2e::pelinorx(kind == Classic ? "init W" : "init W --wide").status, 0);
    const e2e::Result stored = e2e::pelinorx("store" + paths);
    ASSERT_EQ(stored.status, 0) << stored.out.substr(0, 400);
    const int date = kind == Classic ? comparison : pelinor::sample::fullDate(comparison);
    char typed[16];
    std::snprintf(typed, sizeof typed, kind == Classic ? "%06d" : "%08d", date);
    const e2e::Result analysed = e2e::pelinorx(std::string("analyze ") + typed);
    ASSERT_EQ(analysed.status, 0) << analysed.out;
    ranking[kind][0] = rankingRows(readFile("ranking.dat"));
    ranking[kind][1] = rankingRows(readFile("ranking2.dat"));
  }
  for (int group = 0; group < 2; ++group) {
    SCOPED_TRACE(group == 0 ? "ranking.dat" : "ranking2.dat");
    EXPECT_GT(ranking[Classic][group].size(), 0u);
    EXPECT_EQ(ranking[Wide][group], ranking[Classic][group]);
  }

  // The chart series of a few stocks spread over the ranking, as the viewer exports them.
  std::vector<std::string> codes;
  std::size_t at = 0;
  for (const auto& [code, row] : ranking[Classic][0])
    if (at++ % 40 == 0) codes.push_back(code);
  ASSERT_GE(codes.size(), 3u);
  for (const std::string& code : codes) {
    SCOPED_TRACE(code);
    std::vector<std::string> exported[2];
    for (int kind : {Classic, Wide}) {
      fs::current_path(folder[kind]);
      e2e::writeScript("export.script", {"keys " + code, "key RETURN", "key F1"});
      ASSERT_EQ(e2e::pelinorw("--script export.script").status, 0);
      exported[kind] = e2e::splitLines(readFile("kabudata.txt"));
    }
    ASSERT_EQ(exported[Wide].size(), exported[Classic].size());
    ASSERT_FALSE(exported[Classic].empty());
    int traded = 0;
    for (std::size_t i = 0; i < exported[Classic].size(); ++i) {
      const auto c = comparable(exported[Classic][i], true);
      EXPECT_EQ(comparable(exported[Wide][i], false), c) << "line " << i + 1;
      traded += c[0] != "0";
    }
    EXPECT_GT(traded, 0);
  }
}

}  // namespace
