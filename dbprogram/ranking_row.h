// One stock's analysis result, as held by the analysis, the ranking display and the file output.
#pragma once

#include "marketdb/stock_code.h"

namespace dbprogram {

constexpr int MaxRankingRows = 2400;  // per market group, including the end marker row

struct RankingRow {
  marketdb::StockCode code = marketdb::NoStockCode;  // word 0
  int recordSlot = 0;  // word 1 (not in the ranking file)
  int close = 0;       // word 2: 終値
  int riseRate = 0;    // word 3: 上率, tenths of a percent
  int volumeChange = 0;  // word 4: 出変, tenths
  int rci3 = 0;        // word 5: RCI3, tenths of a percent
  int deviation2 = 0;  // word 6: ｶｲﾘ2, tenths of a percent
  int sign = 0;        // word 7: sｻｲﾝ, whole units
  int rebound = 0;     // word 8: 戻率, tenths of a percent
  int range = 0;       // word 9: ﾚﾝｼﾞ, tenths
  int sinceDate = 0;   // word 10: 指定, tenths of a percent
  char name[7] = {};   // first six bytes of the name

  // The 32-bit word `index` (1..10) as a signed integer, as the column sorts compare it.
  int word(int index) const;
};

// Ascending by code.
int fnc1(const RankingRow& a, const RankingRow& b);
// Descending by word `ss` (-1 when a's value is greater).
int fnc2(const RankingRow& a, const RankingRow& b, int ss);

}  // namespace dbprogram
