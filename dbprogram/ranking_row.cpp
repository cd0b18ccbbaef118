#include "dbprogram/ranking_row.h"

#include <bit>

namespace dbprogram {

int RankingRow::word(int index) const {
  switch (index) {
    case 0: return static_cast<int>(code);
    case 1: return recordSlot;
    case 2: return close;
    case 3: return riseRate;
    case 4: return volumeChange;
    case 5: return rci3;
    case 6: return deviation2;
    case 7: return sign;
    case 8: return rebound;
    case 9: return range;
    case 10: return sinceDate;
    default: return 0;
  }
}

int fnc1(const RankingRow& a, const RankingRow& b) {
  if (a.code < b.code) return -1;
  if (a.code > b.code) return 1;
  return 0;
}

int fnc2(const RankingRow& a, const RankingRow& b, int ss) {
  const int x = a.word(ss);
  const int y = b.word(ss);
  if (x > y) return -1;
  if (x < y) return 1;
  return 0;
}

}  // namespace dbprogram
