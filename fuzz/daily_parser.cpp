// The daily file's line reader alone, thousands of inputs a second: the stream reader (as the
// store reads a file) must convert exactly the lines that the reader of the whole text
// converts, with the same values, until a line too long for a daily file ends it.
#include <stdio.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "dbprogram/daily_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  dbprogram::DailyReader whole(text);
  FILE* f = ::fmemopen(const_cast<std::uint8_t*>(data), size, "r");
  if (size == 0 || f == nullptr) {
    if (f) std::fclose(f);
    return 0;
  }
  dbprogram::DailyStreamReader stream(f);
  const auto same = [](const dbprogram::DailyFields& x, const dbprogram::DailyFields& y) {
    const float fx[] = {x.open, x.high, x.low, x.close, x.change, x.volume, x.date, x.market,
                        x.code10};
    const float fy[] = {y.open, y.high, y.low, y.close, y.change, y.volume, y.date, y.market,
                        y.code10};
    return std::memcmp(x.openMark, y.openMark, sizeof x.openMark) == 0 &&
           std::memcmp(x.name, y.name, sizeof x.name) == 0 &&
           std::memcmp(x.closeMark, y.closeMark, sizeof x.closeMark) == 0 &&
           std::memcmp(fx, fy, sizeof fx) == 0;
  };
  dbprogram::DailyFields a, b;
  for (int lines = 0;; ++lines) {
    const dbprogram::DailyRead s = stream.next(b);
    if (s == dbprogram::DailyRead::TooLong) break;
    const dbprogram::DailyRead w = whole.next(a);
    if (s != w) __builtin_trap();
    if (s != dbprogram::DailyRead::Line) break;
    if (!same(a, b)) __builtin_trap();
    if (lines > static_cast<int>(size)) __builtin_trap();  // every line takes a byte at least
  }
  std::fclose(f);
  return 0;
}
