// Reading per-stock CSV price files and the name list, and building the daily files from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "dbprogram/csv_import.h"
#include "platform/text/cp932.h"

namespace {

using namespace dbprogram;
using pelinor::text::toCp932;

std::vector<CsvPriceRow> read(const std::string& text, int fileCode,
                              std::vector<ImportProblem>& problems, bool* usable = nullptr) {
  std::vector<CsvPriceRow> rows;
  const bool ok = parsePriceCsv(text, "f.csv", fileCode, 0, rows, problems);
  if (usable) *usable = ok;
  return rows;
}

TEST(CsvImport, FileNamesGiveTheStockCode) {
  const std::map<std::string, int> cases = {
      {"7203.csv", 7203},       {"prices/7203.csv", 7203}, {"7203.T.csv", 7203},
      {"7203", 7203},           {"9999_daily.csv", 9999},  {"0999.csv", 0},
      {"72030.csv", 0},         {"720.csv", 0},            {"names.csv", 0},
      {"7203/names.csv", 0},
  };
  for (const auto& [name, code] : cases) EXPECT_EQ(codeFromFileName(name), code) << name;
}

TEST(CsvImport, DatesAndNumbersOfEachLayout) {
  struct Case {
    std::string line;
    int date;  // 0: the line is left out
    int close;
  };
  std::vector<Case> cases = {
      {"2024-01-04,1,2,1,2,10", 20240104, 2},
      {"2024/01/04,1,2,1,2,10", 20240104, 2},
      {"2024/1/4,1,2,1,2,10", 20240104, 2},
      {"2024-02-29,1,2,1,2,10", 20240229, 2},
      {"1999-12-30,1,2,1,1234.5,10", 19991230, 1235},  // whole yen, rounded
      {"\"2024-01-04\",\"1,000\",\"1,100\",900,\"1,050\",10", 20240104, 1050},
      {"2023-02-29,1,2,1,2,10", 0, 0},   // no such day
      {"2024-13-01,1,2,1,2,10", 0, 0},
      {"2024-01-04x,1,2,1,2,10", 0, 0},
      {"2024-01/04,1,2,1,2,10", 0, 0},  // mixed separators
      {"24-01-04,1,2,1,2,10", 0, 0},
      {"1945-12-31,1,2,1,2,10", 0, 0},  // outside the years the database can tell apart
      {"2046-01-01,1,2,1,2,10", 0, 0},
      {"2024-01-04,null,null,null,null,null", 0, 0},
      {"2024-01-04,1,2,1,-2,10", 0, 0},
      {"2024-01-04,1,2,1,32768,10", 0, 0},  // beyond what a price field holds
      {"2024-01-04,1,2,1,2", 0, 0},
      {"2024-01-04,1,2,1,2,1e400", 0, 0},
  };
  // The last day of every month of a leap and a common year is a date; the day after it is not.
  for (const int y : {2024, 2023}) {
    for (unsigned m = 1; m <= 12; ++m) {
      using namespace std::chrono;
      const unsigned last = unsigned{year_month_day_last{year{y}, month_day_last{month{m}}}.day()};
      char line[40];
      for (const unsigned d : {last, last + 1}) {
        std::snprintf(line, sizeof line, "%d-%02u-%02u,1,2,1,2,10", y, m, d);
        cases.push_back({line, d == last ? y * 10000 + static_cast<int>(m * 100 + d) : 0, 2});
      }
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::vector<ImportProblem> problems;
    const auto rows = read("Date,Open,High,Low,Close,Volume\n" + c.line + "\n", 7203, problems);
    if (c.date == 0) {
      EXPECT_TRUE(rows.empty());
      ASSERT_EQ(problems.size(), 1u);
      EXPECT_EQ(problems[0].line, 2);
      EXPECT_EQ(problems[0].file, "f.csv");
    } else {
      ASSERT_EQ(rows.size(), 1u);
      EXPECT_TRUE(problems.empty());
      EXPECT_EQ(rows[0].fullDate, c.date);
      EXPECT_EQ(rows[0].close, c.close);
      EXPECT_EQ(rows[0].code, 7203);
    }
  }
}

TEST(CsvImport, TheHeaderPlacesTheColumns) {
  std::vector<ImportProblem> problems;
  // Columns in another order, an adjusted close among them, CRLF lines, a byte-order mark and
  // blank lines.
  auto rows = read("\xEF\xBB\xBFvolume,Adj Close,CLOSE,low,High,Open,Date\r\n\r\n"
                   "500,99,101,90,110,95,2024-01-04\r\n",
                   6758, problems);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].open, 95);
  EXPECT_EQ(rows[0].high, 110);
  EXPECT_EQ(rows[0].low, 90);
  EXPECT_EQ(rows[0].close, 101);
  EXPECT_EQ(rows[0].volume, 500);
  EXPECT_EQ(rows[0].line, 3);
  EXPECT_TRUE(problems.empty());

