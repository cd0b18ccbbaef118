// One stock's metrics at the latest stored day.
//
// Prices are copied into ints first, so the price-unit correction can scale them by ten without
// wrapping. Ratios are computed in 32-bit floats in the order the formulas are written and
// truncated toward zero; a value outside the int range (only reachable with damaged data) is
// limited to it instead of being undefined.
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <memory>

#include "dbprogram/analysis.h"
#include "dbprogram/analysis_days.h"
#include "dbprogram/analysis_numbers.h"
#include "marketdb/settings.h"

namespace dbprogram {
namespace {

using marketdb::HistoryDays;

int windowLength(int period) { return std::clamp(period, 0, HistoryDays); }

// First slot of the window of n days ending at the latest slot.
int windowStart(int latest, int n) {
  return ((latest - n + 1) % HistoryDays + HistoryDays) % HistoryDays;
}

// Calls f(slot) for the n slots ending at `latest`, oldest first.
template <typename F>
void forWindow(int latest, int n, F f) {
  int s = windowStart(latest, n);
  for (int i = 0; i < n; ++i) {
    f(s);
    s = marketdb::nextSlot(s);
  }
}

// The lowest low of a search that has met no trading day yet: above every price, so the first
// trading day's low always replaces it.
constexpr int NoLowYet = INT_MAX;

// The range of the traded days' prices and the sum of their volumes, taken while the days are
// filled. The volumes are a float sum: added in slot order, one day after the other.
struct Totals {
  int highMax = 0;
  int lowMin = NoLowYet;
  float volumeSum = 0;
  void add(int high, int low, float volume) {
    if ((std::bit_cast<std::uint32_t>(volume) << 1) == 0) return;  // volume == 0: no trade
    highMax = std::max(highMax, high);
    lowMin = std::min(lowMin, low);
    volumeSum += volume;
  }
  void store(StockDays& days) const {
    days.highMax = highMax;
    days.lowMin = lowMin == NoLowYet ? days.emptyLow : lowMin;
    days.volumeSum = volumeSum;
  }
};

class Analyser {
 public:
  Analyser(StockDays& days, int latest, const AnalysisSettings& settings)
      : d_(days), latest_(latest), st_(settings) {}

  void run(std::int32_t comparisonDate, RankingRow& row) {
    findRangeAndSumVolumes();
    correctPriceUnit();
    row.close = latestClose();
    row.riseRate = riseRate();
    row.volumeChange = volumeChange();
    row.rci3 = 0;
    for (int j = 0; j < 3; ++j) rci(j, row);
    row.deviation2 = 0;
    maDeviation(st_.maPeriod2, st_.maWeight2, row.close, &row.deviation2);
    maDeviation(st_.maPeriod3, st_.maWeight3, row.close, nullptr);
    psychological();
    rsi();
    wvr();
    shinoharaA();
    shinoharaB();
    row.sign = sign_;
    row.rebound = highMax_ != lowMin_ ? truncToInt(static_cast<float>(row.close - lowMin_) /
                                                   static_cast<float>(highMax_ - lowMin_) * 1000.0f)
                                      : 0;
    row.range = lowMin_ != 0
                    ? truncToInt(static_cast<float>(highMax_) / static_cast<float>(lowMin_) * 10.0f)
                    : 0;
    row.sinceDate = sinceDate(comparisonDate);
  }

 private:
  void addTerm(float term) { sign_ = truncToInt(static_cast<float>(sign_) + term); }
  void addWholeTerm(int value, int weight) {
    sign_ = clampToInt(std::int64_t{sign_} + std::int64_t{value} * weight / 10);
  }

  bool active(int s) const { return d_.volume[s] != 0; }
  // v == 0 (either zero, not a NaN) on the bits, without a floating-point comparison.
  static bool isZero(float v) { return (std::bit_cast<std::uint32_t>(v) << 1) == 0; }

