#include "viewer/tchart.h"

namespace viewer {

void TChart::signView(TDC& /*dc*/) {
  // The sign view is drawn by the indicator panes.
}

}  // namespace viewer
