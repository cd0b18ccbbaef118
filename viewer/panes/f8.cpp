#include "viewer/tchart.h"

namespace viewer {

void TChart::f8(TDC& /*dc*/) {
  // The pane is drawn by the indicator panes.
}

}  // namespace viewer