  void findRange() {
    int highMax = 0;
    int lowMin = NoLowYet;
    for (int s = 0; s < HistoryDays; ++s) {
      const bool on = d_.volume[s] != 0;
      highMax = on ? std::max(highMax, d_.high[s]) : highMax;
      lowMin = on ? std::min(lowMin, d_.low[s]) : lowMin;
    }
    highMax_ = highMax;
    lowMin_ = lowMin == NoLowYet ? d_.emptyLow : lowMin;
  }

  // findRange and the sum of the volumes, as the days were filled.
  void findRangeAndSumVolumes() {
    highMax_ = d_.highMax;
    lowMin_ = d_.lowMin;
    volumeSum_ = d_.volumeSum;
  }

  // Prices quoted in another unit (a stock that split or changed its unit within the 640 days)
  // show as a range of more than tenfold; old days are brought to the unit of the high ones.
  // A smallest low of 0 or less says nothing about the unit, so no correction is made then.
  // The volume sum keeps its first value.
  void correctPriceUnit() {
    if (lowMin_ <= 0) return;
    if (!((highMax_ - lowMin_) / lowMin_ > 10 && highMax_ > 8000)) return;
    for (int s = 0; s < HistoryDays; ++s) {
      if (!active(s)) continue;
      if (d_.high[s] < 800) {
        d_.open[s] *= 10;
        d_.high[s] *= 10;
        d_.low[s] *= 10;
        d_.close[s] *= 10;
        d_.change[s] *= 10;
      } else {
        d_.open[s] /= 10;
        d_.high[s] /= 10;
        d_.low[s] /= 10;
        d_.close[s] /= 10;
        d_.change[s] /= 10;
      }
    }
    findRange();
  }

  int latestClose() const {
    int s = latest_;
    for (int i = 0; i < HistoryDays; ++i, s = marketdb::previousSlot(s)) {
      if (d_.date[s] != 0 && active(s)) return d_.close[s];
    }
    return 0;
  }

  int riseRate() const {
    if (!active(latest_)) return 0;
    const int change = d_.change[latest_];
    const int previousClose = d_.close[latest_] - change;
    if (previousClose == 0) return 0;  // no previous close to compare with
    return truncToInt(static_cast<float>(change) / static_cast<float>(previousClose) * 1000.0f);
  }

  int volumeChange() const {
    if (volumeSum_ == 0) return 0;
    return truncToInt(d_.volume[latest_] / (volumeSum_ / 640.0f) * 10.0f);
  }

  void rci(int j, RankingRow& row) {
    const int period = windowLength(st_.rciPeriod[j]);
    int closes[HistoryDays];
    int n = 0;
    forWindow(latest_, period, [&](int s) {
      if (active(s)) closes[n++] = d_.close[s];
    });
    // Price rank: 1 + the number of closes strictly greater. A short window counts them
    // directly; a long one looks them up in the sorted closes.
    std::int64_t s = 0;
    if (n <= 64) {
      for (int i = 0; i < n; ++i) {
        const int close = closes[i];
        int greater = 0;
        for (int k = 0; k < n; ++k) greater += closes[k] > close ? 1 : 0;
        const std::int64_t diff = (i + 1) - (1 + greater);
        s += diff * diff;
      }
    } else {
      int sorted[HistoryDays];
      std::copy(closes, closes + n, sorted);
      std::sort(sorted, sorted + n);
      for (int i = 0; i < n; ++i) {
        const int greater =
            static_cast<int>(sorted + n - std::upper_bound(sorted, sorted + n, closes[i]));
        const std::int64_t diff = (i + 1) - (1 + greater);
        s += diff * diff;
      }
    }
    if (n > 1 && s > 0 && active(latest_)) {
      const std::int64_t n64 = n;
      const float value =
          (1.0f - static_cast<float>(6 * s) / static_cast<float>(n64 * n64 * n64 - n64)) * -100.0f;
      if (j == 2) row.rci3 = truncToInt(value * 10.0f);
      addTerm(value * static_cast<float>(st_.rciWeight[j]) / 10.0f);
    }
  }

