// Moving windows over the 640 days of the ring.
#include "viewer/chart_screen_state.h"

namespace viewer {
namespace {

template <typename Sum, typename Value>
void walkWindow(const float* volumes, const Value* values, int oldest, int period,
                MovingAverage& out) {
  out = MovingAverage{};
  if (period < 1 || volumes == nullptr || values == nullptr) return;
  Sum sum = 0;
  int empty = 0;
  for (int i = 0; i < RingDays; ++i) {
    const int s = ringSlot(oldest + i);
    if (volumes[s] != 0.0f) {
      sum += values[s];
    } else {
      ++empty;
    }
    // Once the window is full, the day `period` slots back leaves it.
    if (i >= period) {
      const int t = ringSlot(s - period);
      if (volumes[t] != 0.0f) {
        sum -= values[t];
      } else {
        --empty;
      }
    }
    const int length = i >= period ? period : i + 1;
    if (length > empty) {
      out.computed[i] = true;
      out.average[i] = static_cast<float>(sum) / static_cast<float>(length - empty);
    }
  }
}

}  // namespace

void movingAverageOfCloses(const float* volumes, const int* closes, int oldest, int period,
                           MovingAverage& out) {
  walkWindow<long long>(volumes, closes, oldest, period, out);
}

void movingAverageOfVolumes(const float* volumes, int oldest, int period, MovingAverage& out) {
  walkWindow<float>(volumes, volumes, oldest, period, out);
}

}  // namespace viewer
