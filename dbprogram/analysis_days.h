// One stock's 640 days held as columns for the analysis, filled either from a StockHistory or
// straight from a block of pelinoru.dat as it stands in the file, and analysed there.
//
// An analysis run keeps one StockDays per worker and fills it again for each stock, so nothing
// is allocated per stock. The computation is single precision: the volumes are held as floats,
// each the float nearest to the record's volume.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "dbprogram/analysis.h"
#include "marketdb/files.h"
#include "marketdb/layout.h"

namespace dbprogram {

class StockDays {
 public:
  StockDays();

  // The records of `history`.
  void load(const marketdb::StockHistory& history);
  // The first `days` records of a block of pelinoru.dat (0..640) as `layout` places them; the
  // slots after them read as empty days, as PriceFile::readHistory gives them for a block the
  // file holds only in part. The records lie in ring order, the layout's record size apart, or,
  // given `run`, where readRun put the days of one of its slots (`block` pointing at that
  // slot's first record).
  void decodeBlock(const marketdb::DatabaseLayout& layout, const unsigned char* block, int days);
  void decodeBlock(const marketdb::DatabaseLayout& layout, const unsigned char* block, int days,
                   const marketdb::DatabaseLayout::RecordRun& run);
  // All 640 days of the neighbouring stocks of a wide run, as readRun puts them (stock k's
  // record of ring slot s at rows + k * run.slotStep + run.at(s)): each stock gets what
  // decodeBlock gives it. The ring rows are taken in order, the stocks' records of one row
  // together, where decodeBlock takes one record a tile row apart for each stock in turn; a
  // run is megabytes, and each of those records missed the cache.
  static void decodeRows(const marketdb::DatabaseLayout& layout, const unsigned char* rows,
                         const marketdb::DatabaseLayout::RecordRun& run,
                         std::span<StockDays> stocks);

  // storedOnLatestDay of the days held.
  bool storedOn(int storePosition, std::int32_t lastStoreDate) const;
  // analyseStock of the days held. The days may be changed (the price-unit correction); fill
  // them again before the next analysis.
  void analyse(int storePosition, std::int32_t comparisonDate, const AnalysisSettings& settings,
               RankingRow& row);

  static constexpr int Days = marketdb::HistoryDays;
  std::int32_t date[Days];  // yyyymmdd
  int open[Days];
  int high[Days];
  int low[Days];
  int close[Days];
  int change[Days];
  float volume[Days];
  // Over the days with a trade (volume not 0), as filled: the highest high (at least 0), the
  // lowest low (the layout's emptyLow when no day traded) and the sum of the volumes in slot
  // order.
  int highMax = 0;
  int lowMin = 32700;
  float volumeSum = 0;
  int emptyLow = 32700;  // the lowest low reported when no day traded, from the layout

 private:
  void put(int s, const marketdb::DayRecord& r);
};

}  // namespace dbprogram
