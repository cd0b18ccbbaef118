// Plain definitions of the oscillators for the tests: every window rebuilt from scratch, every
// RCI window ranked by comparing each pair of days. Nothing here calls viewer/indicators except
// to hand it the columns.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "viewer/indicators/oscillators.h"

namespace oscillatortest {

using viewer::RingDays;
namespace ind = viewer::indicators;

// A ring of 640 slots; walk day k is slot (oldest + k) % 640.
struct Ring {
  std::vector<int> open = std::vector<int>(RingDays), high = open, low = open, close = open,
                   change = open;
  std::vector<float> volume = std::vector<float>(RingDays);
  int oldest = 0;

  int slot(int k) const { return (oldest + k) % RingDays; }
  bool empty(int k) const { return volume[slot(k)] == 0.0f; }
  int c(int k) const { return close[slot(k)]; }
  ind::RingColumns columns() const {
    using Ints = std::span<const int, RingDays>;
    return {Ints(open.data(), RingDays),   Ints(high.data(), RingDays),
            Ints(low.data(), RingDays),    Ints(close.data(), RingDays),
            Ints(change.data(), RingDays), std::span<const float, RingDays>(volume.data(), RingDays),
            oldest};
  }
  // A trading day at walk day k.
  void day(int k, int o, int h, int l, int cl, int ch, float v = 100.0f) {
    const int s = slot(k);
    open[s] = o, high[s] = h, low[s] = l, close[s] = cl, change[s] = ch, volume[s] = v;
  }
  void emptyDay(int k) { day(k, 0, 0, 0, 0, 0, 0.0f); }
};

// Random prices from a narrow range (many equal closes) and about one empty day in `emptyEvery`.
inline Ring randomRing(unsigned seed, int emptyEvery = 8) {
  std::mt19937 rng(seed);
  Ring r;
  r.oldest = static_cast<int>(rng() % RingDays);
  for (int k = 0; k < RingDays; ++k) {
    if (rng() % emptyEvery == 0) {
      r.emptyDay(k);
      continue;
    }
    const int cl = 500 + static_cast<int>(rng() % 12);
    const int o = cl + static_cast<int>(rng() % 9) - 4;
    r.day(k, o, std::max(o, cl) + static_cast<int>(rng() % 5), std::min(o, cl) - static_cast<int>(rng() % 5),
          cl, static_cast<int>(rng() % 7) - 3, static_cast<float>(1 + rng() % 5000));
  }
  return r;
}

// Plain walk: from day max(N - 1, 0) on (none when N > 640), each day carries the last value
// unless `value` forms a new one from the window of days k - N + 1 .. k.
struct Expected {
  int lookback = RingDays;
  std::vector<int> series = std::vector<int>(RingDays);
  std::vector<float> value = std::vector<float>(RingDays);
  std::vector<bool> fresh = std::vector<bool>(RingDays);
};
using WindowValue = std::function<std::optional<float>(int k, int n)>;
inline Expected plainWalk(int n, const WindowValue& value) {
  Expected e;
  if (n < 0) n = 0;
  if (n > RingDays) return e;
  e.lookback = n == 0 ? 0 : n - 1;
  float last = 0.0f;
  for (int k = e.lookback; k < RingDays; ++k) {
    if (auto v = value(k, n)) {
      last = *v;
      e.fresh[k] = true;
    }
    e.value[k] = last;
    e.series[k] = static_cast<int>(std::trunc(last));
  }
  return e;
}

inline void expectSame(const Expected& e, const ind::OscillatorLine& got, const std::string& what) {
  ASSERT_EQ(got.lookback, e.lookback) << what;
  for (int k = e.lookback; k < RingDays; ++k) {
    ASSERT_EQ(got.series[k], e.series[k]) << what << " day " << k;
    ASSERT_EQ(got.value[k], e.value[k]) << what << " day " << k;
    ASSERT_EQ(got.fresh[k], e.fresh[k]) << what << " day " << k;
  }
}

// ---- Independent definitions -------------------------------------------------------------

inline std::optional<float> rciDirect(const Ring& r, int k, int n) {
  if (n == 0 || r.empty(k)) return std::nullopt;
  const int first = k - n + 1;
  int e = 0;
  for (int j = 0; j < n; ++j) e += r.empty(first + j);
  const long long m = n - e;
  if (m < 2) return std::nullopt;
  long long sum = 0;  // whole numbers: summed exactly
  int emptySoFar = 0;
  for (int j = 0; j < n; ++j) {
    if (r.empty(first + j)) {
      ++emptySoFar;
      continue;
    }
    const int dateRank = j + 1 - emptySoFar;
    int priceRank = 1;
    for (int i = 0; i < n; ++i)
      if (!r.empty(first + i) && r.c(first + i) > r.c(first + j)) ++priceRank;
    sum += static_cast<long long>(dateRank - priceRank) * (dateRank - priceRank);
  }
  if (sum <= 0) return std::nullopt;
  return (1.0f - 6.0f * static_cast<float>(sum) / static_cast<float>(m * m * m - m)) * -100.0f;
}

inline std::optional<float> deviationDirect(const Ring& r, int k, int n) {
  float sum = 0.0f;
  int skip = 0;
  for (int i = k - n + 1; i <= k; ++i) {
    if (r.empty(i)) ++skip; else sum += static_cast<float>(r.c(i));
  }
  if (r.empty(k) || skip >= n || sum <= 0.0f || r.c(k) < 1) return std::nullopt;
  const float ma = sum / static_cast<float>(n - skip);
  return (static_cast<float>(r.c(k)) - ma) / ma * 100.0f;
}

inline std::optional<float> psychologicalDirect(const Ring& r, int k, int n) {
  int up = 0, skip = 0;
  for (int i = k - n + 1; i <= k; ++i) {
    const int ch = r.change[r.slot(i)];
    if (r.empty(i) || ch == 0) ++skip; else if (ch > 0) ++up;
  }
  if (r.empty(k) || skip >= n || up <= 0 || r.change[r.slot(k)] == 0) return std::nullopt;
  return static_cast<float>(up) / static_cast<float>(n - skip) * 100.0f;
}

inline std::optional<float> rsiDirect(const Ring& r, int k, int n) {
  float up = 0.0f, total = 0.0f;
  for (int i = k - n + 1; i <= k; ++i) {
    if (r.empty(i)) continue;
    const int ch = r.change[r.slot(i)];
    if (ch >= 1) up += static_cast<float>(ch);
    total += static_cast<float>(std::abs(ch));
  }
  if (r.empty(k) || total <= 0.0f) return std::nullopt;
  return up / total * 100.0f;
}

inline std::optional<float> wvrDirect(const Ring& r, int k, int n) {
  float signedVolume = 0.0f, total = 0.0f;
  for (int i = k - n + 1; i <= k; ++i) {
    if (r.empty(i)) continue;
    const float v = r.volume[r.slot(i)];
    signedVolume += r.change[r.slot(i)] >= 1 ? v : -v;
    total += v;
  }
  if (r.empty(k) || total <= 0.0f) return std::nullopt;
  return signedVolume / total * 100.0f;
}

// Sums of numerator and denominator terms per trading day (a term function returning false
// adds nothing), with the given test and limit.
template <typename Terms>
std::optional<float> ratioDirect(const Ring& r, int k, int n, Terms terms, bool strictZeroOnly,
                                 bool limited) {
  float num = 0.0f, den = 0.0f;
  for (int i = k - n + 1; i <= k; ++i) {
    int a = 0, b = 0;
    if (r.empty(i) || !terms(i, a, b)) continue;
    num += static_cast<float>(a);
    den += static_cast<float>(b);
  }
  if (r.empty(k) || (strictZeroOnly ? den == 0.0f : den <= 0.0f)) return std::nullopt;
  const float v = num / den * 100.0f;
  return limited ? std::min(std::max(v, 0.0f), 400.0f) : v;
}

inline std::optional<float> shinoharaADirect(const Ring& r, int k, int n) {
  return ratioDirect(r, k, n, [&](int i, int& a, int& b) {
    a = r.high[r.slot(i)] - r.open[r.slot(i)];
    b = r.open[r.slot(i)] - r.low[r.slot(i)];
    return true;
  }, false, true);
}

inline std::optional<float> shinoharaBDirect(const Ring& r, int k, int n) {
  return ratioDirect(r, k, n, [&](int i, int& a, int& b) {
    if (i == 0 || r.c(i - 1) == 0) return false;  // no previous day in the walk
    a = r.high[r.slot(i)] - r.c(i - 1);
    b = r.c(i - 1) - r.low[r.slot(i)];
    return true;
  }, true, true);
}

inline std::optional<float> closePositionDirect(const Ring& r, int k, int n) {
  return ratioDirect(r, k, n, [&](int i, int& a, int& b) {
    a = r.high[r.slot(i)] - r.c(i);
    b = r.c(i) - r.low[r.slot(i)];
    return true;
  }, false, false);
}

inline WindowValue on(const Ring& r, std::optional<float> (*f)(const Ring&, int, int)) {
  return [&r, f](int k, int n) { return f(r, k, n); };
}

}  // namespace oscillatortest
