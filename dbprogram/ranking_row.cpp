#include "dbprogram/ranking_row.h"

namespace dbprogram {

int RankingRow::word(int) const { return 0; }
int fnc1(const RankingRow&, const RankingRow&) { return 0; }
int fnc2(const RankingRow&, const RankingRow&, int) { return 0; }

}  // namespace dbprogram
