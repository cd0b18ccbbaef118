#include "viewer/tchart.h"

namespace viewer {

void TChart::longTermChart(TDC& /*dc*/) {}

}  // namespace viewer
