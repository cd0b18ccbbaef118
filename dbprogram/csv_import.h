// Turning per-stock CSV price files (the common download layouts: a header line naming the
// columns Date, Open, High, Low, Close and Volume, in any order and among others, then one line
// per day) into daily price files W<yymmdd> / N<yymmdd> that the store takes. Pure functions over
// texts and lines; the batch command reads and writes the files.
//
// Sources are read line by line (PriceCsvReader), so a file is never held whole; a line longer
// than MaxCsvLineBytes is reported and passed over. Stocks the database cannot hold (for a
// classic one a code with letters, prices above 32767 yen; more stocks than the table takes)
// are left out whole and reported together before anything is written, never line by line.
//
// For a wide database the daily files are of the extended form (a first line
// "#PELWIDE DAILY 1", full dates and the five-character code): codes with letters and prices up
// to 99,999,999 yen are taken, and a code that breaks the code rules is a bad line.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "marketdb/stock_code.h"

namespace dbprogram {

// A line that was left out, or a file that cannot be used (line 0).
struct ImportProblem {
  std::string file;
  int line = 0;
  std::string reason;
};

// The longest line a source may hold; the longest real price line is far below it.
constexpr std::size_t MaxCsvLineBytes = 4096;
// The largest volume a daily file takes (a day record holds it as a float).
constexpr double MaxCsvVolume = 1e15;
// Stocks the classic stock table holds.
constexpr int ClassicStockLimit = 3019;
// The highest price a day record of each kind holds.
constexpr int ClassicMaxCsvPrice = 32767;
constexpr int WideMaxCsvPrice = 99'999'999;

// A stock code as sources write it: "7203", "7203.T", "7203.JP", "72030" (the exchange's five
// characters, ending in 0), and codes with letters ("130A", "130A0", "130A.JP").
struct SourceCode {
  int number = 0;       // 1000..9999 for a code of digits
  std::string letters;  // "130A" for a code with letters, which the classic database cannot hold
  bool valid() const { return number != 0 || !letters.empty(); }
  std::string text() const { return number ? std::to_string(number) : letters; }
  // The code in memory: NoStockCode for letters that break the code rules ("13A0", "130B").
  marketdb::StockCode key() const;
};
SourceCode parseStockCode(std::string_view s);

// The stock code a file is named by: the part of its name (without its folders) before the
// first '.' or '_' ("7203.csv", "7203.T.csv", "7203.jp.txt", "9999_daily.csv", "130A.jp.txt");
// no code when that part is not one.
SourceCode codeFromFileName(const std::string& path);

// One day of one stock as read, kept small: a whole market is held in memory at once.
struct CsvPriceRow {
  std::int32_t fullDate = 0;  // yyyymmdd, 1946..2045 (wide: 1900..2099)
  std::int32_t source = 0;    // index of the file it came from (for reports)
  std::int32_t line = 0;      // its line number there
  marketdb::StockCode code = marketdb::NoStockCode;
  std::int32_t open = 0, high = 0, low = 0, close = 0;  // whole yen, 1..the kind's highest price
  std::int32_t change = 0;  // from the previous close, set by planImport
  double volume = 0;        // whole shares
};
using PriceRows = std::deque<CsvPriceRow>;

// What the reading found beside its rows.
struct ImportTally {
  std::map<std::string, int> lettered;  // codes with letters -> lines (classic only)
  std::map<marketdb::StockCode, int> aboveRange;  // code -> new days with a price too high
  // code -> the newest day up to the stored days (yyyymmdd, close): the previous close of the
  // first day written.
  std::map<marketdb::StockCode, std::pair<int, int>> priorClose;
};

// Reads one source line by line. Days up to `afterFullDate` (yyyymmdd, 0: none) are not kept as
// rows; only the newest one's close is, in the tally.
class PriceCsvReader {
 public:
  // `wide`: rows for a wide database (codes with letters, higher prices, dates 1900..2099).
  PriceCsvReader(std::string fileName, SourceCode fileCode, int source, int afterFullDate,
                 bool wide = false)
      : fileName_(std::move(fileName)), fileCode_(std::move(fileCode)), source_(source),
        after_(afterFullDate), wide_(wide) {}
  // One line without its line end; `tooLong`: the line was longer than MaxCsvLineBytes and
  // `text` holds only its start. Returns false once the file is known to be unusable (one
  // problem with line 0 says why); later lines are then ignored.
  bool line(std::string_view text, int lineNo, bool tooLong, PriceRows& rows, ImportTally& tally,
            std::vector<ImportProblem>& problems);
  // At the end of the file: false when it never had a usable header.
  bool finish(std::vector<ImportProblem>& problems);

 private:
  bool header(std::string_view text, std::vector<ImportProblem>& problems);
  void row(int lineNo, PriceRows& rows, ImportTally& tally, std::vector<ImportProblem>& problems);

