// The analysis of every stock at the latest stored day and the ranking files it writes.
//
// analyseStock computes one stock's RankingRow from its 640-day history; it draws nothing and
// touches no file. runAnalysis makes the two passes (market group 1, then group 2) over the
// database files of the working directory and writes ranking.dat and ranking2.dat; what it has
// to say goes through an AnalysisReporter, so the window and the batch command show the same
// run in their own way.
#pragma once

#include <string>
#include <vector>

#include "dbprogram/ranking_row.h"
#include "marketdb/files.h"
#include "marketdb/layout.h"

namespace dbprogram {

// Rows of one market group of a classic database, not counting the end marker of the row
// array; a wide database holds one per record slot (marketdb::rankingRowLimit).
constexpr int MaxGroupStocks = MaxRankingRows - 1;

constexpr const char* RankingFileName1 = "ranking.dat";
constexpr const char* RankingFileName2 = "ranking2.dat";
inline const char* rankingFileName(int group) {
  return group == 2 ? RankingFileName2 : RankingFileName1;
}
// "東証１部（店頭）" or "東証２部（大証外国）" (CP932).
const std::string& groupLabel(int group);

// The periods and weights the analysis uses.
struct AnalysisSettings {
  int rciPeriod[3] = {13, 22, 32};  // items 29, 30, 31
  int rciWeight[3] = {20, 15, 10};  // items 53, 54, 55
  int maPeriod2 = 25;               // item 21 (also WVR and both 篠原 ratios)
  int maPeriod3 = 75;               // item 22
  int maWeight2 = 40;               // item 51
  int maWeight3 = 30;               // item 52
  int psychoPeriod = 12;            // item 32 (RSI uses it plus 2)
  int psychoWeight = 10;            // item 50
  int rsiWeight = 10;               // item 56
  int wvrWeight = 30;               // item 57
  int shinoharaAWeight = 15;        // item 58
  int shinoharaBWeight = 20;        // item 59

  static AnalysisSettings from(const marketdb::SystemFile& sys, const marketdb::SettingsFile& win);
};

// True when the stock was stored on the latest day: the date of its slot storePosition is
// lastStoreDate (yyyymmdd).
bool storedOnLatestDay(const marketdb::StockHistory& history, int storePosition,
                       std::int32_t lastStoreDate);

// Fills every value of `row` but code, record slot and name from the history. storePosition
// must be 0..639; comparisonDate is yyyymmdd, 0 for no comparison.
void analyseStock(const marketdb::StockHistory& history, int storePosition,
                  std::int32_t comparisonDate, const AnalysisSettings& settings, RankingRow& row);

// Ranking file texts (CP932), in the form of the database of `layout` (the code and date
// columns of marketdb/exchange_text.h).
// With its two line feeds; the dates (yyyymmdd) as the database's files show dates.
std::string rankingTitle(std::int32_t comparisonDate, std::int32_t lastStoreDate,
                         const marketdb::DatabaseLayout& layout = marketdb::openLayout());
const std::string& rankingHeader();                                   // with its two line feeds
std::string rankingLine(int rank, int reverseRank, const RankingRow& row,
                        const marketdb::DatabaseLayout& layout = marketdb::openLayout());
// rankingLine's text appended to `out`, formatted without the C library (the same bytes).
void appendRankingLine(std::string& out, int rank, int reverseRank, const RankingRow& row,
                       const marketdb::DatabaseLayout& layout = marketdb::openLayout());
void appendRankingLine(marketdb::LargeText& out, int rank, int reverseRank, const RankingRow& row,
                       const marketdb::DatabaseLayout& layout = marketdb::openLayout());
std::string rankingFileText(const std::string& title, const std::string& header,
                            const RankingRow* rows, int count,
                            const marketdb::DatabaseLayout& layout = marketdb::openLayout());

// Reading a ranking file back. The title and the header are each a line with the empty line
// after it, found by their line feeds and kept byte for byte. A row line that does not hold
// all thirteen values, or whose code column is no code of the layout, is passed over; rows
// beyond the layout's rankingRowLimit are left out.
struct RankingFileContents {
  std::string title;
  std::string header;
  std::vector<RankingRow> rows;
  int skippedLines = 0;  // malformed row lines
  int droppedRows = 0;   // rows beyond the row limit
};
RankingFileContents parseRankingFile(
    const std::string& text, const marketdb::DatabaseLayout& layout = marketdb::openLayout());
bool parseRankingLine(const std::string& line, RankingRow& row,
                      const marketdb::DatabaseLayout& layout = marketdb::openLayout());
// A value of one decimal as written to the file, back in tenths: trunc(value x 10.001).
int rankingValueFromFile(float value);
// Sorts by the column of a digit key: 0 code ascending, 1..9 終値 .. 指定 descending.
void sortRankingRows(RankingRow* rows, int count, int digit);

// What a run reports while it goes.
class AnalysisReporter {
 public:
  virtual ~AnalysisReporter() = default;
  virtual void started() {}
  // After each stock analysed: its number in the list and the list's current length.
  virtual void progress(int group, int number, int listLength) = 0;
  // The pass of a group is over and its ranking file written.
  virtual void groupDone(int /*group*/, int /*number*/, int /*listLength*/) {}
  // A file failure (message box text and caption, CP932).
  virtual void fileMessage(const std::string& text, const std::string& caption) = 0;
  // A refusal or warning shown as a red line (CP932).
  virtual void warning(const std::string& text) = 0;
  // "分析終了しました。"
  virtual void finished(const std::string& text) = 0;
  // The run waits for a change of the database to end (CP932); said once, after a moment.
  virtual void waiting(const std::string& text) { warning(text); }
  // A journal left by an interrupted change was set aside or only partly written back (CP932).
  virtual void recovered(const std::string& text) { warning(text); }
};

enum class AnalysisResult {
  Completed,     // both ranking files written
  Failed,        // a failure ended the run early (reported); the end message was shown
  NoSystemFile,  // pelinoru.sys missing: nothing done, no end message
  Refused,       // the comparison date is no calendar date: nothing read or written
};

struct AnalysisOutcome {
  AnalysisResult result = AnalysisResult::Completed;
  bool settingsMissing = false;  // pelinoru.win missing: the weights in memory were used
  bool truncated = false;        // a group had more stocks than the row array holds
  bool writeFailed = false;      // a ranking file could not be written
};

// The whole run. sys and win are the in-memory images: they are read from the files (win lines
// 1 to 4 only) and keep what the files did not supply.
//
// The stocks are analysed first, on `workers` threads (0: two when the machine has two cores
// or more and the database is not small, else one) that take chunks of stocks in turn and each
// write only the results of their own stocks; the passes then take the results in the order of
// the index, so the files and every report are the same whatever the number of workers.
// comparisonDate is the number the user typed (yymmdd, on a wide database yyyymmdd; 0 for no
// comparison).
AnalysisOutcome runAnalysis(double comparisonDate, marketdb::SystemFile& sys,
                            marketdb::SettingsFile& win, AnalysisReporter& reporter,
                            int workers = 0);

}  // namespace dbprogram
