// Month detection for the month separators of the charts.
#include <cstdio>

#include "viewer/chart_screen_state.h"

namespace viewer {

bool ChartScreenState::monthChanged(std::int32_t date) {
  // The six digits yymmdd with leading zeros; a damaged date (-1) is written as zeros.
  const int n = date > 0 ? date % 1000000 : 0;
  std::snprintf(dateText, sizeof dateText, "%06d", n);
  const bool changed = dateText[3] != previousMonth;
  previousMonth = dateText[3];
  return changed;
}

}  // namespace viewer
