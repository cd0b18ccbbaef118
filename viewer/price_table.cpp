#include "viewer/tchart.h"

namespace viewer {

void TChart::priceTable(TDC& /*dc*/) {}

}  // namespace viewer
