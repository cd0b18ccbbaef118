// The importer's CSV reading and daily-file making: every input is one source file's text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dbprogram/csv_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  dbprogram::PriceRows rows;
  dbprogram::ImportTally tally;
  std::vector<dbprogram::ImportProblem> problems;
  // Half the inputs as if the database held days up to 2024-01-04.
  const int after = size % 2 ? 20240104 : 0;
  // A third of them as for a wide database (codes with letters, higher prices).
  const bool wide = size % 3 == 0;
  dbprogram::parsePriceCsv(text, "7203.csv", dbprogram::codeFromFileName("7203.csv"), 0, after,
                           rows, tally, problems, wide);
  (void)dbprogram::parseNameList(std::string(text), "names.csv", problems, wide);
  (void)dbprogram::parseCodeList(std::string(text), "codes.csv", problems);
  for (const dbprogram::CsvPriceRow& r : rows) {
    if ((wide ? !marketdb::isValidCode(r.code) : marketdb::codeNumber(r.code) == 0) || r.open <= 0 || r.high < r.low || r.fullDate <= after)
      __builtin_trap();
  }
  dbprogram::ImportChoice choice;
  choice.wide = wide;
  const dbprogram::ImportPlan plan =
      dbprogram::planImport(rows, tally, choice, {"7203.csv"}, problems);
  for (const dbprogram::ImportPlan::Day& day : plan.days) {
    const std::string daily = dbprogram::dailyFileText(plan, day, {}, 'W', wide);
    // Every line of a daily file is short enough for the store to read whole.
    std::size_t start = 0;
    for (std::size_t end; (end = daily.find('\n', start)) != std::string::npos; start = end + 1)
      if (end - start > 120) __builtin_trap();
  }
  return 0;
}
