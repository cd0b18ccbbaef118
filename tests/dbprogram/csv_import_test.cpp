// Reading per-stock CSV price files and the name list, and building the daily files from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dbprogram/csv_import.h"
#include "platform/text/cp932.h"

namespace {

using namespace dbprogram;
using pelinor::text::toCp932;

marketdb::StockCode K(int number) { return marketdb::codeFromNumber(number); }

PriceRows read(const std::string& text, int fileCode, std::vector<ImportProblem>& problems,
               bool* usable = nullptr, ImportTally* tallyOut = nullptr) {
  PriceRows rows;
  ImportTally tally;
  SourceCode code;
  code.number = fileCode;
  const bool ok = parsePriceCsv(text, "f.csv", code, 0, 0, rows, tally, problems);
  if (usable) *usable = ok;
  if (tallyOut) *tallyOut = tally;
  return rows;
}

TEST(CsvImport, StockCodesOfFilesAndColumns) {
  const std::map<std::string, std::string> names = {
      {"7203.csv", "7203"},      {"prices/7203.csv", "7203"}, {"7203.T.csv", "7203"},
      {"7203", "7203"},          {"9999_daily.csv", "9999"},  {"0999.csv", ""},
      {"72030.csv", "7203"},     {"72035.csv", ""},           {"720.csv", ""},
      {"names.csv", ""},         {"7203/names.csv", ""},      {"7203.jp.txt", "7203"},
      {"130a.jp.txt", ""},       {"130A.jp.txt", "130A"},
  };
  for (const auto& [name, code] : names) EXPECT_EQ(codeFromFileName(name).text(), code) << name;
  // Columns: the exchange's five characters (check digit 0), market suffixes, letters.
  const std::map<std::string, std::pair<int, std::string>> columns = {
      {"72030", {7203, ""}},  {"130A0", {0, "130A"}}, {"7203.JP", {7203, ""}},
      {"285A", {0, "285A"}},  {"285A.T", {0, "285A"}}, {"25935", {0, ""}},
      {"7203.", {0, ""}},     {"7203.1", {0, ""}},     {"A203", {0, ""}},  {"72 03", {0, ""}},
  };
  for (const auto& [text, code] : columns) {
    const SourceCode c = parseStockCode(text);
    EXPECT_EQ(c.number, code.first) << text;
    EXPECT_EQ(c.letters, code.second) << text;
  }
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
      {"20240104,1,2,1,2,10", 20240104, 2},
      {"20240431,1,2,1,2,10", 0, 0},
      {"2024-04-31,1,2,1,2,10", 0, 0},
      {"2024-01-04,1,2,1,2", 0, 0},
      {"2024-01-04,1,2,1,2,1e400", 0, 0},
      {"2024-01-04,1,2,1,2,1e150", 0, 0},   // beyond what a daily file holds
      {"2024-01-04,0,2,1,2,10", 0, 0},      // a zero price
      {"2024-01-04,1,1,2,1,10", 0, 0},      // high below low
      {"2024-01-04,1,2,1,2,-", 0, 0},
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
      EXPECT_EQ(rows[0].code, K(7203));
    }
  }
  // Volumes with a unit; prices above 16 bits leave the stock out whole, without a line's report.
  const std::map<std::string, double> volumes = {{"350K", 350000}, {"1.2M", 1200000},
                                                 {"2b", 2e9}, {"12,345", 12345}};
  for (const auto& [text, volume] : volumes) {
    std::vector<ImportProblem> problems;
    const auto rows = read("Date,Open,High,Low,Close,Volume\n2024-01-04,1,2,1,2,\"" + text + "\"\n",
                           7203, problems);
    ASSERT_EQ(rows.size(), 1u) << text;
    EXPECT_EQ(rows[0].volume, volume) << text;
  }
  std::vector<ImportProblem> problems;
  ImportTally tally;
  EXPECT_TRUE(read("Date,Open,High,Low,Close,Volume\n2024-01-04,1,40000,1,2,1\n", 7203, problems,
                   nullptr, &tally)
                  .empty());
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(tally.aboveRange.at(K(7203)), 1);
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
  ImportTally tally;
  rows = read(toCp932("銘柄コード,日付,始値,高値,安値,終値,出来高\n7203.T,2024/01/05,1,3,1,2,7\n"
                      "130A,2024/01/05,1,3,1,2,7\nX,2024/01/05,1,3,1,2,7\n"),
              0, problems, nullptr, &tally);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].code, K(7203));
  EXPECT_EQ(tally.lettered.at("130A"), 1);  // left out as a stock, not as a line
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].line, 4);

  // Files that cannot be used at all add no row.
  for (const std::string& text :
       {std::string("Date,Open,High,Low,Close\n2024-01-04,1,1,1,1\n"), std::string(""),
        std::string("2024-01-04,1,1,1,1,1\n"), std::string(5000, 'x')}) {
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
    EXPECT_EQ(labels.at(K(7203)).name, fitName(toCp932("トヨタ自動車")));
    EXPECT_EQ(labels.at(K(7203)).market, 0);
    EXPECT_EQ(labels.at(K(6758)).name, fitName(toCp932("ソニー")));
    EXPECT_EQ(labels.at(K(6758)).market, 802);
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
  std::string csv = "Code,Date,Open,High,Low,Close,Volume\n";
  for (const Day& d : days) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%d,%d,%d,%d,%d,%d,%.0f\n", d.code, d.date, d.open, d.high,
                  d.low, d.close, d.volume);
    csv += buf;
  }
  StockLabels labels;
  labels[K(7203)] = {fitName("TOYOTA"), 0};
  labels[K(1301)] = {fitName("KYOKUYO"), 813};

  for (const int after : {0, 20240104}) {
    SCOPED_TRACE(after);
    std::vector<ImportProblem> problems;
    PriceRows rows;
    ImportTally tally;
    ASSERT_TRUE(parsePriceCsv(csv, "in.csv", {}, 0, after, rows, tally, problems));
    const ImportPlan plan = planImport(rows, tally, {}, {"in.csv"}, problems);
    // The second 1301 line of 1999-12-30; among the days stored already, only the first counts.
    ASSERT_EQ(problems.size(), after ? 0u : 1u);
    if (!after) {
      EXPECT_EQ(problems[0].line, 8);
    }
    EXPECT_EQ(plan.stocks, 3);

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

    ASSERT_EQ(plan.days.size(), expected.size());
    auto it = expected.begin();
    for (const ImportPlan::Day& day : plan.days) {
      char name[16];
      std::snprintf(name, sizeof name, "N%06d", it->first % 1000000);
      EXPECT_EQ(dailyFileName('N', day.fullDate), name);
      EXPECT_EQ(dailyFileText(plan, day, labels, 'N'), it->second) << name;
      ++it;
    }
  }
}

