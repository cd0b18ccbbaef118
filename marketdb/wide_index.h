// pelwide.idx: the stock index of a wide database. Its magic line, then one line per stock in
// code order:
//   "%1d %1d %4s %14s %5d %3d\n"  deleted flag, section, code, name (CP932), record slot, change %
//
// It is read only after a check that refuses a damaged index instead of reading part of it:
// every line holds the six fields, a code of the grammar, codes strictly rising (so none twice),
// and record slots that are exactly 0..n-1, each used once; with the price file's header also
// exactly its records assigned, so that a lost line is found even when it was the last one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "marketdb/stock_code.h"
#include "marketdb/wide_format.h"

namespace marketdb {

struct WideIndexEntry {
  int deleted = 0;
  int section = 0;
  StockCode code = NoStockCode;
  std::string name;  // CP932, at most 14 bytes, no blanks
  int slot = 0;
  int change = 0;
};

// One line as written (a name with blanks gets '_' for them; an empty one is "_").
std::string formatWideIndexLine(const WideIndexEntry& entry);
// The whole file: the magic line, then the entries sorted by code.
std::string formatWideIndex(std::vector<WideIndexEntry> entries);

// Checks and reads the text of pelwide.idx into `out` (in file order, which is code order).
// `capacity` is the price file header's; `recordsAssigned` its records assigned, or -1 when the
// header is not at hand.
WideCheck parseWideIndex(const std::string& text, std::uint32_t capacity,
                         std::int64_t recordsAssigned, std::vector<WideIndexEntry>& out);
// The same check, handing each entry to `onEntry` as its line is read instead of keeping them:
// for a reader that files them away itself. Entries handed over before a refusal are to be
// dropped.
WideCheck parseWideIndex(std::string_view text, std::uint32_t capacity,
                         std::int64_t recordsAssigned,
                         const std::function<void(const WideIndexEntry&)>& onEntry);

}  // namespace marketdb
