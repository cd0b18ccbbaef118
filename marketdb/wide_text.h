// pelwide.sys and pelwide.win: the system and settings files of a wide database. Each opens
// with its magic line; the rest is the classic text with two differences: the last-store date
// is a full yyyymmdd (no century window), and the code positions of the settings hold four
// characters, or 0 for an empty position.
#pragma once

#include <cstdint>
#include <string>

#include "marketdb/files.h"
#include "marketdb/stock_code.h"
#include "marketdb/wide_format.h"

namespace marketdb {

// `sys` as in the classic file, except its lastStoreDate, which is not used: the date is
// `lastStoreDate` (yyyymmdd, 0 when nothing has been stored).
struct WideSystem {
  SystemFile sys;
  std::int32_t lastStoreDate = 0;
};

// `win` as in the classic file, except its codes, which are not used: the code positions are
// `codes` (NoStockCode for an empty position).
struct WideSettings {
  SettingsFile win;
  StockCode codes[120] = {};
};

// Whether yyyymmdd names a day of the calendar 1900-01-01..2099-12-31.
bool isWideDate(std::int32_t yyyymmdd);

std::string formatWideSystemFile(const WideSystem& sys);
// Reads the text of pelwide.sys: the magic line and line 2 (reserved, last-store date,
// reference record, store position 0..639) must be whole and sound, or the file is refused;
// the colour and period lines are read as the classic reader reads them, leaving what a short
// line did not give as it was.
WideCheck parseWideSystemFile(const std::string& text, WideSystem& out);

std::string formatWideSettingsFile(const WideSettings& settings);
// Reads the text of pelwide.win: the magic line must be whole; lines 2..7 are read as the
// classic reader reads them, and a code position that is not a code of the grammar reads as 0
// (which ends a list there).
WideCheck parseWideSettingsFile(const std::string& text, WideSettings& out);

}  // namespace marketdb
