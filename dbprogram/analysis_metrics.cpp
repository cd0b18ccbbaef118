// One stock's metrics at the latest stored day.
//
// Prices are copied into ints first, so the price-unit correction can scale them by ten without
// wrapping. Ratios are computed in 32-bit floats in the order the formulas are written and
// truncated toward zero; a value outside the int range (only reachable with damaged data) is
// limited to it instead of being undefined.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "dbprogram/analysis.h"
#include "dbprogram/analysis_numbers.h"
#include "marketdb/settings.h"

namespace dbprogram {
namespace {

using marketdb::HistoryDays;

// Every day of the ring is set from its record before use, so the 640 days are not zeroed first
// (that was a seventh of an analysis run).
struct Day {
  float date;
  int open;
  int high;
  int low;
  int close;
  int change;
  float volume;
  bool active() const { return volume != 0; }
};

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

class Analyser {
 public:
  Analyser(const marketdb::StockHistory& history, int latest, const AnalysisSettings& settings)
      : latest_(latest), st_(settings) {
    for (int s = 0; s < HistoryDays; ++s) {
      const marketdb::DayRecord& r = history.day[s];
      day_[s] = Day{r.date, r.open, r.high, r.low, r.close, r.change, r.volume};
    }
  }

  void run(float comparisonDate, RankingRow& row) {
    findRange();
    sumVolumes();
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

  void findRange() {
    highMax_ = 0;
    lowMin_ = 32700;
    for (const Day& d : day_) {
      if (!d.active()) continue;
      highMax_ = std::max(highMax_, d.high);
      lowMin_ = std::min(lowMin_, d.low);
    }
  }

  void sumVolumes() {
    volumeSum_ = 0;
    for (const Day& d : day_)
      if (d.active()) volumeSum_ += d.volume;
  }

  // Prices quoted in another unit (a stock that split or changed its unit within the 640 days)
  // show as a range of more than tenfold; old days are brought to the unit of the high ones.
  // A smallest low of 0 or less says nothing about the unit, so no correction is made then.
  // The volume sum keeps its first value.
  void correctPriceUnit() {
    if (lowMin_ <= 0) return;
    if (!((highMax_ - lowMin_) / lowMin_ > 10 && highMax_ > 8000)) return;
    for (Day& d : day_) {
      if (!d.active()) continue;
      if (d.high < 800) {
        d.open *= 10;
        d.high *= 10;
        d.low *= 10;
        d.close *= 10;
        d.change *= 10;
      } else {
        d.open /= 10;
        d.high /= 10;
        d.low /= 10;
        d.close /= 10;
        d.change /= 10;
      }
    }
    findRange();
  }

  int latestClose() const {
    int s = latest_;
    for (int i = 0; i < HistoryDays; ++i, s = marketdb::previousSlot(s)) {
      if (day_[s].date != 0 && day_[s].active()) return day_[s].close;
    }
    return 0;
  }

  int riseRate() const {
    const Day& d = day_[latest_];
    if (!d.active()) return 0;
    const int previousClose = d.close - d.change;
    if (previousClose == 0) return 0;  // no previous close to compare with
    return truncToInt(static_cast<float>(d.change) / static_cast<float>(previousClose) * 1000.0f);
  }

  int volumeChange() const {
    if (volumeSum_ == 0) return 0;
    return truncToInt(day_[latest_].volume / (volumeSum_ / 640.0f) * 10.0f);
  }

  void rci(int j, RankingRow& row) {
    const int period = windowLength(st_.rciPeriod[j]);
    int closes[HistoryDays];
    int n = 0;
    forWindow(latest_, period, [&](int s) {
      if (day_[s].active()) closes[n++] = day_[s].close;
    });
    // Price rank: 1 + the number of closes strictly greater.
    int sorted[HistoryDays];
    std::copy(closes, closes + n, sorted);
    std::sort(sorted, sorted + n);
    std::int64_t s = 0;
    for (int i = 0; i < n; ++i) {
      const int greater = static_cast<int>(sorted + n - std::upper_bound(sorted, sorted + n, closes[i]));
      const std::int64_t diff = (i + 1) - (1 + greater);
      s += diff * diff;
    }
    if (n > 1 && s > 0 && day_[latest_].active()) {
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
      if (!day_[s].active()) return;
      sum += day_[s].close;
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
      const Day& d = day_[s];
      if (!d.active() || d.change == 0)
        ++excluded;
      else if (d.change > 0)
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
      const Day& d = day_[s];
      if (!d.active()) return;
      if (d.change > 0) gains += d.change;
      total += d.change < 0 ? -std::int64_t{d.change} : d.change;
    });
    if (total > 0)
      addTerm(static_cast<float>(gains) / static_cast<float>(total) * 100.0f *
              static_cast<float>(st_.rsiWeight) / 10.0f);
  }

  void wvr() {
    float signedSum = 0;
    float total = 0;
    forWindow(latest_, windowLength(st_.maPeriod2), [&](int s) {
      const Day& d = day_[s];
      if (!d.active()) return;
      signedSum += d.change > 0 ? d.volume : -d.volume;
      total += d.volume;
    });
    if (total > 0)
      addTerm(signedSum / total * 100.0f * static_cast<float>(st_.wvrWeight) / 10.0f);
  }

  void shinoharaA() {
    std::int64_t up = 0;
    std::int64_t down = 0;
    forWindow(latest_, windowLength(st_.maPeriod2), [&](int s) {
      const Day& d = day_[s];
      if (!d.active()) return;
      up += d.high - d.open;
      down += d.open - d.low;
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
      const Day& d = day_[s];
      const int previousClose = day_[marketdb::previousSlot(s)].close;
      if (!d.active() || previousClose == 0) return;
      up += d.high - previousClose;
      down += previousClose - d.low;
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
  int sinceDate(float comparisonDate) const {
    int base = 0;
    int back = -1;
    double baseKey = 0;
    int s = latest_;
    const double comparisonKey = marketdb::dateKey(comparisonDate);  // dateLater, taken apart
    for (int i = 0; i < HistoryDays; ++i, s = marketdb::previousSlot(s)) {
      const Day& d = day_[s];
      if (d.date == 0 || !d.active()) continue;
      const double key = marketdb::dateKey(d.date);
      if (key > comparisonKey || (back >= 0 && key <= baseKey)) continue;
      base = d.close;
      back = i;
      baseKey = key;
    }
    if (back < 0) return 0;
    int recent = 0;
    s = latest_;
    for (int i = 0; i <= back; ++i, s = marketdb::previousSlot(s)) {
      if (day_[s].date != 0 && day_[s].active()) {
        recent = day_[s].close;
        break;
      }
    }
    if (base < 1 || recent < 1) return 0;
    return truncToInt(static_cast<float>(recent - base) / static_cast<float>(base) * 1000.0f);
  }

  Day day_[HistoryDays];
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
                       float lastStoreDate) {
  if (storePosition < 0 || storePosition >= HistoryDays) return false;
  return history.day[storePosition].date == lastStoreDate;
}

void analyseStock(const marketdb::StockHistory& history, int storePosition, float comparisonDate,
                  const AnalysisSettings& settings, RankingRow& row) {
  if (storePosition < 0 || storePosition >= HistoryDays) return;
  Analyser(history, storePosition, settings).run(comparisonDate, row);
}

}  // namespace dbprogram
