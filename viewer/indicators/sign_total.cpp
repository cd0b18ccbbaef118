#include "viewer/indicators/sign_total.h"

#include <algorithm>
#include <cstdint>

#include "marketdb/int_range.h"

namespace viewer::indicators {

SignParameters fixedSignParameters() { return SignParameters{}; }

SignParameters userSignParameters(const int* periods, const int* weights) {
  const auto setting = [periods](int number) { return periods[number - 20]; };
  SignParameters p;
  const int userPeriods[SignRows] = {setting(32), setting(21), setting(22), setting(29),
                                     setting(30), setting(31), rsiWindow(setting(32)),
                                     setting(21), setting(21), setting(21)};
  // Thresholds that leave no value between them: every day gets a tick.
  const int lows[SignRows] = {50, 0, 0, 0, 0, 0, 50, 0, 100, 100};
  const int highs[SignRows] = {49, -1, -1, -1, -1, -1, 49, -1, 99, 99};
  for (int row = 0; row < SignRows; ++row) {
    p.period[row] = userPeriods[row];
    p.low[row] = lows[row];
    p.high[row] = highs[row];
    p.weight[row] = weights[row];
  }
  return p;
}

int signWarmUp(bool fixedView, const int* periods) {
  if (fixedView) return 75;
  int w = 0;
  for (int number : {32, 21, 22, 29, 30, 31}) w = std::max(w, periods[number - 20]);
  return w;
}

void addToSignTotal(const OscillatorLine& line, int weight, int oldest, int* signTotal) {
  for (int k = line.lookback; k < RingDays; ++k) {
    int& total = signTotal[ringSlot(oldest + k)];
    const std::int64_t term = static_cast<std::int64_t>(line.series[k]) * weight / 10;
    total = marketdb::clampToInt(total + term);
  }
}

SignRange signRange(const int* signTotal, int oldest, int warmUp) {
  SignRange range;
  for (int k = std::max(warmUp - 1, 0); k < RingDays; ++k) {
    const int total = signTotal[ringSlot(oldest + k)];
    range.max = std::max(range.max, total);
    range.min = std::min(range.min, total);
  }
  return range;
}

void peakSign(const int* averages, int start, const SignRange& range, int oldest,
              int* signTotal) {
  int k = std::max(start, 0);
  // The first change of the average from `start` on sets the direction.
  while (k + 1 < RingDays && averages[k + 1] == averages[k]) ++k;
  if (k + 1 >= RingDays) return;
  bool up = averages[k + 1] > averages[k];
  for (int d = k + 2; d < RingDays; ++d) {
    if (up && averages[d] < averages[d - 1]) {
      signTotal[ringSlot(oldest + d)] = range.max;
      up = false;
    } else if (!up && averages[d] > averages[d - 1]) {
      signTotal[ringSlot(oldest + d)] = range.min;
      up = true;
    }
  }
}

Tick signTick(int value, int low, int high, int y, int previousY) {
  if (value < low) return y >= previousY ? Tick::Green : Tick::DarkGreen;
  if (value > high) return y <= previousY ? Tick::Red : Tick::DarkRed;
  return Tick::None;
}

}  // namespace viewer::indicators
