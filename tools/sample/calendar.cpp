// The trading calendar of the sample data: weekdays without the exchange's New Year break and
// the national holidays (fixed days, the Monday holidays and the equinoxes, with the next free
// day off when a holiday falls on a Sunday). Close to the real calendar, which is all sample data
// needs.
#include <vector>

#include "tools/sample/sample_data.h"

namespace pelinor::sample {
namespace {

struct Ymd {
  int year, month, day;
};

int fullYear(int yy) { return yy <= 45 ? 2000 + yy : 1900 + yy; }

// Days since 1970-01-01 of a proleptic Gregorian date.
long daysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

Ymd civilFromDays(long z) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return Ymd{static_cast<int>(yoe + era * 400) + (m <= 2), m, d};
}

int weekday(long days) {  // 0 = Sunday
  long w = (days + 4) % 7;
  return static_cast<int>(w < 0 ? w + 7 : w);
}

int daysInMonth(int y, int m) {
  static const int len[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : len[m - 1];
}

// The n-th Monday of a month falls on days 7n-6 .. 7n.
bool isNthMonday(const Ymd& d, int wd, int n) { return wd == 1 && (d.day + 6) / 7 == n; }

int equinoxDay(int year, double base) {
  int y = year - 1980;
  return static_cast<int>(base + 0.242194 * y) - y / 4;
}

// The exchange's New Year break (only 1/1 of it is a national holiday).
bool isNewYearBreak(const Ymd& d) {
  return (d.month == 1 && d.day <= 3) || (d.month == 12 && d.day == 31);
}

// A national holiday on its own date (without the substitute day rule).
bool isFixedHoliday(const Ymd& d) {
  const int md = d.month * 100 + d.day;
  switch (md) {
    case 101: case 211: case 429: case 503: case 504: case 505: case 1103: case 1123:
      return true;
    case 223: return d.year >= 2020;
    case 1223: return d.year >= 1989 && d.year <= 2018;
    case 811: return d.year >= 2016;
    default: break;
  }
  if (d.month == 3 && d.day == equinoxDay(d.year, 20.8431)) return true;
  if (d.month == 9 && d.day == equinoxDay(d.year, 23.2488)) return true;
  return false;
}

bool isTradingDay(long days) {
  const int wd = weekday(days);
  if (wd == 0 || wd == 6) return false;
  const Ymd d = civilFromDays(days);
  if (isNewYearBreak(d) || isFixedHoliday(d)) return false;
  // A holiday on a Sunday gives the next day that is not a holiday off.
  for (long x = days - 1; isFixedHoliday(civilFromDays(x)); --x)
    if (weekday(x) == 0) return false;
  if (wd == 1) {
    if (d.month == 1 && isNthMonday(d, wd, 2)) return false;    // coming of age
    if (d.month == 7 && isNthMonday(d, wd, 3)) return false;    // marine day
    if (d.month == 9 && isNthMonday(d, wd, 3)) return false;    // respect for the aged
    if (d.month == 10 && isNthMonday(d, wd, 2)) return false;   // sports day
  }
  return true;
}

}  // namespace

bool validDate(int yymmdd) {
  if (yymmdd < 0 || yymmdd > 991231) return false;
  const int yy = yymmdd / 10000, m = yymmdd / 100 % 100, d = yymmdd % 100;
  if (m < 1 || m > 12 || d < 1) return false;
  return d <= daysInMonth(fullYear(yy), m);
}

int fullDate(int yymmdd) { return fullYear(yymmdd / 10000) * 10000 + yymmdd % 10000; }

std::vector<int> tradingDays(int endDate, int days) {
  std::vector<int> out;
  if (!validDate(endDate) || days <= 0) return out;
  const long first = daysFromCivil(1946, 1, 1);
  long day = daysFromCivil(fullYear(endDate / 10000), endDate / 100 % 100, endDate % 100);
  out.reserve(static_cast<std::size_t>(days));
  for (; static_cast<int>(out.size()) < days; --day) {
    if (day < first) return {};
    if (!isTradingDay(day)) continue;
    const Ymd d = civilFromDays(day);
    out.push_back((d.year % 100) * 10000 + d.month * 100 + d.day);
  }
  return std::vector<int>(out.rbegin(), out.rend());
}

}  // namespace pelinor::sample
