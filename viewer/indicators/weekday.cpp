#include "viewer/indicators/weekday.h"

namespace viewer {

int dayOfWeek(float date) {
  // Outside 0..999999 the conversions to int below would not be defined.
  if (!(date >= 0.0f && date < 1000000.0f)) return 7;
  const int yy = static_cast<int>(date / 10000.0f);
  int mm = static_cast<int>(date / 100.0f - static_cast<float>(yy) * 100.0f);
  const int dd = static_cast<int>(date - static_cast<float>(yy) * 10000.0f -
                                  static_cast<float>(mm) * 100.0f);
  int year = static_cast<int>(date / 10000.0f + 1900.0f);
  if (year < 1946) year = static_cast<int>(date / 10000.0f + 2000.0f);
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
