// pelinoru.dat blocks: the analysis's block reader against the plain one, and the analysis of every
// block. The first two bytes choose the latest ring slot; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "dbprogram/analysis.h"
#include "fuzz/fuzz_support.h"
#include "marketdb/files.h"
#include "marketdb/layout.h"
#include "marketdb/block_reader.h"
#include "marketdb/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  fuzzsupport::enterWorkFolder();
  const int latest = (data[0] | (data[1] << 8)) % marketdb::HistoryDays;
  fuzzsupport::writeFile(marketdb::PriceFileName, data + 2, size - 2);

  marketdb::SystemFile sys;
  marketdb::SettingsFile win;
  marketdb::applyDefaults(sys, win);
  const dbprogram::AnalysisSettings settings = dbprogram::AnalysisSettings::from(sys, win);

  marketdb::PriceFile plain;
  marketdb::BlockReader fast;
  if (!plain.openForReading() || !fast.open()) __builtin_trap();
  auto a = std::make_unique<marketdb::StockHistory>();
  auto b = std::make_unique<marketdb::StockHistory>();
  const int blocks = static_cast<int>((size - 2) / marketdb::HistoryBlockBytes) + 1;
  for (int slot = 0; slot <= blocks; ++slot) {
    const bool wholeA = plain.readHistory(slot, *a);
    const bool wholeB = fast.readHistory(slot, *b);
    if (wholeA != wholeB) __builtin_trap();
    for (int s = 0; s < marketdb::HistoryDays; ++s) {
      unsigned char x[marketdb::DayRecordBytes];
      unsigned char y[marketdb::DayRecordBytes];
      marketdb::ClassicLayout.encodeRecord(a->day[s], x);
      marketdb::ClassicLayout.encodeRecord(b->day[s], y);
      if (std::memcmp(x, y, sizeof x) != 0) __builtin_trap();
    }
    dbprogram::RankingRow row;
    (void)dbprogram::storedOnLatestDay(*b, latest, b->day[latest].date);
    dbprogram::analyseStock(*b, latest, b->day[(latest + 1) % marketdb::HistoryDays].date,
                            settings, row);
  }
  return 0;
}
