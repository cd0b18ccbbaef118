#include "viewer/tchart.h"

namespace viewer {

void TChart::chartScreen(TDC& /*dc*/) {}
void TChart::drawTopRow(TDC& /*dc*/) {}
void TChart::drawTopFigures(TDC& /*dc*/) {}

}  // namespace viewer
