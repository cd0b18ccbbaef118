// pelinorx clear-stale: empties the records a stock kept from the previous lap of the ring, in a
// database stored before every stored day gave each missing stock an empty record.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "dbprogram/batch.h"
#include "dbprogram/stale_records.h"
#include "marketdb/files.h"
#include "marketdb/index_check.h"
#include "marketdb/journal.h"
#include "marketdb/layout.h"
#include "platform/text/cp932.h"

namespace dbprogram {

namespace {

using pelinor::text::toUtf8;

int fileFailure(std::ostream& out, const std::string& messageCp932) {
  out << '[' << toUtf8(marketdb::fileCaption()) << "] " << toUtf8(messageCp932) << '\n';
  return 1;
}

struct Run {
  std::int64_t offset;
  std::int64_t length;
};

// The previous lap's records to empty, as regions of the price file.
struct StaleRuns {
  bool read = true;  // false when the price file could not be read
  std::vector<Run> runs;
  std::size_t records = 0;
  int stocks = 0;

  // One record's region, joined to the last one when it follows it and `joinable`.
  void add(std::int64_t offset, std::int64_t bytes, bool joinable) {
    ++records;
    if (joinable && !runs.empty() && runs.back().offset + runs.back().length == offset)
      runs.back().length += bytes;
    else
      runs.push_back({offset, bytes});
  }
};

// The classic file keeps each stock's days together: every block is read, and neighbouring
// records of one stock are cleared as one region. A region never reaches into the next stock's
// block, even where that block follows in the file.
StaleRuns staleOfBlocks(marketdb::DatabaseChange& change, const marketdb::StockTable& table,
                        const marketdb::DatabaseLayout& layout) {
  StaleRuns found;
  const std::size_t stocks = static_cast<std::size_t>(table.count);
  const std::size_t blockBytes = static_cast<std::size_t>(layout.blockBytes());
  std::vector<unsigned char> blocks(stocks * blockBytes);
  std::vector<marketdb::PriceRead> reads;
  reads.reserve(stocks);
  for (std::size_t i = 0; i < stocks; ++i)
    reads.push_back({layout.recordOffset(table.krecordi[i], 0), blocks.data() + i * blockBytes,
                     blockBytes});
  if (!change.readPricesGathered(std::move(reads))) {
    found.read = false;
    return found;
  }
  const std::vector<StaleRecord> stale = findStaleRecords(blocks.data(), stocks);
  for (std::size_t k = 0; k < stale.size(); ++k) {
    const StaleRecord& r = stale[k];
    const bool sameStock = k > 0 && stale[k - 1].stock == r.stock;
    if (!sameStock) ++found.stocks;
    found.add(layout.recordOffset(table.krecordi[r.stock], r.position), layout.recordBytes,
              sameStock);
  }
  return found;
}

// The wide file keeps a few neighbouring ring positions of each stock together in a tile, and
// the tiles of those positions side by side in a tile row: one tile row is read at a time (the
// blocks of a whole wide table would not fit in memory), each of its ring rows gathered and
// searched, and neighbouring stale records of the row are cleared as one region.
StaleRuns staleOfRows(marketdb::DatabaseChange& change, const marketdb::StockTable& table,
                      const marketdb::DatabaseLayout& layout) {
  StaleRuns found;
  int slots = 0;
  for (int i = 0; i < table.count; ++i) slots = std::max(slots, table.krecordi[i] + 1);
  const std::size_t recordBytes = static_cast<std::size_t>(layout.recordBytes);
  const std::size_t tileBytes = static_cast<std::size_t>(layout.tileBytes());
  const int tileDays = layout.tileDays;
  const auto count = static_cast<std::size_t>(slots);
  std::vector<unsigned char> tiles(count * tileBytes);
  std::vector<unsigned char> row(count * recordBytes);
  std::vector<bool> hit(count, false);
  std::vector<bool> stale(count * static_cast<std::size_t>(tileDays));
  for (int t = 0; t < layout.tileRows() && slots > 0; ++t) {
    if (!change.readPrices(layout.recordOffset(0, t * tileDays), tiles.data(), tiles.size())) {
      found.read = false;
      return found;
    }
    std::fill(stale.begin(), stale.end(), false);
    for (int d = 0; d < tileDays; ++d) {
      for (std::size_t slot = 0; slot < count; ++slot)
        std::memcpy(row.data() + slot * recordBytes,
                    tiles.data() + slot * tileBytes + static_cast<std::size_t>(d) * recordBytes,
                    recordBytes);
      for (std::size_t slot : findStaleInRow(row.data(), count, layout))
        stale[slot * static_cast<std::size_t>(tileDays) + static_cast<std::size_t>(d)] = true;
    }
    // In file order: slot by slot, each slot's positions of the tile in turn.
    for (std::size_t slot = 0; slot < count; ++slot) {
      for (int d = 0; d < tileDays; ++d) {
        if (!stale[slot * static_cast<std::size_t>(tileDays) + static_cast<std::size_t>(d)])
          continue;
        if (!hit[slot]) ++found.stocks;
        hit[slot] = true;
        found.add(layout.recordOffset(static_cast<int>(slot), t * tileDays + d),
                  layout.recordBytes, true);
      }
    }
  }
  return found;
}

}  // namespace

// Reads every stock's block under the writer lock, finds the previous lap's records and writes
// empty records over them as one change: all of them or, on a failure, none.
int batchClearStale(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty()) {
    err << "usage: pelinorx clear-stale\n"
           "  empties the records that stocks kept from the previous lap of the 640-day ring\n";
    return 2;
  }
  if (const char* system = marketdb::openLayout().systemFile; ::access(system, F_OK) != 0)
    return fileFailure(out, marketdb::missingFileMessage(system));
  marketdb::DatabaseChange change;
  if (!change.lock()) {
    out << toUtf8(change.message()) << '\n';
    return 1;
  }
  const marketdb::DatabaseLayout& layout = marketdb::openLayout();
  auto table = std::make_unique<marketdb::StockTable>();
  const marketdb::FileStatus read = marketdb::readStockTable(*table);
  if (read != marketdb::FileStatus::Ok)
    return fileFailure(out, marketdb::fileStatusMessage(read, layout.indexFile));
  if (!change.openPrices())
    return fileFailure(out, marketdb::missingFileMessage(layout.priceFile));
  const marketdb::IndexCheck index = marketdb::checkIndexFile();
  if (!index.ok) {
    out << toUtf8(index.message) << '\n';
    return 1;
  }