  void maDeviation(int period, int weight, int close, int* deviationOut) {
    std::int64_t sum = 0;
    int count = 0;
    forWindow(latest_, windowLength(period), [&](int s) {
      if (!active(s)) return;
      sum += d_.close[s];
      ++count;
    });
    if (count == 0 || sum <= 0) return;
    const float average = static_cast<float>(sum) / static_cast<float>(count);
    const float deviation = (static_cast<float>(close) - average) / average;
    if (deviationOut) *deviationOut = truncToInt(deviation * 1000.0f);
    addTerm(deviation * 100.0f * static_cast<float>(weight) / 10.0f);
  }

  void psychological() {
    const int n = windowLength(st_.psychoPeriod);
    int excluded = 0;
    int up = 0;
    forWindow(latest_, n, [&](int s) {
      if (!active(s) || d_.change[s] == 0)
        ++excluded;
      else if (d_.change[s] > 0)
        ++up;
    });
    if (excluded < n && up > 0)
      addTerm(static_cast<float>(up) / static_cast<float>(n - excluded) * 100.0f *
              static_cast<float>(st_.psychoWeight) / 10.0f);
  }

  void rsi() {
    std::int64_t gains = 0;
    std::int64_t total = 0;
    forWindow(latest_, windowLength(std::min(st_.psychoPeriod, HistoryDays) + 2), [&](int s) {
      if (!active(s)) return;
      const int change = d_.change[s];
      if (change > 0) gains += change;
      total += change < 0 ? -std::int64_t{change} : change;
    });
    if (total > 0)
      addTerm(static_cast<float>(gains) / static_cast<float>(total) * 100.0f *
              static_cast<float>(st_.rsiWeight) / 10.0f);
  }

  void wvr() {
    float signedSum = 0;
    float total = 0;
    forWindow(latest_, windowLength(st_.maPeriod2), [&](int s) {
      if (!active(s)) return;
      const float volume = d_.volume[s];
      signedSum += d_.change[s] > 0 ? volume : -volume;
      total += volume;
    });
    if (total > 0)
      addTerm(signedSum / total * 100.0f * static_cast<float>(st_.wvrWeight) / 10.0f);
  }

  void shinoharaA() {
    std::int64_t up = 0;
    std::int64_t down = 0;
    forWindow(latest_, windowLength(st_.maPeriod2), [&](int s) {
      if (!active(s)) return;
      up += d_.high[s] - d_.open[s];
      down += d_.open[s] - d_.low[s];
    });
    if (down <= 0) return;
    const int a = std::clamp(
        truncToInt(static_cast<float>(up) / static_cast<float>(down) * 100.0f), 0, 400);
    addWholeTerm(a, st_.shinoharaAWeight);
  }

  void shinoharaB() {
    std::int64_t up = 0;
    std::int64_t down = 0;
    forWindow(latest_, windowLength(st_.maPeriod2), [&](int s) {
      const int previousClose = d_.close[marketdb::previousSlot(s)];
      if (!active(s) || previousClose == 0) return;
      up += d_.high[s] - previousClose;
      down += previousClose - d_.low[s];
    });
    if (down == 0) return;
    const int b = std::clamp(
        truncToInt(static_cast<float>(up) / static_cast<float>(down) * 100.0f), 0, 400);
    addWholeTerm(b, st_.shinoharaBWeight);
  }

