// Volume-at-price distribution of the daily chart: each trading day's volume spread evenly
// over the prices from its low to its high, summed into rows of pixels.
#pragma once

#include "marketdb/stock_code.h"

namespace viewer {

constexpr int MaxUpperHeight = 416;                    // largest upper-area height allowed
constexpr int HistogramRows = MaxUpperHeight + 2;      // rows 0 .. H + 1

// Lowest low over the trading days among the `period` days ending at `newest` (EmptyLow when
// there is none).
int distributionBase(const int* lows, const float* volumes, int newest, int period);

// Price step of the distribution: 1 yen for low prices (base below 3000) and index codes
// (below 1100), else 10 yen; ten times more for each digit a base above 99,999 has more.
int distributionStep(int base, marketdb::StockCode code);

struct DistributionPass {
  float total = 0.0f;    // sum of its rows
  float largest = 0.0f;  // largest row value
  int topRow = -1;       // highest row written (-1: none)
};

// One pass over the trading days among the `period` days ending at `newest`: a day of span
// high - low + step shares volume / span among the prices low, low + step, ... below low +
// span, each adding its share to row trunc((price - base) * scale). Rows outside 0..rows-1
// (prices below the base or above the rows the pane holds) are left out. `histogram` holds at
// least `rows` entries and is cleared first; `rows` is capped at HistogramRows.
DistributionPass distributionPass(const int* highs, const int* lows, const float* volumes,
                                  int newest, int period, int base, int step, float scale,
                                  int rows, float* histogram);

// Share of one pass in the reference pass, in per cent (0 when the reference is 0).
float distributionPercent(float total, float referenceTotal);

}  // namespace viewer
