#include "viewer/indicators/weekday.h"

namespace viewer {

int dayOfWeek(std::int32_t date) {
  int year = date / 10000;
  int mm = date / 100 % 100;
  const int dd = date % 100;
  if (year < 1582 || (year == 1582 && (mm < 10 || (mm == 10 && dd < 15)))) return 7;
  if (mm <= 2) {
    year -= 1;
    mm += 12;
  }
  const unsigned y = static_cast<unsigned>(year);
  const unsigned m = static_cast<unsigned>(mm);
  const unsigned d = static_cast<unsigned>(dd);
  return static_cast<int>((y + y / 4u - y / 100u + y / 400u + (13u * m + 8u) / 5u + d) % 7u);
}

}  // namespace viewer
