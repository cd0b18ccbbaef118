// The sample daily price files: the line format the store reads, the calendar, the behaviour of
// the prices, and that a seed always gives the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "tests/support/test_support.h"
#include "tools/sample/sample_data.h"
#include "tools/sample/universe.h"

using namespace pelinor::sample;
using testsupport::readFile;
using testsupport::TempWorkDir;

namespace {

struct Line {
  std::string name;
  int open, high, low, close, change, market, code;
  double volume, date;
};

// Reads a daily file with the store's own conversion; every line must give all 12 values.
std::vector<Line> readDaily(const std::string& path) {
  std::vector<Line> lines;
  std::FILE* fp = std::fopen(path.c_str(), "r");
  EXPECT_NE(fp, nullptr) << path;
  if (!fp) return lines;
  for (;;) {
    char open[2], name[15], close[2];
    float f[9];
    int r = std::fscanf(fp, "%1s%14s%1s,%f,%f,%f,%f,%f,%f,%f,%f,%f", open, name, close, &f[0],
                        &f[1], &f[2], &f[3], &f[4], &f[5], &f[6], &f[7], &f[8]);
    if (r == EOF) break;
    EXPECT_EQ(r, 12) << path << " line " << lines.size() + 1;
    if (r != 12) break;
    EXPECT_EQ(std::string(name).size(), 14u) << path;
    Line l{name, int(f[0]), int(f[1]), int(f[2]), int(f[3]), int(f[4]), int(f[7]),
           int(f[8] / 10), f[5], f[6]};
    EXPECT_EQ(f[8], l.code * 10.0f);
    lines.push_back(l);
  }
  std::fclose(fp);
  return lines;
}

std::string fileName(char kind, int date) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%c%06d", kind, date);
  return buf;
}

SampleOptions smallCase(const std::string& out) {
  SampleOptions o;
  o.outDir = out;
  o.stocks = 20;
  o.days = 30;
  o.seed = 42;
  return o;
}

}  // namespace

TEST(SampleCalendarTest, WeekdaysWithoutHolidays) {
  // 2026-12-04 is a Friday: the week before it from Monday.
  EXPECT_EQ(tradingDays(261204, 5), (std::vector<int>{261130, 261201, 261202, 261203, 261204}));
  // A Sunday end date ends on the Friday before.
  EXPECT_EQ(tradingDays(261206, 1), (std::vector<int>{261204}));
  // The New Year break: 12/31 to 1/3 (2027-01-04 is a Monday).
  EXPECT_EQ(tradingDays(270104, 2), (std::vector<int>{261230, 270104}));
  // Across the century: 1999-12-30 (Thursday) then 2000-01-04 (Tuesday).
  EXPECT_EQ(tradingDays(104, 2), (std::vector<int>{991230, 104}));
  // Golden week 2026: 4/29 Wednesday, 5/3..5/5 Sunday..Tuesday, and 5/6 off in place of 5/3.
  const std::vector<int> golden = tradingDays(260507, 4);
  EXPECT_EQ(golden, (std::vector<int>{260428, 260430, 260501, 260507}));
  EXPECT_TRUE(tradingDays(460104, 2).empty());  // would start before 1946
  EXPECT_FALSE(validDate(260230));
  EXPECT_TRUE(validDate(240229));
  EXPECT_FALSE(validDate(230229));
}

TEST(SampleNameTest, NamesAreFourteenBytesWithoutBlanks) {
  EXPECT_EQ(padName("AB"), "AB\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40");
  EXPECT_EQ(padName("ABC"), "ABC\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40_");
  // Cut at a character boundary: 8 two-byte characters become 7.
  const std::string sixteen = "\x93\x8c\x93\x8c\x93\x8c\x93\x8c\x93\x8c\x93\x8c\x93\x8c\x93\x8c";
  EXPECT_EQ(padName(sixteen), sixteen.substr(0, 14));
  EXPECT_EQ(padName(std::string("A") += sixteen), (std::string("A") += sixteen.substr(0, 12)) += "_");
}

