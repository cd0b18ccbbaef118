// Turning per-stock CSV price files (the common download layout: a header line, then
// Date,Open,High,Low,Close,Volume per day) into daily price files W<yymmdd> / N<yymmdd> that the
// store takes. Pure functions over texts; the batch command reads and writes the files.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace dbprogram {

// A line that was left out, or a file that cannot be used (line 0).
struct ImportProblem {
  std::string file;
  int line = 0;
  std::string reason;
};

// One day of one stock as read.
struct CsvPriceRow {
  int code = 0;       // 1000..9999
  int fullDate = 0;   // yyyymmdd, 1946..2045
  int open = 0, high = 0, low = 0, close = 0;  // whole yen, 0..32767
  double volume = 0;  // whole shares
  int source = 0;     // index of the file it came from (for reports)
  int line = 0;       // its line number there
};

// The stock code a file is named by: 4 digits 1000..9999 at the start of the name (without its
// folders), followed by nothing or by a character that is not a digit ("7203.csv",
// "7203.T.csv"); 0 when the name does not start so.
int codeFromFileName(const std::string& path);

// Reads one CSV file's text. `fileCode` is the code the file is named by (0: none), used when the
// header has no code column. Returns false when the file cannot be used at all (its header
// lacks a column, or there is no code for its rows): one problem with line 0 says why and no
// row is added. Lines that cannot be read are reported and left out.
bool parsePriceCsv(const std::string& text, const std::string& fileName, int fileCode, int source,
                   std::vector<CsvPriceRow>& rows, std::vector<ImportProblem>& problems);

// A stock's label in the daily files.
struct StockLabel {
  std::string name;  // exactly 14 bytes of CP932, no ASCII white space
  int market = 0;    // 0: the default market of the kind
};

// The name list: one "code,name[,market]" per line, CP932 or UTF-8 (a header line is allowed).
// Names become CP932 of exactly 14 bytes; the market code, when given, is one of 801, 802,
// 811..814. Bad lines are reported and left out; the first line of a code counts.
std::map<int, StockLabel> parseNameList(const std::string& text, const std::string& fileName,
                                        std::vector<ImportProblem>& problems);

// A CP932 name made fit for the daily file: white space and control characters become
// full-width blanks, cut to 14 bytes at a character boundary, padded with full-width blanks
// (and one '_' for an odd byte).
std::string fitName(const std::string& cp932);

struct DailyPriceFile {
  std::string name;      // W240104
  std::string contents;  // one line per stock, ascending by code
  int fullDate = 0;
  int stocks = 0;
};

// Groups the rows into one daily file per trading date, ascending. The change from the previous
// close is taken against the stock's previous row (0 on its first). A second row of a stock for
// the same date is reported and left out. Only dates after `afterFullDate` (yyyymmdd, 0 for all)
// are written, the earlier rows still giving the previous close.
std::vector<DailyPriceFile> buildDailyFiles(std::vector<CsvPriceRow> rows,
                                            const std::map<int, StockLabel>& labels, char kind,
                                            int afterFullDate,
                                            const std::vector<std::string>& sourceNames,
                                            std::vector<ImportProblem>& problems);

// yymmdd of the database (1946..2045 window) as yyyymmdd; 0 stays 0.
int fullDateOf(int yymmdd);

}  // namespace dbprogram
