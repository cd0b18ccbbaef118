// pelinoru.sys: read, written back, and its periods used by the analysis of one stock.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "dbprogram/analysis.h"
#include "fuzz/fuzz_support.h"
#include "marketdb/files.h"
#include "marketdb/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzsupport::enterWorkFolder();
  fuzzsupport::writeFile(marketdb::SystemFileName, data, size);
  marketdb::SystemFile sys;
  marketdb::SettingsFile win;
  marketdb::applyDefaults(sys, win);
  if (marketdb::readSystemFile(sys) != marketdb::FileStatus::Ok) __builtin_trap();
  const std::string text = marketdb::formatSystemFile(sys);
  // What is written reads back as the same values.
  fuzzsupport::writeFile(marketdb::SystemFileName, text);
  marketdb::SystemFile again;
  marketdb::readSystemFile(again);
  if (marketdb::formatSystemFile(again) != text) __builtin_trap();

  auto history = std::make_unique<marketdb::StockHistory>();
  for (int s = 0; s < marketdb::HistoryDays; ++s) {
    marketdb::DayRecord& d = history->day[s];
    d.date = marketdb::dateKey(static_cast<float>(990000 + s));
    d.close = static_cast<std::int16_t>(500 + (s * 37) % 101);
    d.open = static_cast<std::int16_t>(d.close - 3);
    d.high = static_cast<std::int16_t>(d.close + 9);
    d.low = static_cast<std::int16_t>(d.close - 8);
    d.change = static_cast<std::int16_t>((s * 13) % 21 - 10);
    d.volume = static_cast<float>(1 + s % 7);
  }
  const dbprogram::AnalysisSettings settings = dbprogram::AnalysisSettings::from(sys, win);
  dbprogram::RankingRow row;
  const int latest = sys.storePosition >= 0 && sys.storePosition < marketdb::HistoryDays
                         ? sys.storePosition
                         : 0;
  dbprogram::analyseStock(*history, latest, sys.lastStoreDate, settings, row);
  return 0;
}
