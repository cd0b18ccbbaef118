// A ranking file as the display reads it, sorted by a column and written back as the file
// output writes it: every row read comes back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dbprogram/analysis.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int digit = data[0] % 10;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  dbprogram::RankingFileContents contents = dbprogram::parseRankingFile(text);
  if (contents.rows.size() > static_cast<std::size_t>(dbprogram::MaxGroupStocks)) __builtin_trap();
  const int count = static_cast<int>(contents.rows.size());
  dbprogram::sortRankingRows(contents.rows.data(), count, digit);
  const std::string written = dbprogram::rankingFileText(contents.title, contents.header,
                                                         contents.rows.data(), count);
  const dbprogram::RankingFileContents back = dbprogram::parseRankingFile(written);
  if (static_cast<int>(back.rows.size()) != count || back.skippedLines != 0) __builtin_trap();
  return 0;
}
