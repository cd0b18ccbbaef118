// The steps of the long-term chart, shared by its source files.
#pragma once

#include "platform/gdi/tdc.h"

namespace viewer {

class TChart;

// y of a price on the long-term chart: chartMin at 463, rising by the price scale.
int longTermPriceY(const TChart& chart, float price);

// The three dotted moving averages over the 640 days; fills maValue1..3 where the period is
// that of setting 20, 21 or 22.
void drawLongTermAverages(TChart& chart, TDC& dc);
// Mode 4: the band between the averages of settings 21 and 22.
void drawAverageBand(TChart& chart, TDC& dc);
// Modes 7 and 77: the band between two volume averages.
void drawVolumeBand(TChart& chart, TDC& dc);

}  // namespace viewer
