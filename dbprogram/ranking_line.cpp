// The row lines of a ranking file written digit by digit: the same text as rankingLine's
// "%4d %4d %4g %6s %5d%6.1f%6.1f%6.1f%6.1f %6.1f%6.1f%6.1f%6.1f\n" without a formatted-output
// call per line (that call was a seventh of an analysis run).
//
// The one-decimal columns print a whole number of tenths divided by ten: the double nearest to
// v / 10 lies far closer to v / 10 than to any other number of one decimal, so printf shows
// exactly the quotient and remainder of v by ten. A code that is not a whole number of at most
// six digits (or is -0) is left to the C library's %g.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "dbprogram/analysis.h"
#include "platform/text/cp932.h"

namespace dbprogram {
namespace {

// Right-aligned in `width` columns, as printf pads: the sign is part of the text.
void appendPadded(std::string& out, const char* text, std::size_t length, std::size_t width) {
  if (length < width) out.append(width - length, ' ');
  out.append(text, length);
}

// The digits of `magnitude` with an optional minus sign and `decimals` digits taken as the
// part after a point (0 or 1), right-aligned in `width`.
void appendNumber(std::string& out, bool negative, std::uint64_t magnitude, int decimals,
                  std::size_t width) {
  char buffer[32];
  char* end = buffer + sizeof buffer;
  char* p = end;
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
  appendPadded(out, p, static_cast<std::size_t>(end - p), width);
}

std::uint64_t magnitudeOf(std::int64_t v) {
  return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

void appendInt(std::string& out, int v, std::size_t width) {
  appendNumber(out, v < 0, magnitudeOf(v), 0, width);
}

// %6.1f of v / 10.0.
void appendTenths(std::string& out, int v) { appendNumber(out, v < 0, magnitudeOf(v), 1, 6); }

// %4g of a code.
void appendCode(std::string& out, float code) {
  const double c = code;
  if (c == std::trunc(c) && std::fabs(c) < 1e6 && !(c == 0 && std::signbit(c))) {
    appendInt(out, static_cast<int>(c), 4);
    return;
  }
  out += pelinor::text::format("%4g", c);
}

}  // namespace

void appendRankingLine(std::string& out, int rank, int reverseRank, const RankingRow& row) {
  appendInt(out, rank, 4);
  out += ' ';
  appendInt(out, reverseRank, 4);
  out += ' ';
  appendCode(out, row.code);
  out += ' ';
  appendPadded(out, row.name, strnlen(row.name, 6), 6);
  out += ' ';
  appendInt(out, row.close, 5);
  appendTenths(out, row.riseRate);
  appendTenths(out, row.volumeChange);
  appendTenths(out, row.rci3);
  appendTenths(out, row.deviation2);
  out += ' ';
  // The sign is whole units: printed with its one decimal, 0.
  appendNumber(out, row.sign < 0, magnitudeOf(row.sign) * 10, 1, 6);
  appendTenths(out, row.rebound);
  appendTenths(out, row.range);
  appendTenths(out, row.sinceDate);
  out += '\n';
}

}  // namespace dbprogram
