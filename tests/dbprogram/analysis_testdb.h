// Builds small databases with hand-chosen histories in the working directory, through the
// database writers.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "marketdb/files.h"
#include "marketdb/settings.h"
#include "platform/text/cp932.h"

namespace analysistest {

struct Day {
  float date = 0;  // yymmdd, as a classic daily file gives it
  int open = 0, high = 0, low = 0, close = 0, change = 0;
  float volume = 0;
};

struct Stock {
  int section = 1;
  float code = 0;
  std::string nameUtf8;
  int slot = 0;
  std::map<int, Day> days;  // ring slot -> record
};

inline marketdb::DayRecord record(const Day& d) {
  marketdb::DayRecord r;
  r.date = marketdb::dateKey(d.date);
  r.open = d.open;
  r.high = d.high;
  r.low = d.low;
  r.close = d.close;
  r.change = d.change;
  r.volume = d.volume;
  return r;
}

// Ring slot `back` days before `latest`.
inline int slotBack(int latest, int back) {
  return ((latest - back) % marketdb::HistoryDays + marketdb::HistoryDays) %
         marketdb::HistoryDays;
}

// Default settings with the given store state.
inline void defaultFiles(marketdb::SystemFile& sys, marketdb::SettingsFile& win,
                         float lastStoreDate, int storePosition) {
  marketdb::applyDefaults(sys, win);
  sys.lastStoreDate = marketdb::dateKey(lastStoreDate);
  sys.storePosition = storePosition;
}

// Writes the four files. Stocks are listed in pelinoru.idx in the order given.
inline void writeDatabase(const marketdb::SystemFile& sys, const marketdb::SettingsFile& win,
                          const std::vector<Stock>& stocks) {
  marketdb::writeSystemFile(sys);
  marketdb::writeSettingsFile(win);
  std::string idx;
  for (const Stock& s : stocks)
    idx += marketdb::formatIndexLine(0, s.section, marketdb::codeFromNumber(s.code),
                                     pelinor::text::toCp932(s.nameUtf8).c_str(), s.slot, 0);
  marketdb::replaceFileAtomically(marketdb::IndexFileName, idx);
  marketdb::PriceFile prices;
  prices.openForWriting();
  for (const Stock& s : stocks) {
    prices.initHistory(s.slot);
    for (const auto& [slot, day] : s.days) prices.writeDay(s.slot, slot, record(day));
  }
  prices.close();
}

}  // namespace analysistest
