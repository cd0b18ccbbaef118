// The importer for a wide database: codes with letters and five-character source codes, prices
// above 32,767, full dates, and daily files of the extended form that its reader takes back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbprogram/csv_import.h"
#include "dbprogram/wide_daily_parser.h"

namespace {

using namespace dbprogram;

// One table: each source line alone, read for a wide database; the code kept, or the line left
// out with its line number.
TEST(WideImport, CodesAndRangesOfOneLine) {
  const struct {
    const char* line;
    const char* code;  // "" when the line is left out
  } cases[] = {
      {"130A0,2024-01-04,40000,45000,39000,44000,100", "130A"},
      {"130A,2024-01-04,1,2,1,2,1", "130A"},
      {"72030,1901-02-03,99999999,99999999,99999999,99999999,1", "7203"},
      {"130B,2024-01-04,1,2,1,2,1", ""},        // B is never given
      {"13A0,2024-01-04,1,2,1,2,1", ""},        // a letter in the third place
      {"130A1,2024-01-04,1,2,1,2,1", ""},       // another class of share
      {"0130,2024-01-04,1,2,1,2,1", ""},
      {"130A,2100-01-04,1,2,1,2,1", ""},        // beyond the full dates
      {"130A,2024-02-30,1,2,1,2,1", ""},
  };
  for (const auto& c : cases) {
    PriceRows rows;
    ImportTally tally;
    std::vector<ImportProblem> problems;
    ASSERT_TRUE(parsePriceCsv(std::string("Code,Date,Open,High,Low,Close,Volume\n") + c.line +
                                  "\n",
                              "in.csv", {}, 0, 0, rows, tally, problems, true))
        << c.line;
    EXPECT_TRUE(tally.lettered.empty());
    if (*c.code) {
      ASSERT_EQ(rows.size(), 1u) << c.line;
      EXPECT_EQ(marketdb::codeText(rows[0].code), c.code);
      EXPECT_TRUE(problems.empty()) << c.line;
    } else {
      EXPECT_TRUE(rows.empty()) << c.line;
      ASSERT_EQ(problems.size(), 1u) << c.line;
      EXPECT_EQ(problems[0].file, "in.csv");
      EXPECT_EQ(problems[0].line, 2);
    }
  }
  // A price above the wide range leaves the stock out whole, as the classic range does.
  PriceRows rows;
  ImportTally tally;
  std::vector<ImportProblem> problems;
  parsePriceCsv("Code,Date,Open,High,Low,Close,Volume\n130A,2024-01-04,1,100000000,1,2,1\n",
                "in.csv", {}, 0, 0, rows, tally, problems, true);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(tally.aboveRange.at(marketdb::codeFromText("130A")), 1);
}

TEST(WideImport, ExtendedDailyFiles) {
  const std::string csv =
      "Code,Date,Open,High,Low,Close,Volume\n"
      "1310,2024-01-05,900,950,890,940,2000\n"
      "130A0,2024-01-04,40000,45000,39000,44000,123456789012\n"
      "130A0,2024-01-05,44000,46000,43000,45500,77\n";
  PriceRows rows;
  ImportTally tally;
  std::vector<ImportProblem> problems;
  ASSERT_TRUE(parsePriceCsv(csv, "in.csv", {}, 0, 0, rows, tally, problems, true));
  ImportChoice choice;
  choice.wide = true;
  const ImportPlan plan = planImport(rows, tally, choice, {"in.csv"}, problems);
  ASSERT_TRUE(problems.empty());
  ASSERT_EQ(plan.days.size(), 2u);
  StockLabels labels;
  labels[marketdb::codeFromText("130A")] = {fitName("NEWCO"), 0};
  const std::string blanks8 = "\x81\x40\x81\x40\x81\x40\x81\x40";
  const std::string second = dailyFileText(plan, plan.days[1], labels, 'W', true);
  // In code order (130A before 1310), the change against the previous close, the full date.
  EXPECT_EQ(second, "#PELWIDE DAILY 1\n"
                    "\"NEWCO\x81\x40\x81\x40\x81\x40\x81\x40_\",44000,46000,43000,45500,1500,77,"
                    "20240105,801,130A0\n"
                    "\"1310\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40\",900,950,890,940,0,2000,"
                    "20240105,801,13100\n");
  EXPECT_EQ(dailyFileName('W', plan.days[1].fullDate), "W240105");

  // The store's reader takes every line back with its values.
  const std::string first = dailyFileText(plan, plan.days[0], labels, 'W', true);
  WideDailyReader reader(first, "W240104");
  WideDailyLine line;
  ASSERT_EQ(reader.next(line), WideDailyRead::Line) << reader.message();
  EXPECT_EQ(line.code, marketdb::codeFromText("130A"));
  EXPECT_EQ(line.high, 45000);
  EXPECT_EQ(line.volume, 123456789012.0);
  EXPECT_EQ(line.date, 20240104);
  EXPECT_EQ(reader.next(line), WideDailyRead::End);
}

}  // namespace
