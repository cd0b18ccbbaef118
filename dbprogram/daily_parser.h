// Reading the lines of a daily price file with the line format
//   "%1s%14s%1s,%f,%f,%f,%f,%f,%f,%f,%f,%f"
// exactly as the C library's fscanf reads a stream with it: white space between lines is free,
// a read that converts nothing at the end of the text ends it, any other short read is a
// malformed line.
//
// DailyReader works on the whole file in memory. Lines of the common shape (plain decimal
// numbers, each followed by its comma) are converted directly; anything else is read by fscanf
// itself, on a memory stream from the same place, so every line converts to the same values and
// leaves the same place for the next read as the plain stream reading (readDailyFields) does.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

namespace dbprogram {

// One read's targets. They live across reads: a partial read leaves the fields it did not
// reach as the previous read left them.
struct DailyFields {
  char openMark[2] = {};
  char name[15] = {};
  char closeMark[2] = {};
  float open = 0, high = 0, low = 0, close = 0, change = 0, volume = 0, date = 0, market = 0,
        code10 = 0;
};

enum class DailyRead { Line, End, Malformed };

// The plain reading: one fscanf call on the stream.
DailyRead readDailyFields(std::FILE* f, DailyFields& fields);

class DailyReader {
 public:
  explicit DailyReader(std::string_view text) : text_(text) {}
  DailyRead next(DailyFields& fields);

 private:
  DailyRead throughStream(DailyFields& fields);

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace dbprogram
