// The row lines of a ranking file written digit by digit: the same text as rankingLine's
// "%4d %4d %s %6s %5d%6.1f%6.1f%6.1f%6.1f %6.1f%6.1f%6.1f%6.1f\n" (the code column of the
// database's kind) without a formatted-output call per line (that call was a seventh of an analysis run).
//
// The one-decimal columns print a whole number of tenths divided by ten: the double nearest to
// v / 10 lies far closer to v / 10 than to any other number of one decimal, so printf shows
// exactly the quotient and remainder of v by ten.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>

#include "dbprogram/analysis.h"
#include "marketdb/exchange_text.h"

namespace dbprogram {
namespace {

// A line is put together in a buffer and appended at once. Every number takes at most 12
// bytes, so a line stays within 200.
struct Line {
  char text[200];
  char* end = text;

  void put(char c) { *end++ = c; }
  // Right-aligned in `width` columns, as printf pads: the sign is part of the text.
  void padded(const char* from, std::size_t length, std::size_t width) {
    for (; length < width; --width) *end++ = ' ';
    std::memcpy(end, from, length);
    end += length;
  }
  // The digits of `magnitude` with an optional minus sign and `decimals` digits taken as the
  // part after a point (0 or 1), right-aligned in `width`.
  void number(bool negative, std::uint64_t magnitude, int decimals, std::size_t width) {
    char buffer[32];
    char* last = buffer + sizeof buffer;
    char* p = last;
    if (decimals == 1) {
      *--p = static_cast<char>('0' + magnitude % 10);
      *--p = '.';
      magnitude /= 10;
    }
    do {
      *--p = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (negative) *--p = '-';
    padded(p, static_cast<std::size_t>(last - p), width);
  }
  void integer(int v, std::size_t width) { number(v < 0, magnitudeOf(v), 0, width); }
  // %6.1f of v / 10.0.
  void tenths(int v) { number(v < 0, magnitudeOf(v), 1, 6); }
  // The code as the ranking file of the layout's kind holds it: four columns, right-aligned.
  void code(const marketdb::DatabaseLayout& layout, marketdb::StockCode value) {
    if (layout.kind == marketdb::DatabaseKind::Classic) {
      integer(marketdb::codeNumber(value), 4);
      return;
    }
    const std::string text = marketdb::exchangeCodeText(layout, value);
    padded(text.data(), text.size(), 4);
  }

  static std::uint64_t magnitudeOf(std::int64_t v) {
    return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  }
};

template <typename Out>
void appendLine(Out& out, int rank, int reverseRank, const RankingRow& row,
                const marketdb::DatabaseLayout& layout) {
  Line line;
  line.integer(rank, 4);
  line.put(' ');
  line.integer(reverseRank, 4);
  line.put(' ');
  line.code(layout, row.code);
  line.put(' ');
  line.padded(row.name, strnlen(row.name, 6), 6);
  line.put(' ');
  line.integer(row.close, 5);
  line.tenths(row.riseRate);
  line.tenths(row.volumeChange);
  line.tenths(row.rci3);
  line.tenths(row.deviation2);
  line.put(' ');
  // The sign is whole units: printed with its one decimal, 0.
  line.number(row.sign < 0, Line::magnitudeOf(row.sign) * 10, 1, 6);
  line.tenths(row.rebound);
  line.tenths(row.range);
  line.tenths(row.sinceDate);
  line.put('\n');
  out.append(line.text, static_cast<std::size_t>(line.end - line.text));
}

}  // namespace

void appendRankingLine(std::string& out, int rank, int reverseRank, const RankingRow& row,
                       const marketdb::DatabaseLayout& layout) {
  appendLine(out, rank, reverseRank, row, layout);
}

void appendRankingLine(marketdb::LargeText& out, int rank, int reverseRank, const RankingRow& row,
                       const marketdb::DatabaseLayout& layout) {
  appendLine(out, rank, reverseRank, row, layout);
}

}  // namespace dbprogram
