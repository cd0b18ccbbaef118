// The importer's lines for a wide database: codes with letters and five-character source codes,
// prices above 32,767 and full dates taken, codes breaking the rules left out with their line.
#include <gtest/gtest.h>

#include "dbprogram/csv_import.h"

namespace {

using namespace dbprogram;

// Each source line alone, read for a wide database: the code kept ("" : the line left out).
TEST(WideImport, CodesAndRangesOfOneLine) {
  for (const auto& [line, code] : {
           std::pair{"130A0,2024-01-04,40000,45000,39000,44000,100", "130A"},
           {"130A,2024-01-04,1,2,1,2,1", "130A"},
           {"72030,1901-02-03,99999999,99999999,99999999,99999999,1", "7203"},
           {"130B,2024-01-04,1,2,1,2,1", ""},   // B is never given
           {"13A0,2024-01-04,1,2,1,2,1", ""},   // a letter in the third place
           {"130A1,2024-01-04,1,2,1,2,1", ""},  // another class of share
           {"0130,2024-01-04,1,2,1,2,1", ""},
           {"130A,2100-01-04,1,2,1,2,1", ""},   // beyond the full dates
           {"130A,2024-02-30,1,2,1,2,1", ""},
           {"130A,2024-01-04,1,100000000,1,2,1", ""},  // above the range: the stock left out
       }) {
    PriceRows rows;
    ImportTally tally;
    std::vector<ImportProblem> problems;
    parsePriceCsv(std::string("Code,Date,Open,High,Low,Close,Volume\n") + line + "\n", "in.csv",
                  {}, 0, 0, rows, tally, problems, true);
    ASSERT_EQ(rows.size(), *code ? 1u : 0u) << line;
    if (*code) {
      EXPECT_EQ(marketdb::codeText(rows[0].code), code);
    }
    // A bad line is reported with its file and line; a price above the range counts the stock.
    const bool above = !tally.aboveRange.empty();
    EXPECT_EQ(problems.size(), *code || above ? 0u : 1u) << line;
    if (!problems.empty()) {
      EXPECT_EQ(problems[0].file + ":" + std::to_string(problems[0].line), "in.csv:2");
    }
  }
}

}  // namespace