TEST(SampleDataTest, FilesParseAndPricesBehave) {
  TempWorkDir dir;
  std::string error;
  int files = 0;
  ASSERT_TRUE(generateSampleData(smallCase("out"), error, &files)) << error;
  EXPECT_EQ(files, 60);
  const std::vector<int> calendar = tradingDays(261204, 30);
  ASSERT_EQ(calendar.size(), 30u);

  for (char kind : {'W', 'N'}) {
    const std::set<int> markets = kind == 'W' ? std::set<int>{801, 811}
                                              : std::set<int>{802, 812, 813, 814};
    std::map<int, int> lastClose;  // code -> close of the previous file
    std::set<int> allCodes;
    int unexplainedChanges = 0;
    for (int date : calendar) {
      const std::vector<Line> lines = readDaily("out/" + fileName(kind, date));
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.front().code, IndexCode);
      EXPECT_EQ(lines.front().market, kind == 'W' ? 801 : 802);
      EXPECT_GT(lines.front().close, 15000);
      std::map<int, int> closes;
      int previousCode = 0;
      for (const Line& l : lines) {
        EXPECT_EQ(l.date, date);
        EXPECT_GT(l.code, previousCode);  // one line per stock, ascending codes
        previousCode = l.code;
        EXPECT_GE(l.code, 1000);
        EXPECT_LE(l.code, 9999);
        EXPECT_TRUE(markets.count(l.market)) << l.market;
        EXPECT_GE(l.low, 1);
        EXPECT_LE(l.high, 32767);
        EXPECT_GE(l.high, std::max(l.open, l.close)) << l.code;
        EXPECT_LE(l.low, std::min(l.open, l.close)) << l.code;
        EXPECT_GT(l.volume, 0);
        for (unsigned char c : l.name) EXPECT_FALSE(c == ' ' || (c >= 9 && c <= 13));
        auto prev = lastClose.find(l.code);
        if (prev != lastClose.end() && l.change != l.close - prev->second) ++unexplainedChanges;
        closes[l.code] = l.close;
        allCodes.insert(l.code);
      }
      lastClose = closes;
    }
    EXPECT_EQ(allCodes.size(), 20u);
    EXPECT_LE(unexplainedChanges, 1) << kind;  // only the split day is measured on the new scale
  }
}

TEST(SampleDataTest, ListingsDelistingsAndOneSplit) {
  TempWorkDir dir;
  SampleOptions o = smallCase("out");
  o.stocks = 80;
  o.days = 60;
  o.writeN = false;
  std::string error;
  ASSERT_TRUE(generateSampleData(o, error)) << error;
  const std::vector<int> calendar = tradingDays(o.endDate, o.days);
  std::map<int, int> first, last, previousClose;
  std::set<int> splitCodes;
  for (int d = 0; d < o.days; ++d) {
    for (const Line& l : readDaily("out/" + fileName('W', calendar[static_cast<std::size_t>(d)]))) {
      if (!first.count(l.code)) first[l.code] = d;
      last[l.code] = d;
      auto p = previousClose.find(l.code);
      if (p != previousClose.end() && l.close * 5 < p->second) {
        splitCodes.insert(l.code);
        EXPECT_GT(p->second, 5000);
        EXPECT_EQ(l.change, l.close - p->second / 10 + (p->second % 10 >= 5 ? -1 : 0)) << l.code;
      }
      previousClose[l.code] = l.close;
    }
  }
  int listed = 0, delisted = 0;
  for (const auto& [code, d] : first) listed += d > 5;
  for (const auto& [code, d] : last) delisted += d < o.days - 6;
  EXPECT_GE(listed, 1);
  EXPECT_GE(delisted, 1);
  EXPECT_EQ(splitCodes.size(), 1u);
  EXPECT_EQ(first[IndexCode], 0);
  EXPECT_EQ(last[IndexCode], o.days - 1);
}

