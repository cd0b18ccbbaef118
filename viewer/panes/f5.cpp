#include "viewer/tchart.h"

namespace viewer {

void TChart::f5(TDC& /*dc*/) {
  // The pane is drawn by the indicator panes.
}

}  // namespace viewer
