// Day of the week of a yymmdd date.
#pragma once

namespace viewer {

// 0 = Sunday, 1 = Monday .. 6 = Saturday. The years 00..45 are 2000..2045 and 46..99 are
// 1946..1999. A date before 1582-10-15, or one that is no six-digit number at all (negative,
// too large, not a number), gives 7.
int dayOfWeek(float date);

}  // namespace viewer
