// The sign view's numbers: the parameter sets of views 7 and 77, the weighted total of the ten
// oscillators per day, its range and the peak marks at the turns of the 2nd moving average.
#pragma once

#include "viewer/indicators/oscillators.h"

namespace viewer::indicators {

// Rows of the sign view, top to bottom.
enum SignRow : int {
  RowPsychological, RowDeviation2, RowDeviation3, RowRci1, RowRci2, RowRci3,
  RowRsi, RowWvr, RowShinoharaA, RowShinoharaB, SignRows
};

// Periods, thresholds and weights of the ten rows. The RSI's period is its window (the
// psychological period + 2).
struct SignParameters {
  int period[SignRows] = {12, 25, 75, 13, 22, 32, 14, 25, 25, 25};
  int low[SignRows] = {35, -7, -15, -79, -79, -79, 30, -20, 55, 80};
  int high[SignRows] = {70, 10, 20, 79, 79, 79, 70, 20, 160, 160};
  int weight[SignRows] = {10, 10, 10, 10, 10, 10, 10, 10, 10, 10};
};

// View 7: fixed textbook periods and thresholds, every weight 10.
SignParameters fixedSignParameters();
// View 77: the user's periods (settings 20..35 in `periods`, by setting number - 20) and
// weights (settings 50..59), thresholds that give every day a tick.
SignParameters userSignParameters(const int* periods, const int* weights);

// Days of warm-up before the total line starts: 75 in view 7, the longest of the user's
// psychological, 2nd and 3rd average and RCI periods in view 77.
int signWarmUp(bool fixedView, const int* periods);

// Adds trunc(value * weight / 10) of every day with an entry to the total (by ring slot).
// The sum saturates at the int range instead of overflowing.
void addToSignTotal(const OscillatorLine& line, int weight, int oldest, int* signTotal);

struct SignRange {
  int max = 0;
  int min = 32000;
  bool flat() const { return max <= min; }  // no range to normalise by
};
// Largest and smallest total over the walk days after warmUp - 2.
SignRange signRange(const int* signTotal, int oldest, int warmUp);

// Peak marks: from walk day `start` on, the first change of the average (per walk day) sets
// the direction; at each later turn down the day's total becomes range.max, at each turn up
// range.min.
void peakSign(const int* averages, int start, const SignRange& range, int oldest,
              int* signTotal);

// Colour of a tick: none, or green / dark green below the low threshold (the line did not
// rise / rose), red / dark red above the high one (did not fall / fell). Screen y grows
// downwards, so rising means a smaller y.
enum class Tick { None, Green, DarkGreen, Red, DarkRed };
Tick signTick(int value, int low, int high, int y, int previousY);

}  // namespace viewer::indicators
