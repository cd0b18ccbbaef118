#include "viewer/tchart.h"

namespace viewer {

void TChart::f9(TDC& /*dc*/) {
  // The pane is drawn by the indicator panes.
}

}  // namespace viewer