// The layouts of common sources, each with one day of 7203 and whatever else it carries.
TEST(CsvImport, RealLayoutsImport) {
  struct Case {
    const char* what;
    std::string fileName;
    std::string text;
    double volume;
    std::size_t lettered;  // stocks whose codes have letters
  };
  const std::vector<Case> cases = {
      {"exchange daily quotes", "daily_quotes.csv",
       "Date,Code,Open,High,Low,Close,UpperLimit,LowerLimit,Volume,TurnoverValue,"
       "AdjustmentFactor,AdjustmentOpen,AdjustmentHigh,AdjustmentLow,AdjustmentClose,"
       "AdjustmentVolume\n"
       "2024-01-04,72030,2450.0,2510.0,2440.0,2500.0,0,0,800000.0,1990000000.0,1.0,2450.0,"
       "2510.0,2440.0,2500.0,800000.0\n"
       "2024-01-04,130A0,800.0,810.0,790.0,805.0,0,0,1000.0,805000.0,1.0,800.0,810.0,790.0,"
       "805.0,1000.0\n",
       800000, 1},
      {"bulk download", "data/daily/jp/7203.jp.txt",
       "<TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>\n"
       "7203.JP,D,20240104,000000,2450,2510,2440,2500,800000,0\n",
       800000, 0},
      {"volumes with units", "7203.T.csv",
       "Date,Open,High,Low,Close,Adj Close,Volume\n2024/1/4,\"2,450\",\"2,510\",\"2,440\","
       "\"2,500\",\"2,500\",1.2M\n",
       1200000, 0},
      {"Japanese headers", "7203.csv",
       toCp932("日付,始値,高値,安値,終値,出来高\r\n2024/01/04,2450,2510,2440,2500,350K\r\n"),
       350000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<ImportProblem> problems;
    PriceRows rows;
    ImportTally tally;
    EXPECT_TRUE(parsePriceCsv(c.text, c.fileName, codeFromFileName(c.fileName), 0, 0, rows,
                              tally, problems));
    EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems[0].reason);
    ASSERT_EQ(rows.size(), 1u);
    const CsvPriceRow& r = rows[0];
    EXPECT_EQ(r.code, K(7203));
    EXPECT_EQ(r.fullDate, 20240104);
    EXPECT_EQ(std::vector<int>({r.open, r.high, r.low, r.close}),
              std::vector<int>({2450, 2510, 2440, 2500}));
    EXPECT_EQ(r.volume, c.volume);
    EXPECT_EQ(tally.lettered.size(), c.lettered);
  }
}

// Stocks the database cannot take are left out whole, each for one reason; new stocks fill the
// free places of the table in ascending code; lines of a bounded length.
TEST(CsvImport, StocksThatDoNotFitAreLeftOutWhole) {
  std::string csv = "Code,Date,Open,High,Low,Close,Volume\n";
  for (const char* code : {"1005", "1000", "1001", "1002", "1003", "1004", "130A", "1006", "2000"})
    csv += std::string(code) + ",2024-01-04,10,12,9,11,100\n";
  csv += "1006,2024-01-05,40000,40000,40000,40000,1\n" + std::string(5000, '9') + "\n";
  csv += "2000,2024-01-05,10,12,9,11,100\n";
  std::vector<ImportProblem> problems;
  PriceRows rows;
  ImportTally tally;
  ASSERT_TRUE(parsePriceCsv(csv, "in.csv", {}, 0, 0, rows, tally, problems));
  ASSERT_EQ(problems.size(), 1u);  // the long line, reported without being held
  EXPECT_EQ(problems[0].line, 12);
  ImportChoice choice;
  for (int c = 2000; c < 2000 + ClassicStockLimit - 3; ++c) choice.held.insert(K(c));
  const std::set<std::string> chosen = {"1000", "1002", "1003", "1004", "1005", "1006", "130A",
                                        "2000"};
  choice.chosen = &chosen;
  const ImportPlan plan = planImport(rows, tally, choice, {"in.csv"}, problems);
  EXPECT_EQ(plan.notChosen, std::vector<std::string>{"1001"});
  EXPECT_EQ(plan.lettered, std::vector<std::string>{"130A"});
  EXPECT_EQ(plan.aboveRange, std::vector<std::string>{"1006"});
  EXPECT_EQ(plan.beyondLimit, (std::vector<std::string>{"1004", "1005"}));
  EXPECT_EQ(plan.stocks, 4);  // 1000 1002 1003 and 2000, held already
  ASSERT_EQ(plan.days.size(), 2u);
  EXPECT_EQ(plan.days[0].count, 4u);
  EXPECT_EQ(plan.days[1].count, 1u);
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
