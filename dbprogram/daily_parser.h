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
#include <string>
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

enum class DailyRead {
  Line,
  End,
  Malformed,
  TooLong,  // a line of the file is longer than a daily line can be (DailyStreamReader)
};

// The longest line (between two line feeds) a daily file may hold. A day's line of the
// importer takes under 160 bytes; anything near this bound is not a daily file.
constexpr std::size_t MaxDailyLineBytes = 1024;

// The plain reading: one fscanf call on the stream.
DailyRead readDailyFields(std::FILE* f, DailyFields& fields);

class DailyReader {
 public:
  explicit DailyReader(std::string_view text) : text_(text) {}
  DailyRead next(DailyFields& fields);
  std::size_t position() const { return pos_; }  // where the next read starts

 private:
  DailyRead throughStream(DailyFields& fields);

  std::string_view text_;
  std::size_t pos_ = 0;
};

// Reads a daily file as a stream with bounded memory: the file is taken in chunks, and every
// line is read as DailyReader reads it from the whole text. A line longer than
// MaxDailyLineBytes ends the reading at once (TooLong), as does a read error (Malformed, with
// readError() set).
class DailyStreamReader {
 public:
  explicit DailyStreamReader(std::FILE* f) : f_(f) {}
  DailyRead next(DailyFields& fields);
  // The line (1-based) where the last line read began, or the line that was too long.
  int lineNumber() const { return tooLong_ ? longLine_ : lineStart_; }
  bool readError() const { return error_; }

 private:
  // Reads until `want` bytes from pos_ are held or the file has ended; false on a line that
  // is too long.
  bool fill(std::size_t want);

  std::FILE* f_;
  std::string buf_;
  std::size_t pos_ = 0;
  std::size_t scanned_ = 0;  // bytes of buf_ checked for line length
  std::size_t run_ = 0;      // bytes since the last line feed, up to scanned_
  int line_ = 1;             // the line at pos_
  int scanLine_ = 1;         // the line at scanned_
  int longLine_ = 0;
  int lineStart_ = 1;
  bool eof_ = false;
  bool error_ = false;
  bool tooLong_ = false;
};

}  // namespace dbprogram
