// The stock load of the chart screens: the history ring of the requested code, its extremes
// and the price-scale correction.
#include <algorithm>
#include <limits>

#include "marketdb/journal.h"
#include "marketdb/layout.h"
#include "viewer/tchart.h"

namespace viewer {

bool TChart::loadStock(TDC& dc) {
  // A chart screen always starts the price table at the newest day.
  chart.tableStart = storePosition;
  chart.tableFresh = true;

  if (!table) return false;
  const bool changed =
      lookupFailed || selection.code != table->kcodeidx[static_cast<std::size_t>(currentStock)];

  int index = table->findStock(selection.code);
  if (index < 0) {
    // The stock in memory and its series stay as they are (the price table and the export
    // still show them); the next stock found is read afresh.
    lookupFailed = true;
    return false;
  }
  if (changed) {
    reloadRing = true;
    clearDerivedSeries();
  }
  lookupFailed = false;
  chartShown = true;
  currentStock = index;
  listPosition = index;
  stepReference = index;
  menuShown = 0;

  drawTopRow(dc);
  addRecentCode(table->kcodeidx[static_cast<std::size_t>(index)]);

  if (reloadRing) {
    readRing();
    reloadRing = false;
    correctPriceScale();
  }
  return true;
}

void TChart::clearDerivedSeries() {
  for (auto* series : {&maValue1, &maValue2, &maValue3, &maDeviation1, &maDeviation2,
                       &maDeviation3, &indicator1, &indicator2, &indicator3, &indicator4,
                       &signTotal})
    if (*series) std::fill(series->get(), series->get() + marketdb::HistoryDays, 0);
}

void TChart::readStockIntoColumns(int index) {
  currentStock = index;
  chartShown = true;
  readRing();
  correctPriceScale();
  reloadRing = false;
  // The series computed for the stock that was in the columns do not belong to this one.
  clearDerivedSeries();
}

marketdb::StockCode TChart::codeOf(int index) const {
  return table->kcodeidx[static_cast<std::size_t>(index)];
}


void TChart::addRecentCode(marketdb::StockCode code) {
  if (std::find(recentCodes, recentCodes + 7, code) != recentCodes + 7) return;
  if (recentWrite >= 7 || recentWrite < 0) recentWrite = 0;
  recentCodes[recentWrite++] = code;
}

void TChart::readRing() {
  marketdb::StockHistory history;
  {
    // A block read during a change could hold part of it: the read waits for the change.
    marketdb::DatabaseRead reading(waitNotice());
    // Days the price file does not hold read as empty days (a missing file: all of them).
    priceFile.readHistory(table->krecordi[currentStock], history);
  }
  for (int s = 0; s < marketdb::HistoryDays; ++s) {
    const marketdb::DayRecord& d = history.day[s];
    dates[s] = d.date;
    opens[s] = d.open;
    highs[s] = d.high;
    lows[s] = d.low;
    closes[s] = d.close;
    changes[s] = d.change;
    volumes[s] = static_cast<float>(d.volume);
    exactVolumes[s] = d.volume;
  }
  computeExtremes();
  volumeMax = 0.0f;
  for (int s = 0; s < marketdb::HistoryDays; ++s)
    if (volumes[s] != 0.0f) volumeMax = std::max(volumeMax, volumes[s]);
}

// The lowest low starts from "no day yet", so a stock that always traded above the value a
// history without trading reports keeps its real low.
void TChart::computeExtremes() {
  chartMax = 0;
  int lowest = std::numeric_limits<int>::max();
  for (int s = 0; s < marketdb::HistoryDays; ++s) {
    if (volumes[s] == 0.0f) continue;
    chartMax = std::max(chartMax, highs[s]);
    lowest = std::min(lowest, lows[s]);
  }
  chartMin = lowest == std::numeric_limits<int>::max() ? EmptyLow : lowest;
}
static_assert(EmptyLow == marketdb::ClassicLayout.emptyLow);

// Histories that jump across a change of the price unit (a share split or consolidation by ten)
// are brought to one scale: the days under 800 are multiplied by ten, the others divided by ten.
// A smallest low of 0 or less on a trading day gives no usable ratio and skips the correction.
void TChart::correctPriceScale() {
  if (chartMin <= 0) return;
  if ((chartMax - chartMin) / chartMin <= 10 || chartMax <= 8000) return;
  for (int s = 0; s < marketdb::HistoryDays; ++s) {
    if (volumes[s] == 0.0f) continue;
    int* fields[5] = {&opens[s], &highs[s], &lows[s], &closes[s], &changes[s]};
    const bool low = highs[s] < 800;
    for (int* v : fields) *v = low ? *v * 10 : *v / 10;
  }
  computeExtremes();
}

}  // namespace viewer
