// Month detection for the month separators of the charts.
#include <cstdio>

#include "viewer/chart_screen_state.h"

namespace viewer {

bool ChartScreenState::monthChanged(float date) {
  // Six digits with leading zeros. Anything that is not a number of at most six digits (a
  // damaged record) is written as zeros rather than running past the six characters.
  int n = 0;
  if (date >= 0.0f && date < 1000000.0f) n = static_cast<int>(date);
  if (n < 0 || n > 999999) n = 0;
  std::snprintf(dateText, sizeof dateText, "%06d", n);
  const bool changed = dateText[3] != previousMonth;
  previousMonth = dateText[3];
  return changed;
}

}  // namespace viewer