  // Japanese column names in CP932 and a code column: the file's own name gives no code.
  rows = read(toCp932("銘柄コード,日付,始値,高値,安値,終値,出来高\n7203.T,2024/01/05,1,3,1,2,7\n"
                      "130A,2024/01/05,1,3,1,2,7\n"),
              0, problems);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].code, 7203);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].line, 3);

  // Files that cannot be used at all add no row.
  for (const std::string& text :
       {std::string("Date,Open,High,Low,Close\n2024-01-04,1,1,1,1\n"), std::string(""),
        std::string("2024-01-04,1,1,1,1,1\n")}) {
    problems.clear();
    bool usable = true;
    EXPECT_TRUE(read(text, 7203, problems, &usable).empty());
    EXPECT_FALSE(usable);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 0);
  }
  problems.clear();
  bool usable = true;
  read("Date,Open,High,Low,Close,Volume\n2024-01-04,1,1,1,1,1\n", 0, problems, &usable);
  EXPECT_FALSE(usable);  // no code from the name nor from a column
}

TEST(CsvImport, NamesAreFourteenBytesOfCp932) {
  const std::string blank = "\x81\x40";
  const std::map<std::string, std::string> cases = {
      {"トヨタ自動車", toCp932("トヨタ自動車") + blank},
      {"ソニーグループ株式会社", toCp932("ソニーグループ")},  // cut at a character
      {"ABC Corp", "ABC" + blank + "Corp" + blank + blank + "_"},
      {"ｱｲｳ", toCp932("ｱｲｳ") + blank + blank + blank + blank + blank + "_"},
      {"1234567890123X5", "1234567890123X"},
      {"あいうえおかX", toCp932("あいうえおかX") + "_"},
  };
  for (const auto& [utf8, expected] : cases) {
    const std::string fitted = fitName(toCp932(utf8));
    EXPECT_EQ(fitted, expected) << utf8;
    EXPECT_EQ(fitted.size(), 14u);
    for (char c : fitted) EXPECT_FALSE(c == ' ' || c == '\t' || c == '\n' || c == '\r');
  }
}

TEST(CsvImport, TheNameListIsReadInEitherEncoding) {
  const std::string utf8 = "code,name,market\n7203,トヨタ自動車\n6758,ソニー,802\n"
                           "6758,ダブり\n9984,ソフトバンク,799\nxx,名前\n1301\n";
  for (const std::string& text : {utf8, toCp932(utf8)}) {
    std::vector<ImportProblem> problems;
    const auto labels = parseNameList(text, "names.csv", problems);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels.at(7203).name, fitName(toCp932("トヨタ自動車")));
    EXPECT_EQ(labels.at(7203).market, 0);
    EXPECT_EQ(labels.at(6758).name, fitName(toCp932("ソニー")));
    EXPECT_EQ(labels.at(6758).market, 802);
    std::vector<int> badLines;
    for (const auto& p : problems) badLines.push_back(p.line);
    EXPECT_EQ(badLines, (std::vector<int>{4, 5, 6, 7}));
  }
}