  const std::size_t stocks = static_cast<std::size_t>(table->count);
  const StaleRuns found = layout.blocksContiguous() ? staleOfBlocks(change, *table, layout)
                                                    : staleOfRows(change, *table, layout);
  if (!found.read) return fileFailure(out, marketdb::missingFileMessage(layout.priceFile));
  const std::vector<Run>& runs = found.runs;
  if (!runs.empty()) {
    std::vector<marketdb::PriceRegion> regions;
    regions.reserve(runs.size());
    std::int64_t longest = 0;
    for (const Run& run : runs) {
      regions.push_back({run.offset, run.length});
      longest = std::max(longest, run.length);
    }
    const std::vector<unsigned char> zeros(static_cast<std::size_t>(longest), 0);
    bool ok = change.begin(regions, {});
    for (std::size_t i = 0; ok && i < runs.size(); ++i)
      ok = change.writePrices(runs[i].offset, zeros.data(),
                              static_cast<std::size_t>(runs[i].length));
    if (!ok || !change.commit({})) {
      out << toUtf8(change.message()) << "\nnothing was cleared\n";
      return 1;
    }
  }
  out << "cleared " << found.records << " previous-lap record" << (found.records == 1 ? "" : "s")
      << " of " << found.stocks << " stock" << (found.stocks == 1 ? "" : "s") << " ("
      << stocks << " stocks checked)\n";
  return 0;
}

}  // namespace dbprogram
