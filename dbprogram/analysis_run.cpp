// The analysis run over both market groups and the ranking file texts.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <span>
#include <system_error>
#include <thread>

#include "dbprogram/analysis.h"
#include "dbprogram/analysis_days.h"
#include "marketdb/block_reader.h"
#include "marketdb/index_check.h"
#include "marketdb/text_scan.h"
#include "platform/text/cp932.h"

namespace dbprogram {
namespace {

using pelinor::text::format;

struct Candidate {
  float code = 0;
  int recordSlot = 0;
  int section = 0;
  char name[7] = {};
};

bool inGroup(int section, int group) { return group == 1 ? section < 3 : section > 2; }

// The stocks of pelinoru.idx, in file order. A line that does not hold all six values is passed
// over.
bool readCandidates(std::vector<Candidate>& out) {
  std::ifstream in(marketdb::IndexFileName, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    int deleted = 0;
    int section = 0;
    float code = 0;
    char name[15] = {};
    int slot = 0;
    int watched = 0;
    // sscanf(line, "%d %d %f %14s %d %d") without its per-call cost.
    marketdb::TextScanner scan(line);
    if (scan.indexLine(deleted, section, code, name, slot, watched) != 6 ||
        !std::isfinite(code))
      continue;
    Candidate c;
    c.code = code;
    c.recordSlot = slot;
    c.section = section;
    std::memcpy(c.name, name, 6);  // the first six bytes, even inside a double-byte character
    c.name[6] = '\0';
    out.push_back(c);
  }
  return true;
}

bool codeOrder(const RankingRow& a, const RankingRow& b) { return fnc1(a, b) < 0; }

// One stock of the index analysed: whether it was stored on the latest day, and its row.
struct StockResult {
  bool stored = false;
  RankingRow row;
};

// A stock to analyse: its record slot and its place in the index.
struct Job {
  int slot = 0;
  int stock = 0;
};

struct RunValues {
  int latest = 0;
  float lastStoreDate = 0;
  float comparisonDate = 0;
  AnalysisSettings settings;
};

// Blocks read at once: 92 KB, which stays in the cache until its stocks are analysed (larger
// reads were measured slower, smaller ones no faster).
constexpr int ReadBlocks = 8;
// Below this many stocks a second thread costs more than it saves.
constexpr std::size_t StocksPerWorker = 256;

// Analyses the jobs (in ascending slot order) into results[job.stock]. A job's block is read
// together with the blocks of the jobs after it that fall within ReadBlocks slots, so a
// database read in slot order takes one read per ReadBlocks stocks.
void analyseJobs(const marketdb::BlockReader& prices, std::span<const Job> jobs,
                 const std::vector<Candidate>& stocks, const RunValues& values,
                 StockResult* results) {
  using marketdb::HistoryBlockBytes;
  auto days = std::make_unique<StockDays>();
  std::vector<unsigned char> buffer(static_cast<std::size_t>(ReadBlocks) * HistoryBlockBytes);
  long long first = -1;  // slot of the first block in the buffer
  long long blocks = 0;  // blocks asked for
  std::size_t held = 0;  // bytes the file gave
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const int slot = jobs[i].slot;
    int dayCount = 0;
    std::size_t offset = 0;
    if (slot >= 0) {
      if (first < 0 || slot < first || slot >= first + blocks) {
        long long last = slot;
        for (std::size_t j = i + 1;
             j < jobs.size() && jobs[j].slot < static_cast<long long>(slot) + ReadBlocks; ++j)
          last = jobs[j].slot;
        first = slot;
        blocks = last - slot + 1;
        held = prices.readBlocks(slot, static_cast<int>(blocks), buffer.data());
      }
      offset = static_cast<std::size_t>(slot - first) * HistoryBlockBytes;
      // A block the file does not hold, or holds in part, reads as empty days from where it
      // ends: such a stock was not stored.
      if (held > offset)
        dayCount = static_cast<int>(std::min<std::size_t>(held - offset, HistoryBlockBytes) /
                                    marketdb::DayRecordBytes);
    }
    days->decodeBlock(buffer.data() + offset, dayCount);
    StockResult& result = results[jobs[i].stock];
    result.stored = days->storedOn(values.latest, values.lastStoreDate);
    if (!result.stored) continue;
    const Candidate& c = stocks[static_cast<std::size_t>(jobs[i].stock)];
    RankingRow& row = result.row;
    row.code = c.code;
    row.recordSlot = c.recordSlot;
    std::memcpy(row.name, c.name, sizeof row.name);
    days->analyse(values.latest, values.comparisonDate, values.settings, row);
  }
}

// Every stock of the index analysed, on up to `workers` threads (0: chosen here). The jobs go
// in slot order, cut into one run of neighbouring slots per worker; each worker has its own
// days and buffer and writes only the results of its own stocks.
std::vector<StockResult> analyseAll(const marketdb::BlockReader& prices,
                                    const std::vector<Candidate>& stocks, const RunValues& values,
                                    int workers) {
  std::vector<Job> jobs(stocks.size());
  for (std::size_t i = 0; i < stocks.size(); ++i)
    jobs[i] = Job{stocks[i].recordSlot, static_cast<int>(i)};
  std::stable_sort(jobs.begin(), jobs.end(),
                   [](const Job& a, const Job& b) { return a.slot < b.slot; });
  std::vector<StockResult> results(stocks.size());

  if (workers <= 0)
    workers = std::thread::hardware_concurrency() >= 2 && jobs.size() >= 2 * StocksPerWorker
                  ? 2
                  : 1;
  workers = static_cast<int>(std::clamp<std::size_t>(static_cast<std::size_t>(workers), 1,
                                                     std::max<std::size_t>(jobs.size(), 1)));
  const std::span<const Job> all(jobs);
  auto share = [&](int w) {
    const std::size_t begin = all.size() * static_cast<std::size_t>(w) / workers;
    const std::size_t end = all.size() * static_cast<std::size_t>(w + 1) / workers;
    return all.subspan(begin, end - begin);
  };
  std::vector<std::thread> threads;
  int started = 1;  // share 0 is the calling thread's
  for (; started < workers; ++started) {
    try {
      threads.emplace_back(analyseJobs, std::cref(prices), share(started), std::cref(stocks),
                           std::cref(values), results.data());
    } catch (const std::system_error&) {
      break;  // no thread to be had: the calling thread does the rest
    }
  }
  analyseJobs(prices, share(0), stocks, values, results.data());
  for (int w = started; w < workers; ++w)
    analyseJobs(prices, share(w), stocks, values, results.data());
  for (std::thread& t : threads) t.join();
  return results;
}

}  // namespace