  // Change since the close at the comparison date. Dates are compared in the 1946..2045 window,
  // so a 2000s day is later than a 1990s comparison date and a 1990s day earlier than a 2000s
  // one. The base is the traded day with the newest date on or before the comparison date,
  // searched over the whole ring: a slot the stock missed still holds the previous lap's day,
  // which is older than every genuine day but may lie nearer to the latest slot.
  int sinceDate(std::int32_t comparisonDate) const {
    int base = 0;
    int back = -1;
    std::int32_t baseKey = 0;
    // Slots latest..0, then 639..latest+1: i days back.
    auto visit = [&](int s, int i) {
      if (d_.date[s] == 0 || isZero(d_.volume[s])) return;
      const std::int32_t key = d_.date[s];
      if (key > comparisonDate || (back >= 0 && key <= baseKey)) return;
      base = d_.close[s];
      back = i;
      baseKey = key;
    };
    int daysBack = 0;
    for (int s = latest_; s >= 0; --s, ++daysBack) visit(s, daysBack);
    for (int s = HistoryDays - 1; s > latest_; --s, ++daysBack) visit(s, daysBack);
    if (back < 0) return 0;
    int recent = 0;
    int s = latest_;
    for (int i = 0; i <= back; ++i, s = marketdb::previousSlot(s)) {
      if (d_.date[s] != 0 && active(s)) {
        recent = d_.close[s];
        break;
      }
    }
    if (base < 1 || recent < 1) return 0;
    return truncToInt(static_cast<float>(recent - base) / static_cast<float>(base) * 1000.0f);
  }

