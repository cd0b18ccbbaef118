#include "viewer/tchart.h"

namespace viewer {

void TChart::f3(TDC& /*dc*/) {
  // The pane is drawn by the indicator panes.
}

}  // namespace viewer