const std::string& groupLabel(int group) {
  return group == 2 ? SJ("東証２部（大証外国）") : SJ("東証１部（店頭）");
}

std::string rankingTitle(float comparisonDate, float lastStoreDate) {
  return format(SJ("［ペリノ改Ｃ］ 指定は%06gと%06g本日比較\n\n").c_str(),
                static_cast<double>(comparisonDate), static_cast<double>(lastStoreDate));
}

const std::string& rankingHeader() {
  return SJ("順位 逆位 ｺｰﾄﾞ 銘柄名  終値  上率  出変  RCI3  ｶｲﾘ2  sｻｲﾝ  戻率  ﾚﾝｼﾞ  指定\n\n");
}

std::string rankingLine(int rank, int reverseRank, const RankingRow& row) {
  char name[7] = {};
  std::memcpy(name, row.name, 6);
  return format("%4d %4d %4g %6s %5d%6.1f%6.1f%6.1f%6.1f %6.1f%6.1f%6.1f%6.1f\n", rank, reverseRank,
                static_cast<double>(row.code), name, row.close, row.riseRate / 10.0,
                row.volumeChange / 10.0, row.rci3 / 10.0, row.deviation2 / 10.0,
                static_cast<double>(row.sign), row.rebound / 10.0, row.range / 10.0,
                row.sinceDate / 10.0);
}

std::string rankingFileText(const std::string& title, const std::string& header,
                            const RankingRow* rows, int count) {
  std::string text = title + header;
  text.reserve(text.size() + static_cast<std::size_t>(std::max(count, 0)) * 80);
  for (int i = 0; i < count; ++i) appendRankingLine(text, i + 1, count - i, rows[i]);
  return text;
}

