// Day of the week of a yyyymmdd date.
#pragma once

#include <cstdint>

namespace viewer {

// 0 = Sunday, 1 = Monday .. 6 = Saturday. A date before 1582-10-15 (no date, a damaged one)
// gives 7.
int dayOfWeek(std::int32_t date);

}  // namespace viewer
