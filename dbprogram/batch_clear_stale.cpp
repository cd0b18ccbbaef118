// pelinorx clear-stale: empties the records a stock kept from the previous lap of the ring, in a
// database stored before every stored day gave each missing stock an empty record.
#include <unistd.h>

#include <memory>

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

}  // namespace

// Reads every stock's block under the writer lock, finds the previous lap's records and writes
// empty records over them as one change: all of them or, on a failure, none.
int batchClearStale(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty()) {
    err << "usage: pelinorx clear-stale\n"
           "  empties the records that stocks kept from the previous lap of the 640-day ring\n";
    return 2;
  }
  if (::access(marketdb::SystemFileName, F_OK) != 0)
    return fileFailure(out, marketdb::missingFileMessage(marketdb::SystemFileName));
  marketdb::DatabaseChange change;
  if (!change.lock()) {
    out << toUtf8(change.message()) << '\n';
    return 1;
  }
  auto table = std::make_unique<marketdb::StockTable>();
  if (marketdb::readStockTable(*table) != marketdb::FileStatus::Ok)
    return fileFailure(out, marketdb::missingFileMessage(marketdb::IndexFileName));
  if (!change.openPrices())
    return fileFailure(out, marketdb::missingFileMessage(marketdb::PriceFileName));
  const marketdb::IndexCheck index = marketdb::checkIndexFile();
  if (!index.ok) {
    out << toUtf8(index.message) << '\n';
    return 1;
  }

  const marketdb::DatabaseLayout& layout = marketdb::openLayout();
  const std::size_t stocks = static_cast<std::size_t>(table->count);
  const std::size_t blockBytes = static_cast<std::size_t>(layout.blockBytes());
  std::vector<unsigned char> blocks(stocks * blockBytes);
  std::vector<marketdb::PriceRead> reads;
  reads.reserve(stocks);
  for (std::size_t i = 0; i < stocks; ++i)
    reads.push_back({layout.recordOffset(table->krecordi[i], 0), blocks.data() + i * blockBytes,
                     blockBytes});
  if (!change.readPricesGathered(std::move(reads)))
    return fileFailure(out, marketdb::missingFileMessage(marketdb::PriceFileName));

  const std::vector<StaleRecord> stale = findStaleRecords(blocks.data(), stocks);
  // Neighbouring records of one stock are cleared as one region. A region never reaches into
  // the next stock's block, even where that block follows in the file: the zeros written from
  // are one block long.
  struct Run {
    std::int64_t offset;
    std::int64_t length;
  };
  std::vector<Run> runs;
  int stocksCleared = 0;
  for (std::size_t k = 0; k < stale.size(); ++k) {
    const StaleRecord& r = stale[k];
    const std::int64_t offset = layout.recordOffset(table->krecordi[r.stock], r.position);
    const bool sameStock = k > 0 && stale[k - 1].stock == r.stock;
    if (!sameStock) ++stocksCleared;
    if (sameStock && runs.back().offset + runs.back().length == offset)
      runs.back().length += layout.recordBytes;
    else
      runs.push_back({offset, layout.recordBytes});
  }
  if (!runs.empty()) {
    std::vector<marketdb::PriceRegion> regions;
    regions.reserve(runs.size());
    for (const Run& run : runs) regions.push_back({run.offset, run.length});
    const std::vector<unsigned char> zeros(blockBytes, 0);
    bool ok = change.begin(regions, {});
    for (std::size_t i = 0; ok && i < runs.size(); ++i)
      ok = change.writePrices(runs[i].offset, zeros.data(),
                              static_cast<std::size_t>(runs[i].length));
    if (!ok || !change.commit({})) {
      out << toUtf8(change.message()) << "\nnothing was cleared\n";
      return 1;
    }
  }
  out << "cleared " << stale.size() << " previous-lap record" << (stale.size() == 1 ? "" : "s")
      << " of " << stocksCleared << " stock" << (stocksCleared == 1 ? "" : "s") << " ("
      << stocks << " stocks checked)\n";
  return 0;
}

}  // namespace dbprogram