AnalysisOutcome runAnalysis(float comparisonDate, marketdb::SystemFile& sys,
                            marketdb::SettingsFile& win, AnalysisReporter& reporter,
                            int workers) {
  using marketdb::FileStatus;
  AnalysisOutcome outcome;
  reporter.started();
  if (marketdb::readSystemFile(sys) == FileStatus::Missing) {
    reporter.fileMessage(marketdb::missingFileMessage(marketdb::SystemFileName),
                         marketdb::fileCaption());
    outcome.result = AnalysisResult::NoSystemFile;
    return outcome;
  }
  if (marketdb::readSettingsFile(win, 4) == FileStatus::Missing) {
    reporter.fileMessage(marketdb::missingFileMessage(marketdb::SettingsFileName),
                         marketdb::fileCaption());
    outcome.settingsMissing = true;
  }
  const AnalysisSettings settings = AnalysisSettings::from(sys, win);
  const int latest = sys.storePosition;
  if (latest < 0 || latest >= marketdb::HistoryDays) {
    reporter.warning(format(SJ("pelinoru.sys の格納位置 %d が範囲外のため分析できません").c_str(),
                            latest));
    outcome.result = AnalysisResult::Failed;
    return outcome;
  }
  // A damaged index would leave stocks out, or read other stocks' blocks, without a word.
  if (const marketdb::IndexCheck index = marketdb::checkIndexFile(); !index.ok) {
    reporter.warning(index.message);
    outcome.result = AnalysisResult::Failed;
    return outcome;
  }

  // pelinoru.idx is read once; each pass takes the stocks of its group from it.
  std::vector<Candidate> stocks;
  if (!readCandidates(stocks)) {
    reporter.fileMessage(marketdb::missingFileMessage(marketdb::IndexFileName),
                         marketdb::fileCaption());
    outcome.result = AnalysisResult::Failed;
  }
  // pelinoru.dat is read once: every stock is analysed before the passes.
  marketdb::BlockReader prices;
  if (outcome.result == AnalysisResult::Completed && !prices.open()) {
    reporter.fileMessage(marketdb::missingFileMessage(marketdb::PriceFileName),
                         marketdb::fileCaption());
    outcome.result = AnalysisResult::Failed;
  }
  std::vector<StockResult> results;
  if (outcome.result == AnalysisResult::Completed)
    results = analyseAll(prices, stocks, RunValues{latest, sys.lastStoreDate, comparisonDate, settings},
                         workers);
  for (int group = 1; group <= 2 && outcome.result == AnalysisResult::Completed; ++group) {
    int listLength = 0;
    for (const Candidate& c : stocks)
      if (inGroup(c.section, group)) ++listLength;

    std::vector<RankingRow> rows;
    rows.reserve(std::min<std::size_t>(static_cast<std::size_t>(listLength), MaxGroupStocks));
    bool truncated = false;
    for (std::size_t i = 0; i < stocks.size(); ++i) {
      if (!inGroup(stocks[i].section, group)) continue;
      if (static_cast<int>(rows.size()) == MaxGroupStocks) {
        truncated = true;
        break;
      }
      if (!results[i].stored) {
        --listLength;
        continue;
      }
      rows.push_back(results[i].row);
      reporter.progress(group, static_cast<int>(rows.size()), listLength);
    }

    std::stable_sort(rows.begin(), rows.end(), codeOrder);
    const std::string text =
        rankingFileText(rankingTitle(comparisonDate, sys.lastStoreDate), rankingHeader(),
                        rows.data(), static_cast<int>(rows.size()));
    if (!marketdb::replaceFileAtomically(rankingFileName(group), text)) {
      reporter.fileMessage(std::string(rankingFileName(group)) + SJ(" がOPENできません"),
                           SJ("ﾌｧｲﾙ状況"));
      outcome.result = AnalysisResult::Failed;
      outcome.writeFailed = true;
      break;
    }
    if (truncated) {
      outcome.truncated = true;
      reporter.warning(groupLabel(group) +
                       format(SJ("の銘柄数が%dを超えたため、先頭の%d銘柄だけ分析しました").c_str(),
                              MaxGroupStocks, MaxGroupStocks));
    }
    reporter.groupDone(group, static_cast<int>(rows.size()), listLength);
  }
  reporter.finished(SJ("分析終了しました。"));
  return outcome;
}

}  // namespace dbprogram