  std::string fileName_;
  SourceCode fileCode_;
  int source_ = 0;
  int after_ = 0;
  bool wide_ = false;
  enum class State { Header, Rows, Unusable } state_ = State::Header;
  int column_[7] = {};
  int needed_ = 0;
  std::vector<std::string> fields_;
};

// Splits a stream of bytes into lines (LF or CRLF, a leading UTF-8 byte-order mark removed),
// holding at most MaxCsvLineBytes of a line; `onLine(text, lineNo, tooLong)`.
class BoundedLines {
 public:
  template <class F>
  void feed(std::string_view bytes, F&& onLine) {
    while (!bytes.empty()) {
      const std::size_t end = bytes.find('\n');
      const std::string_view part = bytes.substr(0, end);
      const std::size_t room = MaxCsvLineBytes - line_.size();
      line_.append(part.substr(0, room));
      if (part.size() > room) tooLong_ = true;
      if (end == std::string_view::npos) return;
      emit(onLine);
      bytes.remove_prefix(end + 1);
    }
  }
  template <class F>
  void end(F&& onLine) {
    if (!line_.empty() || tooLong_) emit(onLine);
  }

 private:
  template <class F>
  void emit(F& onLine) {
    ++lineNo_;
    std::string_view text = line_;
    if (lineNo_ == 1 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (!tooLong_ && !text.empty() && text.back() == '\r') text.remove_suffix(1);
    onLine(text, lineNo_, tooLong_);
    line_.clear();
    tooLong_ = false;
  }
  std::string line_;
  bool tooLong_ = false;
  int lineNo_ = 0;
};

// A whole source's text through BoundedLines and PriceCsvReader (for tests and fuzzing).
bool parsePriceCsv(std::string_view text, const std::string& fileName, const SourceCode& fileCode,
                   int source, int afterFullDate, PriceRows& rows, ImportTally& tally,
                   std::vector<ImportProblem>& problems, bool wide = false);

// A stock's label in the daily files.
struct StockLabel {
  std::string name;  // exactly 14 bytes of CP932, no ASCII white space
  int market = 0;    // 0: the default market of the kind
};

// The name list: one "code,name[,market]" per line, CP932 or UTF-8 (a header line is allowed).
// Names become CP932 of exactly 14 bytes; the market code, when given, is one of 801, 802,
// 811..814. Bad lines are reported and left out; the first line of a code counts. Codes with
// letters are passed over for a classic database (no such stock is imported).
using StockLabels = std::map<marketdb::StockCode, StockLabel>;
StockLabels parseNameList(const std::string& text, const std::string& fileName,
                          std::vector<ImportProblem>& problems, bool wide = false);

// The code list: the stocks to import, one code at the start of each line (what follows a
// comma or a blank is ignored, so a name list serves too; a header line is allowed). Returns
// the codes as SourceCode::text() gives them.
std::set<std::string> parseCodeList(const std::string& text, const std::string& fileName,
                                    std::vector<ImportProblem>& problems);

// A CP932 name made fit for the daily file: white space and control characters become
// full-width blanks, cut to 14 bytes at a character boundary, padded with full-width blanks
// (and one '_' for an odd byte).
std::string fitName(const std::string& cp932);

// What goes into the database, and which stocks are left out and why.
struct ImportChoice {
  std::set<marketdb::StockCode> held;       // codes the database holds already
  const std::set<std::string>* chosen = nullptr;  // only these codes (nullptr: every code)
  bool wide = false;                        // for a wide database
  int stockLimit = ClassicStockLimit;       // stocks the database holds at most
};

struct ImportPlan {
  PriceRows rows;  // the days written, by date, then code, each with its change
  struct Day {
    int fullDate = 0;
    std::size_t first = 0;  // its rows
    std::size_t count = 0;
  };
  std::vector<Day> days;
  // Stocks left out, ascending.
  std::vector<std::string> notChosen;  // not in the code list
  std::vector<std::string> lettered;   // codes with letters (classic)
  std::vector<std::string> aboveRange;   // prices above the kind's highest price
  std::vector<std::string> beyondLimit;  // new stocks beyond the choice's stock limit
  int stocks = 0;                      // stocks written
};

// Orders the rows into days. A second row of a stock for the same date is reported and left
// out (the first read counts); the change from the previous close is taken against the stock's
// previous day (its prior close for the first day written, else 0), and a change a day record
// cannot hold leaves that day out, reported. Stocks are left out as the plan's lists say; new
// stocks take the free places of the table in ascending code.
ImportPlan planImport(PriceRows rows, const ImportTally& tally, const ImportChoice& choice,
                      const std::vector<std::string>& sourceNames,
                      std::vector<ImportProblem>& problems);

// W240104 for kind 'W' and 20240104.
std::string dailyFileName(char kind, int fullDate);
// The daily file of one planned day: one line per stock, ascending by code; `wide`: the
// extended form, its first line "#PELWIDE DAILY 1".
std::string dailyFileText(const ImportPlan& plan, const ImportPlan::Day& day,
                          const StockLabels& labels, char kind, bool wide = false);

// yymmdd of the database (1946..2045 window) as yyyymmdd; 0 stays 0.
int fullDateOf(int yymmdd);

}  // namespace dbprogram