TEST(SampleDataTest, SameSeedSameBytes) {
  TempWorkDir dir;
  std::string error;
  SampleOptions a = smallCase("a");
  SampleOptions b = smallCase("b");
  SampleOptions c = smallCase("c");
  c.seed = 43;
  ASSERT_TRUE(generateSampleData(a, error)) << error;
  ASSERT_TRUE(generateSampleData(b, error)) << error;
  ASSERT_TRUE(generateSampleData(c, error)) << error;
  int differing = 0;
  for (int date : tradingDays(a.endDate, a.days)) {
    for (char kind : {'W', 'N'}) {
      const std::string name = fileName(kind, date);
      const std::string bytes = readFile("a/" + name);
      ASSERT_FALSE(bytes.empty());
      EXPECT_EQ(bytes, readFile("b/" + name)) << name;
      differing += bytes != readFile("c/" + name);
    }
  }
  EXPECT_GT(differing, 50);
}

TEST(SampleDataTest, RefusesUnusableOptions) {
  TempWorkDir dir;
  std::string error;
  SampleOptions o = smallCase("out");
  o.stocks = 3020;
  EXPECT_FALSE(generateSampleData(o, error));
  EXPECT_FALSE(error.empty());
  o = smallCase("out");
  o.endDate = 261301;
  EXPECT_FALSE(generateSampleData(o, error));
  o = smallCase("");
  EXPECT_FALSE(generateSampleData(o, error));
  testsupport::writeFile("file", "x");
  o = smallCase("file/out");  // a file where the folder should be
  EXPECT_FALSE(generateSampleData(o, error));
  EXPECT_FALSE(error.empty());
}

TEST(SampleDataTest, ClassicBytesNeverChange) {
  // FNV-1a of the classic files as the generator wrote them before the wide market was added:
  // the demo database and its pictures are made from these bytes.
  TempWorkDir dir;
  std::string error;
  ASSERT_TRUE(generateSampleData(smallCase("out"), error)) << error;
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (char kind : {'W', 'N'})
    for (int date : tradingDays(261204, 30))
      for (unsigned char c : readFile("out/" + fileName(kind, date)))
        hash = (hash ^ c) * 0x100000001b3ull;
  EXPECT_EQ(hash, 0xece4c6b014f3e3adull);
}

TEST(SampleDataTest, WideMarketInTheExtendedForm) {
  TempWorkDir dir;
  SampleOptions o = smallCase("wide");
  o.wide = true;
  o.writeN = false;
  o.stocks = WideSampleStocks;
  o.days = 3;
  std::string error;
  ASSERT_TRUE(generateSampleData(o, error)) << error;
  // name, open, high, low, close, change, volume, yyyymmdd, market, four-character code and 0
  const std::string alnum = "[0-9ACDFGHJKLMNPRSTUWXY]";
  const std::regex form("\"[^\"]{14}\",(\\d+),(\\d+),(\\d+),(\\d+),-?\\d+,(\\d+),(\\d{8}),8\\d\\d,"
                        "([1-9]" + alnum + "[0-9]" + alnum + ")0");
  int lettered = 0, above16Bits = 0, busy = 0;
  for (int date : tradingDays(o.endDate, o.days)) {
    std::istringstream in(readFile("wide/" + fileName('W', date)));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "#PELWIDE DAILY 1");
    std::vector<std::string> codes;
    for (std::smatch m; std::getline(in, line); codes.push_back(m[7])) {
      ASSERT_TRUE(std::regex_match(line, m, form)) << line;
      const long long open = std::stoll(m[1]), high = std::stoll(m[2]), low = std::stoll(m[3]),
                      close = std::stoll(m[4]);
      EXPECT_TRUE(low >= 1 && low <= std::min(open, close) && high >= std::max(open, close));
      EXPECT_EQ(std::stoi(m[6]), 20000000 + date);
      above16Bits += high > 32767;
      busy += std::stod(m[5]) > 16777216;
      lettered += m[7].str().find_first_not_of("0123456789") != std::string::npos;
    }
    EXPECT_EQ(codes.size(), 4000u);
    EXPECT_EQ(codes.front(), "1001");
    // Byte order is the code order (digits before letters); strictly ascending, so unique.
    EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end(), std::greater_equal<>()), codes.end());
  }
  EXPECT_GE(lettered, 3 * 100);
  EXPECT_GE(above16Bits, 3 * 20);
  EXPECT_GT(busy, 0);
}
