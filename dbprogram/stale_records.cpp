#include "dbprogram/stale_records.h"

#include <unordered_map>

#include "marketdb/files.h"
#include "marketdb/layout.h"

namespace dbprogram {

namespace {

// The record of a ring position in the blocks as read, one whole block per stock.
marketdb::DayRecord recordAt(const unsigned char* blocks, std::size_t stock, int position) {
  const marketdb::DatabaseLayout& layout = marketdb::openLayout();
  return layout.decodeRecord(blocks + stock * static_cast<std::size_t>(layout.blockBytes()) +
                             static_cast<std::size_t>(position) * layout.recordBytes);
}

}  // namespace

namespace {

// The day of one ring position: the date most records with volume hold there, the newer of two
// equally common ones.
double positionDay(const std::unordered_map<double, std::size_t>& counts) {
  double day = 0;
  std::size_t most = 0;
  for (const auto& [key, count] : counts) {
    if (count > most || (count == most && key > day)) {
      day = key;
      most = count;
    }
  }
  return day;
}

}  // namespace

std::vector<StaleRecord> findStaleRecords(const unsigned char* blocks, std::size_t stocks) {
  std::vector<StaleRecord> stale;
  std::vector<double> slotDay(marketdb::HistoryDays, 0.0);
  std::unordered_map<double, std::size_t> counts;
  for (int p = 0; p < marketdb::HistoryDays; ++p) {
    counts.clear();
    for (std::size_t i = 0; i < stocks; ++i) {
      const marketdb::DayRecord rec = recordAt(blocks, i, p);
      if (rec.volume != 0.0) ++counts[static_cast<double>(rec.date)];
    }
    slotDay[static_cast<std::size_t>(p)] = positionDay(counts);
  }
  for (std::size_t i = 0; i < stocks; ++i) {
    for (int p = 0; p < marketdb::HistoryDays; ++p) {
      const marketdb::DayRecord rec = recordAt(blocks, i, p);
      if (rec.volume != 0.0 && static_cast<double>(rec.date) < slotDay[static_cast<std::size_t>(p)])
        stale.push_back({static_cast<int>(i), p});
    }
  }
  return stale;
}

std::vector<std::size_t> findStaleInRow(const unsigned char* row, std::size_t records,
                                        const marketdb::DatabaseLayout& layout) {
  const std::size_t size = static_cast<std::size_t>(layout.recordBytes);
  std::unordered_map<double, std::size_t> counts;
  for (std::size_t i = 0; i < records; ++i) {
    const marketdb::DayRecord rec = layout.decodeRecord(row + i * size);
    if (rec.volume != 0.0) ++counts[static_cast<double>(rec.date)];
  }
  const double day = positionDay(counts);
  std::vector<std::size_t> stale;
  for (std::size_t i = 0; i < records; ++i) {
    const marketdb::DayRecord rec = layout.decodeRecord(row + i * size);
    if (rec.volume != 0.0 && static_cast<double>(rec.date) < day) stale.push_back(i);
  }
  return stale;
}

}  // namespace dbprogram