// The daily files written from rows, checked against lines put together here.
TEST(CsvImport, DailyFilesHoldEachDaysStocksWithTheChangeFromTheirPreviousClose) {
  struct Day {
    int code, date, open, high, low, close;
    double volume;
  };
  // Out of order on purpose; 6758 misses 2024-01-05, 7203 jumps down as after a split, and 1301
  // has two lines for one day.
  const std::vector<Day> days = {
      {7203, 20240105, 2500, 2550, 2480, 2520, 900},  {6758, 20240104, 12000, 12100, 11900, 12050, 50},
      {7203, 20240104, 2450, 2510, 2440, 2500, 800},  {6758, 20240109, 2400, 2450, 2390, 2420, 300},
      {7203, 20240109, 510, 515, 500, 505, 4500},      {1301, 19991230, 300, 300, 300, 300, 1},
      {1301, 19991230, 999, 999, 999, 999, 1},         {1301, 20240109, 310, 320, 300, 315, 0},
  };
  std::vector<CsvPriceRow> rows;
  for (std::size_t i = 0; i < days.size(); ++i) {
    const Day& d = days[i];
    rows.push_back({d.code, d.date, d.open, d.high, d.low, d.close, d.volume, 0,
                    static_cast<int>(i) + 2});
  }
  std::map<int, StockLabel> labels;
  labels[7203] = {fitName("TOYOTA"), 0};
  labels[1301] = {fitName("KYOKUYO"), 813};

  for (const int after : {0, 20240104}) {
    SCOPED_TRACE(after);
    std::vector<ImportProblem> problems;
    const auto files = buildDailyFiles(rows, labels, 'N', after, {"in.csv"}, problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 8);  // the second 1301 line of 1999-12-30
    EXPECT_EQ(problems[0].file, "in.csv");

    // Expected: per stock in date order, the change against the previous kept close.
    std::map<int, std::string> expected;  // fullDate -> contents
    std::map<int, std::vector<const Day*>> byCode;
    for (const Day& d : days) byCode[d.code].push_back(&d);
    std::map<std::pair<int, int>, std::string> lines;
    for (auto& [code, list] : byCode) {
      std::stable_sort(list.begin(), list.end(),
                       [](const Day* a, const Day* b) { return a->date < b->date; });
      int previousClose = -1;
      int previousDate = 0;
      for (const Day* d : list) {
        if (d->date == previousDate) continue;
        const int change = previousClose < 0 ? 0 : d->close - previousClose;
        previousClose = d->close;
        previousDate = d->date;
        if (d->date <= after) continue;
        const std::string name = code == 7203   ? "TOYOTA\x81\x40\x81\x40\x81\x40\x81\x40"
                                 : code == 1301 ? "KYOKUYO\x81\x40\x81\x40\x81\x40_"
                                                : "6758\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40";
        const int market = code == 1301 ? 813 : 802;
        char buf[200];
        std::snprintf(buf, sizeof buf, "\"%s\",%d,%d,%d,%d,%d,%d,%06d,%d,%d0\n", name.c_str(),
                      d->open, d->high, d->low, d->close, change, static_cast<int>(d->volume),
                      d->date % 1000000, market, code);
        lines[{d->date, code}] = buf;
      }
    }
    for (const auto& [key, text] : lines) expected[key.first] += text;

    ASSERT_EQ(files.size(), expected.size());
    auto it = expected.begin();
    for (const DailyPriceFile& f : files) {
      char name[16];
      std::snprintf(name, sizeof name, "N%06d", it->first % 1000000);
      EXPECT_EQ(f.name, name);
      EXPECT_EQ(f.contents, it->second) << f.name;
      ++it;
    }
  }
}

TEST(CsvImport, DatabaseDatesAreReadInTheirCentury) {
  EXPECT_EQ(fullDateOf(0), 0);
  EXPECT_EQ(fullDateOf(240104), 20240104);
  EXPECT_EQ(fullDateOf(451231), 20451231);
  EXPECT_EQ(fullDateOf(460101), 19460101);
  EXPECT_EQ(fullDateOf(991230), 19991230);
  EXPECT_EQ(fullDateOf(104), 20000104);
}

}  // namespace
