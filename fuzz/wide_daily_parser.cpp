// The extended daily file's reader alone, thousands of inputs a second. Every line it gives
// holds values within the ranges a store may write; a refusal names a line; and the stream
// reader (as a store reads a file) gives exactly the lines and the refusal of the reader of the
// whole text.
#include <stdio.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "dbprogram/wide_daily_parser.h"

namespace {

bool sound(const dbprogram::WideDailyLine& l) {
  using namespace dbprogram;
  for (std::int64_t price : {l.open, l.high, l.low, l.close})
    if (price < 0 || price > WideMaxPrice) return false;
  return l.change >= -WideMaxPrice && l.change <= WideMaxPrice && std::isfinite(l.volume) &&
         l.volume >= 0 && l.volume <= static_cast<double>(WideMaxVolume) &&
         l.date >= WideFirstDate && l.date <= WideLastDate && marketdb::isValidCode(l.code) &&
         std::strlen(l.name) >= 1 && std::strlen(l.name) <= 14;
}

bool same(const dbprogram::WideDailyLine& x, const dbprogram::WideDailyLine& y) {
  return std::memcmp(x.name, y.name, sizeof x.name) == 0 && x.open == y.open &&
         x.high == y.high && x.low == y.low && x.close == y.close && x.change == y.change &&
         std::memcmp(&x.volume, &y.volume, sizeof x.volume) == 0 && x.date == y.date &&
         x.market == y.market && x.code == y.code;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  dbprogram::WideDailyReader whole(text, "W240105");
  if (size == 0) return 0;  // fmemopen takes no empty buffer
  FILE* f = ::fmemopen(const_cast<std::uint8_t*>(data), size, "r");
  if (f == nullptr) return 0;
  dbprogram::WideDailyStreamReader stream(f, "W240105");
  dbprogram::WideDailyLine a, b;
  for (int lines = 0;; ++lines) {
    const dbprogram::WideDailyRead w = whole.next(a);
    if (stream.next(b) != w || stream.lineNumber() != whole.lineNumber()) __builtin_trap();
    if (w == dbprogram::WideDailyRead::Refused) {
      if (whole.message().empty() || whole.message() != stream.message() ||
          whole.lineNumber() < 1)
        __builtin_trap();
      break;
    }
    if (w == dbprogram::WideDailyRead::End) break;
    if (!sound(a) || !same(a, b)) __builtin_trap();
    if (lines > static_cast<int>(size)) __builtin_trap();  // every line takes a byte at least
  }
  std::fclose(f);
  return 0;
}
