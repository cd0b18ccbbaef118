// The sliding-window oscillators: each keeps running sums (and a skip count of the days that do
// not enter its sums) while the walk adds the newest day and drops the day `period` days back.
#include "viewer/indicators/oscillators.h"

#include <algorithm>

namespace viewer::indicators {
namespace {

int nonNegative(int period) { return period < 0 ? 0 : period; }

// Walks the ring: day k enters the window, the day `period` days back leaves it, and from the
// lookback on the day gets its entry: a new value when the day trades and `value` forms one,
// else the last value of the walk.
template <typename Window, typename Value>
void slide(const RingColumns& ring, int period, OscillatorLine& out, Window& window,
           Value value) {
  out = OscillatorLine{};
  period = nonNegative(period);
  out.lookback = windowLookback(period);
  float last = 0.0f;
  for (int k = 0; k < RingDays; ++k) {
    window.add(k, +1);
    if (k >= period) window.add(k - period, -1);
    if (k < out.lookback) continue;
    float v = 0.0f;
    if (!ring.empty(k) && value(k, v)) {
      last = v;
      out.fresh[k] = true;
    }
    out.value[k] = last;
    out.series[k] = truncToInt(last);
  }
}

float limitRatio(float v) { return std::clamp(v, 0.0f, 400.0f); }

}  // namespace

int windowLookback(int period) {
  period = nonNegative(period);
  if (period > RingDays) return RingDays;
  return period == 0 ? 0 : period - 1;
}

int rsiWindow(int psychologicalPeriod) {
  // Beyond the ring a window never fills; the bound keeps the sum from overflowing.
  return std::min(nonNegative(psychologicalPeriod), RingDays) + 2;
}

void movingAverageDeviation(const RingColumns& ring, int period, OscillatorLine& out,
                            int* averages, std::optional<float>* newest) {
  struct {
    const RingColumns& ring;
    float sum = 0.0f;
    int skip = 0;
    void add(int k, int sign) {
      if (ring.empty(k)) {
        skip += sign;
      } else {
        sum += static_cast<float>(sign * ring.closes[ring.slot(k)]);
      }
    }
  } window{ring};
  const int n = nonNegative(period);
  slide(ring, period, out, window, [&](int k, float& v) {
    const int close = ring.closes[ring.slot(k)];
    if (window.skip >= n || window.sum <= 0.0f || close < 1) return false;
    const float ma = window.sum / static_cast<float>(n - window.skip);
    v = (static_cast<float>(close) - ma) / ma * 100.0f;
    if (averages != nullptr) averages[k] = truncToInt(ma);
    return true;
  });
  if (newest != nullptr) {
    // The window now ends at the newest day: the same sum and skip its own value would use.
    newest->reset();
    const int close = ring.closes[ring.slot(RingDays - 1)];
    if (n >= 1 && n <= RingDays && window.skip < n && window.sum > 0.0f && close >= 1) {
      const float ma = window.sum / static_cast<float>(n - window.skip);
      *newest = (static_cast<float>(close) - ma) / ma * 100.0f;
    }
  }
  if (averages == nullptr) return;
  // The average is carried over the same days as the deviation, and 0 before its lookback.
  int average = 0;
  for (int k = 0; k < RingDays; ++k) {
    if (out.fresh[k]) average = averages[k];
    averages[k] = out.hasEntry(k) ? average : 0;
  }
}

void psychologicalLine(const RingColumns& ring, int period, OscillatorLine& out) {
  struct {
    const RingColumns& ring;
    int up = 0;
    int skip = 0;
    void add(int k, int sign) {
      const int change = ring.changes[ring.slot(k)];
      if (ring.empty(k) || change == 0) {
        skip += sign;
      } else if (change > 0) {
        up += sign;
      }
    }
  } window{ring};
  const int n = nonNegative(period);
  slide(ring, period, out, window, [&](int k, float& v) {
    if (window.skip >= n || window.up <= 0 || ring.changes[ring.slot(k)] == 0) return false;
    v = static_cast<float>(window.up) / static_cast<float>(n - window.skip) * 100.0f;
    return true;
  });
}

void rsi(const RingColumns& ring, int psychologicalPeriod, OscillatorLine& out) {
  struct {
    const RingColumns& ring;
    float up = 0.0f;
    float total = 0.0f;
    void add(int k, int sign) {
      if (ring.empty(k)) return;
      const int change = ring.changes[ring.slot(k)];
      if (change >= 1) up += static_cast<float>(sign * change);
      total += static_cast<float>(sign * (change < 0 ? -change : change));
    }
  } window{ring};
  slide(ring, rsiWindow(psychologicalPeriod), out, window, [&](int, float& v) {
    if (window.total <= 0.0f) return false;
    v = window.up / window.total * 100.0f;
    return true;
  });
}

void wvr(const RingColumns& ring, int period, OscillatorLine& out) {
  struct {
    const RingColumns& ring;
    float signedVolume = 0.0f;
    float total = 0.0f;
    void add(int k, int sign) {
      if (ring.empty(k)) return;
      const int s = ring.slot(k);
      const float volume = ring.volumes[s];
      if (sign > 0) {
        signedVolume += ring.changes[s] >= 1 ? volume : -volume;
        total += volume;
      } else {
        signedVolume -= ring.changes[s] >= 1 ? volume : -volume;
        total -= volume;
      }
    }
  } window{ring};
  slide(ring, period, out, window, [&](int, float& v) {
    if (window.total <= 0.0f) return false;
    v = window.signedVolume / window.total * 100.0f;
    return true;
  });
}

namespace {

// Two running sums of per-day integer terms over the window's trading days.
template <typename Terms>
struct RatioWindow {
  const RingColumns& ring;
  Terms terms;  // (k, numerator, denominator) -> false when the day adds nothing
  float numerator = 0.0f;
  float denominator = 0.0f;
  void add(int k, int sign) {
    if (ring.empty(k)) return;
    int num = 0;
    int den = 0;
    if (!terms(k, num, den)) return;
    numerator += static_cast<float>(sign * num);
    denominator += static_cast<float>(sign * den);
  }
};

template <typename Terms>
RatioWindow<Terms> ratioWindow(const RingColumns& ring, Terms terms) {
  return RatioWindow<Terms>{ring, terms};
}

}  // namespace

void shinoharaA(const RingColumns& ring, int period, OscillatorLine& out) {
  auto window = ratioWindow(ring, [&ring](int k, int& num, int& den) {
    const int s = ring.slot(k);
    num = ring.highs[s] - ring.opens[s];
    den = ring.opens[s] - ring.lows[s];
    return true;
  });
  slide(ring, period, out, window, [&](int, float& v) {
    if (window.denominator <= 0.0f) return false;
    v = limitRatio(window.numerator / window.denominator * 100.0f);
    return true;
  });
}

void shinoharaB(const RingColumns& ring, int period, OscillatorLine& out) {
  auto window = ratioWindow(ring, [&ring](int k, int& num, int& den) {
    if (k == 0) return false;  // the slot before the oldest day holds the newest one
    const int s = ring.slot(k);
    const int previous = ring.closes[ring.slot(k - 1)];
    if (previous == 0) return false;
    num = ring.highs[s] - previous;
    den = previous - ring.lows[s];
    return true;
  });
  slide(ring, period, out, window, [&](int, float& v) {
    if (window.denominator == 0.0f) return false;
    v = limitRatio(window.numerator / window.denominator * 100.0f);
    return true;
  });
}

void closePosition(const RingColumns& ring, int period, OscillatorLine& out) {
  auto window = ratioWindow(ring, [&ring](int k, int& num, int& den) {
    const int s = ring.slot(k);
    num = ring.highs[s] - ring.closes[s];
    den = ring.closes[s] - ring.lows[s];
    return true;
  });
  slide(ring, period, out, window, [&](int, float& v) {
    if (window.denominator <= 0.0f) return false;
    v = window.numerator / window.denominator * 100.0f;
    return true;
  });
}

void storeSeries(const OscillatorLine& line, int oldest, int* series) {
  for (int k = line.lookback; k < RingDays; ++k) series[ringSlot(oldest + k)] = line.series[k];
}

void storeWalkValues(const int* walkValues, int lookback, int oldest, int* series) {
  for (int k = std::max(lookback, 0); k < RingDays; ++k) {
    series[ringSlot(oldest + k)] = walkValues[k];
  }
}

}  // namespace viewer::indicators