  StockDays& d_;
  int latest_;
  const AnalysisSettings& st_;
  int highMax_ = 0;
  int lowMin_ = 32700;
  float volumeSum_ = 0;
  int sign_ = 0;
};

}  // namespace

AnalysisSettings AnalysisSettings::from(const marketdb::SystemFile& sys,
                                        const marketdb::SettingsFile& win) {
  // Every value is limited to its item's range: a damaged file must not give a window of
  // 2147483647 days (whose RSI length, item 32 + 2, would not even be representable).
  auto item = [&](int number) { return marketdb::settingInRange(sys, win, number); };
  AnalysisSettings s;
  s.maPeriod2 = item(21);
  s.maPeriod3 = item(22);
  s.rciPeriod[0] = item(29);
  s.rciPeriod[1] = item(30);
  s.rciPeriod[2] = item(31);
  s.psychoPeriod = item(32);
  s.psychoWeight = item(50);
  s.maWeight2 = item(51);
  s.maWeight3 = item(52);
  s.rciWeight[0] = item(53);
  s.rciWeight[1] = item(54);
  s.rciWeight[2] = item(55);
  s.rsiWeight = item(56);
  s.wvrWeight = item(57);
  s.shinoharaAWeight = item(58);
  s.shinoharaBWeight = item(59);
  return s;
}

bool storedOnLatestDay(const marketdb::StockHistory& history, int storePosition,
                       std::int32_t lastStoreDate) {
  if (storePosition < 0 || storePosition >= HistoryDays) return false;
  return history.day[storePosition].date == lastStoreDate;
}

void analyseStock(const marketdb::StockHistory& history, int storePosition,
                  std::int32_t comparisonDate, const AnalysisSettings& settings, RankingRow& row) {
  if (storePosition < 0 || storePosition >= HistoryDays) return;
  auto days = std::make_unique<StockDays>();
  days->load(history);
  days->analyse(storePosition, comparisonDate, settings, row);
}

StockDays::StockDays() = default;

// A damaged wide record may hold any 32-bit value; held within the widest range a record can
// hold, no difference of two prices and no tenfold price-unit correction can overflow an int.
// Every sound record of either kind lies within it already.
static int withinRange(std::int32_t price) {
  return std::clamp<std::int32_t>(price, -marketdb::WideMaxPrice, marketdb::WideMaxPrice);
}

void StockDays::put(int s, const marketdb::DayRecord& r) {
  date[s] = r.date;
  open[s] = withinRange(r.open);
  high[s] = withinRange(r.high);
  low[s] = withinRange(r.low);
  close[s] = withinRange(r.close);
  change[s] = withinRange(r.change);
  volume[s] = static_cast<float>(r.volume);
}

void StockDays::load(const marketdb::StockHistory& history) {
  emptyLow = marketdb::openLayout().emptyLow;
  Totals totals;
  for (int s = 0; s < Days; ++s) {
    put(s, history.day[s]);
    totals.add(high[s], low[s], volume[s]);
  }
  totals.store(*this);
}

void StockDays::decodeBlock(const marketdb::DatabaseLayout& layout, const unsigned char* block,
                            int days) {
  marketdb::DatabaseLayout::RecordRun inBlock;
  inBlock.recordBytes = static_cast<std::size_t>(layout.recordBytes);
  decodeBlock(layout, block, days, inBlock);
}

void StockDays::decodeBlock(const marketdb::DatabaseLayout& layout, const unsigned char* block,
                            int days, const marketdb::DatabaseLayout::RecordRun& run) {
  days = std::clamp(days, 0, Days);
  emptyLow = layout.emptyLow;
  Totals totals;
  if (layout.kind == marketdb::DatabaseKind::Classic) {
    // Every classic price fits 16 bits, so the columns are filled straight from the bytes. (A
    // classic run's records always lie in blocks, recordBytes apart.)
    layout.decodeColumns(block, days, {date, open, high, low, close, change, volume},
                         [&](int s) { totals.add(high[s], low[s], volume[s]); });
  } else {
    // Records a tile row apart (readRun) share their cache lines with the next stock's, not
    // with each other: the line after each is fetched now for the stocks that follow.
    const bool rows = run.tileDays < Days;
    for (int s = 0; s < days; ++s) {
      const unsigned char* in = block + run.at(s);
      if (rows) __builtin_prefetch(in + 64);
      put(s, layout.decodeRecord(in));
      totals.add(high[s], low[s], volume[s]);
    }
  }
  // The empty days after a block the file holds only in part add nothing to the totals.
  for (int s = days; s < Days; ++s) {
    date[s] = 0;
    open[s] = high[s] = low[s] = close[s] = change[s] = 0;
    volume[s] = 0;
  }
  totals.store(*this);
}

void StockDays::decodeRows(const marketdb::DatabaseLayout& layout, const unsigned char* rows,
                           const marketdb::DatabaseLayout::RecordRun& run,
                           std::span<StockDays> stocks) {
  // A row's records of this many stocks are read together; their totals are kept side by side.
  constexpr std::size_t Together = 64;
  constexpr int Ahead = 4;
  const std::size_t step = run.slotStep;
  const int tileDays = std::max(run.tileDays, 1);
  for (std::size_t first = 0; first < stocks.size(); first += Together) {
    const std::span<StockDays> part =
        stocks.subspan(first, std::min(Together, stocks.size() - first));
    std::array<Totals, Together> totals{};
    const unsigned char* start = rows + first * step;
    // The stocks' records of one tile row lie together: their tiles side by side.
    const std::size_t bytes = part.size() * step;
    for (int s = 0; s < Days; ++s) {
      // The tile row a few rows ahead is fetched meanwhile: each one starts a new stream of
      // cache lines, which would otherwise be waited for line by line.
      if (s % tileDays == 0 && s + Ahead * tileDays < Days) {
        const unsigned char* ahead = start + run.at(s + Ahead * tileDays);
        for (std::size_t b = 0; b < bytes; b += 64) __builtin_prefetch(ahead + b);
      }
      const unsigned char* in = start + run.at(s);
      for (std::size_t k = 0; k < part.size(); ++k, in += step) {
        StockDays& d = part[k];
        d.put(s, layout.decodeRecord(in));
        totals[k].add(d.high[s], d.low[s], d.volume[s]);
      }
    }
    for (std::size_t k = 0; k < part.size(); ++k) {
      part[k].emptyLow = layout.emptyLow;
      totals[k].store(part[k]);
    }
  }
}

bool StockDays::storedOn(int storePosition, std::int32_t lastStoreDate) const {
  if (storePosition < 0 || storePosition >= HistoryDays) return false;
  return date[storePosition] == lastStoreDate;
}

void StockDays::analyse(int storePosition, std::int32_t comparisonDate,
                        const AnalysisSettings& settings,
                        RankingRow& row) {
  if (storePosition < 0 || storePosition >= HistoryDays) return;
  Analyser(*this, storePosition, settings).run(comparisonDate, row);
}

}  // namespace dbprogram
