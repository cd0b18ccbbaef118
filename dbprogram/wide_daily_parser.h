// Reading daily price files of the extended form, the form that carries codes with letters,
// prices above 32,767 yen, volumes beyond float's exact range and full dates. Its first line is
//   #PELWIDE DAILY 1
// and every following line is one stock's day:
//   "name",open,high,low,close,change,volume,yyyymmdd,market,CODE5
// The name is up to 14 bytes of CP932 text between two one-byte marks, as in the classic form.
// The numbers are plain decimals (an optional minus sign, digits, an optional fraction) read
// exactly, never through float: prices and the change are truncated toward zero, the volume is
// kept with its fraction. The code is four characters or the five-character form ending in 0.
// Blanks around the fields are allowed.
//
// Unlike the classic form, this form is read line by line with no guessing: a line that is not
// exactly this shape, a value outside its range, a code that breaks the code rules or a date
// that is not a real day refuses the whole file, with a message naming the file and the line.
// Blank lines are passed over; a line may end in CR LF. What a sound line means for the
// database (its date later than the last one stored, markets below 801 passed over) is for the
// store to decide.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "dbprogram/daily_parser.h"
#include "marketdb/stock_code.h"

namespace dbprogram {

constexpr int WideDailyVersion = 1;  // the newest version of the form this program reads

// The ranges a line's values must lie in (after truncation for the prices and the change).
constexpr std::int64_t WideMaxPrice = 99'999'999;
constexpr std::int64_t WideMaxVolume = 1'000'000'000'000'000;  // 10^15 shares
constexpr std::int32_t WideFirstDate = 19000101;
constexpr std::int32_t WideLastDate = 20991231;

// Whether a daily file is of the extended form, told from its beginning (at least the first
// line, or the whole file when it is shorter): the first line starts with the word #PELWIDE.
// Such a file goes to WideDailyReader, which refuses a first line of another version or kind.
bool isWideDailyText(std::string_view start);

struct WideDailyLine {
  char name[15] = {};  // the name's bytes (1..14), NUL-terminated
  std::int64_t open = 0, high = 0, low = 0, close = 0, change = 0;  // yen
  double volume = 0;                                                // shares
  std::int32_t date = 0;                                            // yyyymmdd
  std::int64_t market = 0;
  marketdb::StockCode code = marketdb::NoStockCode;
};

enum class WideDailyRead {
  Line,
  End,
  Refused,  // message() says why; every later read is refused too
};

// Reads a whole file held in memory. `fileName` (CP932) names the file in the messages.
class WideDailyReader {
 public:
  WideDailyReader(std::string_view text, std::string fileName)
      : text_(text), fileName_(std::move(fileName)) {}
  WideDailyRead next(WideDailyLine& line);
  // The line (1-based) last read or refused.
  int lineNumber() const { return line_; }
  // Why the file was refused (CP932), naming the file and the line.
  const std::string& message() const { return message_; }

 private:
  std::string_view text_;
  std::string fileName_;
  std::size_t pos_ = 0;
  int line_ = 0;
  bool refused_ = false;
  std::string message_;
};

// Reads a file as a stream with bounded memory, line by line, with exactly the outcome of
// WideDailyReader on the whole text. A line longer than MaxDailyLineBytes is refused as soon
// as it is met, so a file without line feeds is never held whole.
class WideDailyStreamReader {
 public:
  WideDailyStreamReader(std::FILE* f, std::string fileName)
      : f_(f), fileName_(std::move(fileName)) {}
  WideDailyRead next(WideDailyLine& line);
  int lineNumber() const { return line_; }
  const std::string& message() const { return message_; }
  bool readError() const { return error_; }

 private:
  std::FILE* f_;
  std::string fileName_;
  std::string buf_;
  std::size_t pos_ = 0;
  int line_ = 0;
  bool eof_ = false;
  bool error_ = false;
  bool refused_ = false;
  std::string message_;
};

}  // namespace dbprogram
