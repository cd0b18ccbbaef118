// RCI with windows that slide by one day.
//
// For the trading days of a window, with date ranks r and price ranks p, the sum of squared
// differences is S = sum(r^2) - 2 A + B, where A = sum(r p) and B = sum(p^2). sum(r^2) depends
// on the number of trading days n only. A and B change when a day enters or leaves:
//   - a day entering with close c raises the price rank of every day that closed below c by one;
//   - the oldest day leaving with close c lowers those ranks by one, and every remaining day's
//     date rank by one.
// The sums over "the days that closed below c" come from Fenwick trees indexed by close rank:
// how many days, the sum of their trading-day ordinals (date rank = ordinal - first ordinal
// + 1), and the pairs of equal closes among them, from which the sum of their price ranks
// follows: for the set L of days below c (|L| = l) in a window of n days,
//   sum over L of p = l + (l(l-1)/2 - equal pairs in L) + l (n - l).
// All of it is exact integer arithmetic; only the final formula is single precision.
#include "viewer/indicators/rci.h"

#include <algorithm>

namespace viewer::indicators {
namespace {

template <typename T>
void fenwickAdd(T* tree, int size, int index, T delta) {
  for (int i = index; i <= size; i += i & -i) tree[i] += delta;
}

template <typename T>
T fenwickPrefix(const T* tree, int index) {
  T sum = 0;
  for (int i = index; i > 0; i -= i & -i) sum += tree[i];
  return sum;
}

std::int64_t pairs(std::int64_t n) { return n * (n - 1) / 2; }

class SlidingRanks {
 public:
  explicit SlidingRanks(RciWork& w) : w_(w) {
    const int size = w_.distinct;
    std::fill(w_.count, w_.count + size + 1, 0);
    std::fill(w_.ordinalSum, w_.ordinalSum + size + 1, 0);
    std::fill(w_.tiePairs, w_.tiePairs + size + 1, 0);
    std::fill(w_.perClose, w_.perClose + size + 1, 0);
  }

  int days() const { return n_; }

  // Sum of squared rank differences of the window as it stands.
  std::int64_t squaredDifferences() const {
    const std::int64_t n = n_;
    return n * (n + 1) * (2 * n + 1) / 6 - 2 * a_ + b_;
  }

  // The next trading day (the newest of the window) with close rank c.
  void enter(int c) {
    const std::int64_t first = nextOrdinal_ - n_;
    const Below below = belowOf(c);
    const std::int64_t greater = n_ - fenwickPrefix(w_.count, c);
    b_ += 2 * priceRankSum(below, n_) + below.days;
    a_ += below.ordinals - below.days * (first - 1);
    const std::int64_t p = 1 + greater;
    a_ += (n_ + 1) * p;
    b_ += p * p;
    insert(c, nextOrdinal_, +1);
    ++nextOrdinal_;
  }

  // The oldest trading day of the window, with close rank c, leaves it.
  void leave(int c) {
    const std::int64_t first = nextOrdinal_ - n_;
    insert(c, first, -1);
    const Below below = belowOf(c);
    const std::int64_t p = 1 + (n_ - fenwickPrefix(w_.count, c));
    a_ -= p;  // its date rank was 1
    b_ -= p * p;
    b_ -= 2 * (priceRankSum(below, n_) + below.days) - below.days;
    a_ -= below.ordinals - below.days * (first - 1);
    // Every remaining day moves one date rank up.
    a_ -= n_ + pairs(n_) - tieTotal_;
  }

 private:
  struct Below {
    std::int64_t days;
    std::int64_t ordinals;
    std::int64_t ties;
  };

  Below belowOf(int c) const {
    return {fenwickPrefix(w_.count, c - 1), fenwickPrefix(w_.ordinalSum, c - 1),
            fenwickPrefix(w_.tiePairs, c - 1)};
  }

  // Sum of the price ranks of the days below, in a window of n days.
  static std::int64_t priceRankSum(const Below& below, std::int64_t n) {
    const std::int64_t l = below.days;
    return l + (pairs(l) - below.ties) + l * (n - l);
  }

  void insert(int c, std::int64_t ordinal, int sign) {
    const int size = w_.distinct;
    if (sign > 0) {
      const std::int64_t newPairs = w_.perClose[c];
      ++w_.perClose[c];
      fenwickAdd<std::int64_t>(w_.tiePairs, size, c, newPairs);
      tieTotal_ += newPairs;
    } else {
      --w_.perClose[c];
      const std::int64_t lostPairs = w_.perClose[c];
      fenwickAdd<std::int64_t>(w_.tiePairs, size, c, -lostPairs);
      tieTotal_ -= lostPairs;
    }
    fenwickAdd(w_.count, size, c, sign);
    fenwickAdd<std::int64_t>(w_.ordinalSum, size, c, sign * ordinal);
    n_ += sign;
  }

  RciWork& w_;
  int n_ = 0;
  std::int64_t nextOrdinal_ = 1;
  std::int64_t a_ = 0;
  std::int64_t b_ = 0;
  std::int64_t tieTotal_ = 0;
};

// Ranks of the trading days' closes among their distinct values, per walk day.
void rankCloses(const RingColumns& ring, RciWork& w) {
  int m = 0;
  for (int k = 0; k < RingDays; ++k) {
    if (!ring.empty(k)) w.sortedCloses[m++] = ring.closes[ring.slot(k)];
  }
  std::sort(w.sortedCloses, w.sortedCloses + m);
  w.distinct = static_cast<int>(std::unique(w.sortedCloses, w.sortedCloses + m) - w.sortedCloses);
  for (int k = 0; k < RingDays; ++k) {
    w.closeRank[k] = 0;
    if (ring.empty(k)) continue;
    const int close = ring.closes[ring.slot(k)];
    w.closeRank[k] =
        static_cast<int>(std::lower_bound(w.sortedCloses, w.sortedCloses + w.distinct, close) -
                         w.sortedCloses) + 1;
  }
}

}  // namespace

void rci(const RingColumns& ring, int period, RciWork& work, OscillatorLine& out) {
  out = OscillatorLine{};
  if (period <= 0 || period > RingDays) return;
  out.lookback = period - 1;
  rankCloses(ring, work);
  SlidingRanks ranks(work);
  float last = 0.0f;
  for (int k = 0; k < RingDays; ++k) {
    if (!ring.empty(k)) ranks.enter(work.closeRank[k]);
    if (k >= period && !ring.empty(k - period)) ranks.leave(work.closeRank[k - period]);
    if (k < out.lookback) continue;
    const std::int64_t n = ranks.days();
    if (!ring.empty(k) && n >= 2) {
      const std::int64_t sum = ranks.squaredDifferences();
      if (sum > 0) {
        const float denominator = static_cast<float>(n * n * n - n);
        last = (1.0f - 6.0f * static_cast<float>(sum) / denominator) * -100.0f;
        out.fresh[k] = true;
      }
    }
    out.value[k] = last;
    out.series[k] = truncToInt(last);
  }
}

}  // namespace viewer::indicators
