// The analysis run over both market groups and the ranking file texts.
#include <algorithm>
#include <atomic>
#include <barrier>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <future>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <utility>

#include "dbprogram/analysis.h"
#include "dbprogram/analysis_days.h"
#include "marketdb/block_reader.h"
#include "marketdb/bytes.h"
#include "marketdb/exchange_text.h"
#include "marketdb/index_check.h"
#include "marketdb/journal.h"
#include "marketdb/large_block.h"
#include "marketdb/text_scan.h"
#include "marketdb/wide_header.h"
#include "marketdb/wide_index.h"
#include "platform/text/cp932.h"

namespace dbprogram {
namespace {

using pelinor::text::format;

struct Candidate {
  marketdb::StockCode code = marketdb::NoStockCode;
  int recordSlot = 0;
  int section = 0;
  char name[7] = {};
};

bool inGroup(int section, int group) { return group == 1 ? section < 3 : section > 2; }

Candidate candidateOf(marketdb::StockCode code, int slot, int section, const char* name) {
  Candidate c;
  c.code = code;
  c.recordSlot = slot;
  c.section = section;
  std::memcpy(c.name, name, 6);  // the first six bytes, even inside a double-byte character
  c.name[6] = '\0';
  return c;
}

// The stock's code, record slot and name on its ranking row.
void nameRow(RankingRow& row, const Candidate& c) {
  row.code = c.code;
  row.recordSlot = c.recordSlot;
  std::memcpy(row.name, c.name, sizeof row.name);
}

// The stocks of a wide index, in file order, read by its check (which reads the whole file):
// none when it does not pass, and `check` says why. False when the file cannot be opened.
bool readWideCandidates(const marketdb::DatabaseLayout& layout, std::vector<Candidate>& out,
                        marketdb::IndexCheck& check) {
  out.reserve(static_cast<std::size_t>(layout.maxStocks));  // only the stocks' part is touched
  bool found = false;
  check = marketdb::checkWideIndexFile(
      [&out](const marketdb::WideIndexEntry& e) {
        char name[15] = {};
        std::memcpy(name, e.name.data(), std::min<std::size_t>(e.name.size(), 14));
        out.push_back(candidateOf(e.code, e.slot, e.section, name));
      },
      found);
  if (!check.ok) out.clear();
  return found;
}

// The stocks of a classic index, in file order. A line that does not hold all six values is
// passed over.
bool readClassicCandidates(const marketdb::DatabaseLayout& layout, std::vector<Candidate>& out) {
  std::ifstream in(layout.indexFile, std::ios::binary);
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
    // A number that is no code (only a damaged index holds one) gives a row without a code.
    out.push_back(candidateOf(marketdb::codeFromNumber(code), slot, section, name));
  }
  return true;
}

bool codeOrder(const RankingRow& a, const RankingRow& b) { return fnc1(a, b) < 0; }

// One stock of the index analysed: whether it was stored on the latest day, and its row.
struct StockResult {
  bool stored = false;
  RankingRow row;
};

// The results of a run, one per job, made zeroed in a block of their own: 10,000 of them are
// half a megabyte, whose first touch costs a page fault per 4 KiB (see LargeBlock).
class Results {
 public:
  Results() = default;
  explicit Results(std::size_t n)
      : block_(n * sizeof(StockResult)), rows_(marketdb::valuesIn<StockResult>(block_, 0, n)) {}
  StockResult& operator[](std::size_t i) { return rows_[i]; }
  std::size_t size() const { return rows_.size(); }
  StockResult* data() { return rows_.data(); }

 private:
  marketdb::LargeBlock block_;
  std::span<StockResult> rows_;
};

// One group's ranking file as the results give it: its rows in code order and its text, with
// the list's length as the progress said it when each row was taken (before the sort).
struct GroupRanking {
  std::vector<const RankingRow*> rows;
  std::vector<int> lengthAt;
  int listLength = 0;
  bool truncated = false;
  marketdb::LargeText text;
};

// A stock to analyse: its record slot and its place in the index.
struct Job {
  int slot = 0;
  int stock = 0;
};

struct RunValues {
  int latest = 0;
  std::int32_t lastStoreDate = 0;
  std::int32_t comparisonDate = 0;
  AnalysisSettings settings;
};

// How the stocks are read and shared out, per kind of price file.
struct Reading {
  // Blocks read at once. Classic: 92 KB, which stays in the cache until its stocks are analysed
  // (larger reads were measured slower, smaller ones no faster). Wide: a stock's days are spread
  // over the file's 80 tile rows (640 ring rows in a file of the first version), so a read of a
  // run of slots costs that many reads whatever its length; 1,024 stocks (21 MB, one buffer
  // that the workers share) keep that to ten runs on a full database. Runs of 512 were
  // measured 4 to 5 ms slower, of 256 slower again.
  int blocks;
  // Stocks a worker takes at a time: runs of neighbouring slots, few enough that the workers
  // end together; a wide chunk is one read.
  std::size_t chunk;
};
constexpr Reading ClassicReading{8, 64};
constexpr Reading WideReading{1024, 1024};
const Reading& readingOf(const marketdb::DatabaseLayout& layout) {
  return layout.blocksContiguous() ? ClassicReading : WideReading;
}
// Below this many stocks a second thread costs more than it saves.
constexpr std::size_t StocksPerWorker = 256;

// What one worker analyses with, made before it starts (the worker itself allocates nothing).
// A wide run's buffer is read a row apart for each stock, 640 places spread over megabytes: in
// large pages, those places take a few address translations instead of one each, and the
// buffer a few page faults instead of thousands. A classic run's 92 KB come from the heap.
struct Scratch {
  std::unique_ptr<StockDays> days = std::make_unique<StockDays>();
  marketdb::LargeBlock buffer;
  // A wide run's stocks analysed together: the days of each of them (analyseTogether).
  marketdb::LargeBlock groupBlock;
  std::span<StockDays> group;
};

// The job's stock analysed from its days (decoded), into results[job.stock].
void analyseDecoded(StockDays& days, const Job& job, const std::vector<Candidate>* stocks,
                    const RunValues& values, StockResult* results) {
  StockResult& result = results[job.stock];
  result.stored = days.storedOn(values.latest, values.lastStoreDate);
  if (!result.stored) return;
  RankingRow& row = result.row;
  if (stocks != nullptr) nameRow(row, (*stocks)[static_cast<std::size_t>(job.stock)]);
  days.analyse(values.latest, values.comparisonDate, values.settings, row);
}

// One job analysed from the run read into `buffer` from record slot `first` on (its slot is
// not before `first`; a negative slot, a stock without a block, has empty days).
void analyseJob(const marketdb::DatabaseLayout& layout, const unsigned char* buffer,
                const marketdb::DatabaseLayout::RecordRun& run, long long first, const Job& job,
                const std::vector<Candidate>* stocks, const RunValues& values,
                StockResult* results, StockDays& days) {
  int dayCount = 0;
  const unsigned char* at = buffer;
  if (job.slot >= 0) {
    const std::size_t blockBytes = static_cast<std::size_t>(layout.blockBytes());
    const std::size_t k = static_cast<std::size_t>(job.slot - first);
    const std::size_t offset = k * blockBytes;  // of its block, as the file's bytes count
    // A block the file does not hold, or holds in part, reads as empty days from where it
    // ends: such a stock was not stored.
    if (run.held > offset) {
      dayCount = static_cast<int>(std::min(run.held - offset, blockBytes) /
                                  static_cast<std::size_t>(layout.recordBytes));
      at = buffer + k * run.slotStep;
    }
  }
  days.decodeBlock(layout, at, dayCount, run);
  analyseDecoded(days, job, stocks, values, results);
}

// Jobs of neighbouring slots of a wide run (read by readRun into `buffer` from slot `first`
// on) analysed together: their days decoded a row at a time by StockDays::decodeRows into the
// scratch's group, then each analysed. Jobs that are not such a group, or not held whole by
// the run, go one by one as analyseJob takes them; both give the same days.
void analyseTogether(const marketdb::DatabaseLayout& layout, const unsigned char* buffer,
                     const marketdb::DatabaseLayout::RecordRun& run, long long first,
                     std::span<const Job> jobs, const RunValues& values, StockResult* results,
                     Scratch& scratch) {
  const auto block = static_cast<std::size_t>(layout.blockBytes());
  bool together = !jobs.empty() && jobs.size() <= scratch.group.size() &&
                  run.tileDays < layout.ringDays &&
                  jobs[0].slot >= first;
  for (std::size_t i = 0; together && i < jobs.size(); ++i)
    together = jobs[i].slot == jobs[0].slot + static_cast<int>(i) &&
               run.held >= static_cast<std::size_t>(jobs[i].slot - first + 1) * block;
  if (!together) {
    for (const Job& job : jobs)
      analyseJob(layout, buffer, run, first, job, nullptr, values, results, *scratch.days);
    return;
  }
  const std::span<StockDays> days = scratch.group.first(jobs.size());
  StockDays::decodeRows(layout, buffer + static_cast<std::size_t>(jobs[0].slot - first) * run.slotStep,
                        run, days);
  for (std::size_t i = 0; i < jobs.size(); ++i)
    analyseDecoded(days[i], jobs[i], nullptr, values, results);
}

// Analyses the jobs (in ascending slot order) into results[job.stock]. A job's block is read
// together with the blocks of the jobs after it that fall within the kind's blocks of slots,
// so a database read in slot order takes one read per that many stocks. Without `stocks` (the
// index still being read) a row's code, slot and name are left for the caller to fill in.
void analyseJobs(const marketdb::BlockReader& prices, std::span<const Job> jobs,
                 const std::vector<Candidate>* stocks, const RunValues& values,
                 StockResult* results, Scratch& scratch) {
  const marketdb::DatabaseLayout& layout = prices.layout();
  const int ReadBlocks = readingOf(layout).blocks;
  unsigned char* buffer = scratch.buffer.data();
  long long first = -1;  // slot of the first record slot in the buffer
  long long blocks = 0;  // record slots asked for
  marketdb::DatabaseLayout::RecordRun run;  // where the read put them
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const int slot = jobs[i].slot;
    if (slot >= 0 && (first < 0 || slot < first || slot >= first + blocks)) {
      long long last = slot;
      for (std::size_t j = i + 1;
           j < jobs.size() && jobs[j].slot < static_cast<long long>(slot) + ReadBlocks; ++j)
        last = jobs[j].slot;
      first = slot;
      blocks = last - slot + 1;
      run = prices.readRun(slot, static_cast<int>(blocks), buffer);
    }
    analyseJob(layout, buffer, run, first, jobs[i], stocks, values, results, *scratch.days);
  }
}

// Every stock of the index (or every record slot of a wide file) analysed. The jobs go in slot
// order, in chunks of neighbouring slots that the workers take one after the other from a
// shared counter; each worker has its own days and buffer and writes only the results of the
// stocks of its chunks. The threads start at once and the calling thread joins the work in
// finish(), after whatever it has to do meanwhile.
//
// The record slots of a wide file are analysed together instead: the workers fill one run's
// buffer side by side, taking its rows a piece at a time, then analyse its stocks, taking
// them a few at a time, and go on to the next run when every stock is done. A run's buffer is
// 21 MB of fresh memory, whose first touch is the dearest part of the whole analysis (each
// page is cleared by the kernel, and on a virtual machine may have to be fetched by its host
// first): one buffer instead of one per worker halves that, with the same number of reads.
// These workers are all threads of their own, so the calling thread reads the index meanwhile.
class StockAnalysis {
 public:
  StockAnalysis(const marketdb::BlockReader& prices, const std::vector<Candidate>& stocks,
                const RunValues& values)
      : prices_(prices), stocks_(stocks), values_(values),
        chunk_(readingOf(prices.layout()).chunk) {}
  StockAnalysis(const StockAnalysis&) = delete;
  StockAnalysis& operator=(const StockAnalysis&) = delete;
  ~StockAnalysis() { abandon(); }

  // workers: 0 chooses (two when the machine has two cores or more and the database is not
  // small), else the number of threads including the calling one.
  void start(int workers) {
    jobs_.resize(stocks_.size());
    for (std::size_t i = 0; i < stocks_.size(); ++i)
      jobs_[i] = Job{stocks_[i].recordSlot, static_cast<int>(i)};
    std::stable_sort(jobs_.begin(), jobs_.end(),
                     [](const Job& a, const Job& b) { return a.slot < b.slot; });
    run(workers);
  }

  // The record slots 0..slots-1 analysed before the index is read: finish() gives the result
  // of each slot at its place, without the code, slot and name of its row.
  void startSlots(int slots, int workers) {
    bySlot_ = true;
    together_ = !prices_.layout().blocksContiguous();
    jobs_.resize(static_cast<std::size_t>(std::max(slots, 0)));
    for (std::size_t i = 0; i < jobs_.size(); ++i)
      jobs_[i] = Job{static_cast<int>(i), static_cast<int>(i)};
    run(workers);
  }

  Results finish() {
    if (scratch_.empty()) return {};  // never started
    if (!together_) work(scratch_[0]);
    else if (callerWorks_) workTogether(scratch_[0]);
    join();
    return std::move(results_);
  }

  // No more chunks (or runs) are taken; the ones under way end.
  void abandon() {
    next_.store(jobs_.size() / chunk_ + 1);
    stop_.store(true);
    callerWorks_ = false;  // nor does finish() take the work up
    join();
  }

 private:
  void run(int workers) {
    results_ = Results(jobs_.size());
    if (workers <= 0)
      workers = std::thread::hardware_concurrency() >= 2 && jobs_.size() >= 2 * StocksPerWorker
                    ? 2
                    : 1;
    const std::size_t chunks = (jobs_.size() + chunk_ - 1) / chunk_;
    const std::size_t threads =
        std::min<std::size_t>(static_cast<std::size_t>(workers), std::max<std::size_t>(chunks, 1));
    scratch_.resize(threads);  // [0] is the calling thread's, or the first worker's together
    const std::size_t bufferBytes =
        prices_.layout().runBytes(readingOf(prices_.layout()).blocks);
    for (std::size_t t = 0; t < scratch_.size(); ++t) {
      Scratch& s = scratch_[t];
      if (t == 0 || !together_) s.buffer = marketdb::LargeBlock(bufferBytes);  // together: [0]'s
      if (together_) {
        s.groupBlock = marketdb::LargeBlock(StocksTogether * sizeof(StockDays));
        s.group = marketdb::valuesIn<StockDays>(s.groupBlock, 0, StocksTogether);
      }
    }
    if (together_) {
      barrier_.emplace(static_cast<std::ptrdiff_t>(threads), PhaseEnd{this});
      for (std::size_t t = 0; t < threads; ++t) {
        try {
          threads_.emplace_back([this, t] { workTogether(scratch_[t]); });
        } catch (const std::system_error&) {
          // The ones that did not start are not waited for; without any, the calling thread
          // is the only worker.
          callerWorks_ = t == 0;
          for (std::size_t u = callerWorks_ ? 1 : t; u < threads; ++u) barrier_->arrive_and_drop();
          break;
        }
      }
      return;
    }
    for (std::size_t t = 1; t < threads; ++t) {
      try {
        threads_.emplace_back([this, t] { work(scratch_[t]); });
      } catch (const std::system_error&) {
        break;  // no thread to be had: the calling thread does the rest
      }
    }
  }

  void work(Scratch& scratch) {
    const std::span<const Job> all(jobs_);
    for (;;) {
      const std::size_t begin = next_.fetch_add(1) * chunk_;
      if (begin >= all.size()) return;
      analyseJobs(prices_, all.subspan(begin, std::min(chunk_, all.size() - begin)),
                  bySlot_ ? nullptr : &stocks_, values_, results_.data(), scratch);
    }
  }
  // One worker's part of the analysis together (see above). Every worker sees the same
  // `stopped_` after a barrier, so they all leave at the same run.
  void workTogether(Scratch& scratch) {
    const marketdb::DatabaseLayout& layout = prices_.layout();
    const std::size_t runSlots = static_cast<std::size_t>(readingOf(layout).blocks);
    const int rows = layout.ringDays;
    unsigned char* buffer = scratch_[0].buffer.data();
    for (std::size_t first = 0; first < jobs_.size() && !stopped_; first += runSlots) {
      const std::size_t count = std::min(runSlots, jobs_.size() - first);
      const int from = static_cast<int>(first);
      const int slots = static_cast<int>(count);
      const marketdb::DatabaseLayout::RecordRun run = prices_.readRun(from, slots, buffer, 0, 0);
      for (int row; (row = nextRow_.fetch_add(RowsTogether)) < rows;)
        prices_.readRun(from, slots, buffer, row, std::min(row + RowsTogether, rows));
      barrier_->arrive_and_wait();  // the run is read
      for (std::size_t k; (k = nextStock_.fetch_add(StocksTogether)) < count;) {
        analyseTogether(layout, buffer, run, from,
                        std::span<const Job>(jobs_).subspan(first + k,
                                                            std::min(StocksTogether, count - k)),
                        values_, results_.data(), scratch);
      }
      barrier_->arrive_and_wait();  // its stocks are analysed: the buffer may be read again
    }
  }
  // Run when every worker has come to a barrier, before any goes on.
  struct PhaseEnd {
    StockAnalysis* self;
    void operator()() const noexcept {
      self->nextRow_.store(0);
      self->nextStock_.store(0);
      self->stopped_ = self->stop_.load();
    }
  };
  static constexpr int RowsTogether = 64;
  // Whole tile rows: no two workers read the same one.
  static_assert(RowsTogether % marketdb::WideTileDays == 0);
  static constexpr std::size_t StocksTogether = 32;

  void join() {
    for (std::thread& t : threads_) t.join();
    threads_.clear();
  }

  const marketdb::BlockReader& prices_;
  const std::vector<Candidate>& stocks_;
  const RunValues values_;
  const std::size_t chunk_;  // stocks a worker takes at a time
  bool bySlot_ = false;      // startSlots: the results stand by record slot
  std::vector<Job> jobs_;
  Results results_;
  std::vector<Scratch> scratch_;
  std::atomic<std::size_t> next_{0};  // the next chunk to take
  std::vector<std::thread> threads_;
  // Together: the workers' meeting points, the next ring row of the run to read (by whole tile
  // rows) and stock of it to analyse, and whether to stop (as the last barrier saw it).
  bool together_ = false;
  bool callerWorks_ = false;  // no worker thread could start: finish() does the work
  std::optional<std::barrier<PhaseEnd>> barrier_;
  std::atomic<int> nextRow_{0};
  std::atomic<std::size_t> nextStock_{0};
  std::atomic<bool> stop_{false};
  bool stopped_ = false;
};

}  // namespace

const std::string& groupLabel(int group) {
  return group == 2 ? SJ("東証２部（大証外国）") : SJ("東証１部（店頭）");
}

std::string rankingTitle(std::int32_t comparisonDate, std::int32_t lastStoreDate,
                         const marketdb::DatabaseLayout& layout) {
  return format(SJ("［ペリノ改Ｃ］ 指定は%sと%s本日比較\n\n").c_str(),
                layout.formatDate(comparisonDate).c_str(), layout.formatDate(lastStoreDate).c_str());
}

const std::string& rankingHeader() {
  return SJ("順位 逆位 ｺｰﾄﾞ 銘柄名  終値  上率  出変  RCI3  ｶｲﾘ2  sｻｲﾝ  戻率  ﾚﾝｼﾞ  指定\n\n");
}

std::string rankingLine(int rank, int reverseRank, const RankingRow& row,
                        const marketdb::DatabaseLayout& layout) {
  char name[7] = {};
  std::memcpy(name, row.name, 6);
  return format("%4d %4d %s %6s %5d%6.1f%6.1f%6.1f%6.1f %6.1f%6.1f%6.1f%6.1f\n", rank, reverseRank,
                marketdb::exchangeCodeText(layout, row.code).c_str(), name, row.close, row.riseRate / 10.0,
                row.volumeChange / 10.0, row.rci3 / 10.0, row.deviation2 / 10.0,
                static_cast<double>(row.sign), row.rebound / 10.0, row.range / 10.0,
                row.sinceDate / 10.0);
}

namespace {

// rankingFileText into `text` (a string, or a large text for a run's files: each is some
// hundreds of kilobytes), of the rows `row(i)` gives.
template <typename Text, typename Row>
void putRankingFileText(Text& text, const std::string& title, const std::string& header,
                        int count, const marketdb::DatabaseLayout& layout, Row row) {
  text.clear();
  text.reserve(title.size() + header.size() + static_cast<std::size_t>(std::max(count, 0)) * 80);
  text.append(title.data(), title.size());
  text.append(header.data(), header.size());
  for (int i = 0; i < count; ++i) appendRankingLine(text, i + 1, count - i, row(i), layout);
}

}  // namespace

std::string rankingFileText(const std::string& title, const std::string& header,
                            const RankingRow* rows, int count,
                            const marketdb::DatabaseLayout& layout) {
  std::string text;
  putRankingFileText(text, title, header, count, layout,
                     [rows](int i) -> const RankingRow& { return rows[i]; });
  return text;
}

AnalysisOutcome runAnalysis(double typedDate, marketdb::SystemFile& sys,
                            marketdb::SettingsFile& win, AnalysisReporter& reporter,
                            int workers) {
  using marketdb::FileStatus;
  AnalysisOutcome outcome;
  const marketdb::DatabaseLayout& folder = marketdb::openLayout();
  const std::int32_t comparisonDate = folder.readDate(typedDate);
  // A date that names no day would compare every stock with nothing; 0 means no comparison.
  if (comparisonDate != 0 && !marketdb::isCalendarDate(comparisonDate)) {
    if (folder.kind == marketdb::DatabaseKind::Wide)
      reporter.warning(format(SJ("比較年月日%.0fは日付ではないので分析しません"
                                 "(yyyymmddで入力、例 20261207。0は比較なし)").c_str(),
                              typedDate));
    else
      reporter.warning(format(SJ("比較年月日%06gは日付ではないので分析しません"
                                 "(yymmddで入力、例 261207。0は比較なし)").c_str(),
                              static_cast<double>(static_cast<float>(typedDate))));
    outcome.result = AnalysisResult::Refused;
    return outcome;
  }
  reporter.started();
  // The files are read as one committed state: no change runs while the run reads them.
  marketdb::DatabaseRead reading;
  const marketdb::Recovery& recovery =
      reading.acquire([&reporter](const std::string& text) { reporter.waiting(text); });
  if (recovery.needsSaying()) reporter.recovered(recovery.message);
  const FileStatus sysStatus = marketdb::readSystemFile(sys);
  if (sysStatus == FileStatus::Missing) {
    reporter.fileMessage(marketdb::missingFileMessage(folder.systemFile), marketdb::fileCaption());
    outcome.result = AnalysisResult::NoSystemFile;
    return outcome;
  }
  // A wide file that is not one this program reads: nothing of it was taken.
  const FileStatus winStatus =
      sysStatus == FileStatus::Damaged ? sysStatus : marketdb::readSettingsFile(win, 4);
  if (winStatus == FileStatus::Damaged) {
    reporter.warning(marketdb::damagedFileMessage());
    outcome.result = AnalysisResult::Failed;
    return outcome;
  }
  if (winStatus == FileStatus::Missing) {
    reporter.fileMessage(marketdb::missingFileMessage(folder.settingsFile),
                         marketdb::fileCaption());
    outcome.settingsMissing = true;
  }
  const AnalysisSettings settings = AnalysisSettings::from(sys, win);
  const int latest = sys.storePosition;
  if (latest < 0 || latest >= marketdb::HistoryDays) {
    reporter.warning(format(SJ("%s の格納位置 %d が範囲外のため分析できません").c_str(),
                            folder.systemFile, latest));
    outcome.result = AnalysisResult::Failed;
    return outcome;
  }
  // A classic index is read and the analysis started before the index is checked: the check
  // runs while the workers analyse, and what they found is only used when it passes. A wide
  // index is checked as it is read, since its check reads it whole. Nothing is reported before
  // the check, in the order a check first and a read after would report.
  std::vector<Candidate> stocks;  // the index, read once for both passes
  const bool wide = folder.kind == marketdb::DatabaseKind::Wide;
  marketdb::IndexCheck index;
  marketdb::BlockReader prices;  // the price file, read once for all stocks
  StockAnalysis analysis(prices, stocks,
                         RunValues{latest, sys.lastStoreDate, comparisonDate, settings});
  bool indexRead = false;
  bool pricesOpen = false;
  if (wide) {
    // A wide index gives its stocks exactly the record slots 0..n-1, n the price file's records
    // assigned, or its check refuses it: the workers start on those slots at once, while the
    // index is read.
    marketdb::WideHeader header;
    if (prices.open() && marketdb::readWideHeader(folder.priceFile, header).ok)
      analysis.startSlots(static_cast<int>(std::min<std::uint32_t>(
                              header.recordsAssigned, static_cast<std::uint32_t>(folder.maxStocks))),
                          workers);
    indexRead = readWideCandidates(folder, stocks, index);
    pricesOpen = indexRead && prices.isOpen();
  } else {
    indexRead = readClassicCandidates(folder, stocks);
    pricesOpen = indexRead && prices.open();
    if (pricesOpen) analysis.start(workers);
    index = marketdb::checkIndexFile();
  }

  // A damaged index would leave stocks out, or read other stocks' blocks, without a word.
  if (!index.ok) {
    analysis.abandon();
    reporter.warning(index.message);
    outcome.result = AnalysisResult::Failed;
    return outcome;
  }
  if (!indexRead) {
    reporter.fileMessage(marketdb::missingFileMessage(folder.indexFile),
                         marketdb::fileCaption());
    outcome.result = AnalysisResult::Failed;
  } else if (!pricesOpen) {
    reporter.fileMessage(marketdb::missingFileMessage(folder.priceFile),
                         marketdb::fileCaption());
    outcome.result = AnalysisResult::Failed;
  }
  Results results;
  if (outcome.result == AnalysisResult::Completed) results = analysis.finish();
  reading.release();
  // The result of the i-th stock of the index: by record slot for a wide run, whose rows get
  // their codes and names here.
  const auto resultOf = [&](std::size_t i) -> StockResult* {
    if (!wide) return &results[i];
    const auto slot = static_cast<std::size_t>(stocks[i].recordSlot);
    return slot < results.size() ? &results[slot] : nullptr;
  };
  if (wide) {
    for (std::size_t i = 0; i < stocks.size(); ++i) {
      StockResult* r = resultOf(i);
      if (r != nullptr && r->stored) nameRow(r->row, stocks[i]);
    }
  }
  const marketdb::DatabaseLayout& layout = prices.layout();
  const int rowLimit = marketdb::rankingRowLimit(layout);
  // Each group's ranking file is made from the results: its rows in code order, and its text.
  // The second group's is made on a second thread while the first group's is told and written;
  // what the progress says of each is told afterwards as it would have been on the way, group
  // after group.
  const std::string title = rankingTitle(comparisonDate, sys.lastStoreDate, layout);
  const std::string& header = rankingHeader();
  const auto rank = [&](int group, GroupRanking& g) {
    for (const Candidate& c : stocks)
      if (inGroup(c.section, group)) ++g.listLength;
    const std::size_t most = std::min<std::size_t>(static_cast<std::size_t>(g.listLength),
                                                   static_cast<std::size_t>(rowLimit));
    g.rows.reserve(most);
    g.lengthAt.reserve(most);
    for (std::size_t i = 0; i < stocks.size(); ++i) {
      if (!inGroup(stocks[i].section, group)) continue;
      if (static_cast<int>(g.rows.size()) == rowLimit) {
        g.truncated = true;
        break;
      }
      const StockResult* result = resultOf(i);
      if (result == nullptr || !result->stored) {
        --g.listLength;
        continue;
      }
      g.rows.push_back(&result->row);
      g.lengthAt.push_back(g.listLength);
    }
    // An index in code order (a wide one always is) gives its rows in order already.
    const auto inCodeOrder = [](const RankingRow* x, const RankingRow* y) {
      return codeOrder(*x, *y);
    };
    if (!std::is_sorted(g.rows.begin(), g.rows.end(), inCodeOrder))
      std::stable_sort(g.rows.begin(), g.rows.end(), inCodeOrder);
    putRankingFileText(g.text, title, header, static_cast<int>(g.rows.size()), layout,
                       [&g](int k) -> const RankingRow& {
                         return *g.rows[static_cast<std::size_t>(k)];
                       });
  };
  GroupRanking groups[2];
  std::future<void> secondMade;
  if (outcome.result == AnalysisResult::Completed) {
    try {
      secondMade = std::async(std::launch::async, [&] { rank(2, groups[1]); });
    } catch (const std::system_error&) {
      // no thread to be had: the second group is made in its turn
    }
  }
  for (int group = 1; group <= 2 && outcome.result == AnalysisResult::Completed; ++group) {
    GroupRanking& g = groups[group - 1];
    if (group == 2 && secondMade.valid())
      secondMade.get();
    else
      rank(group, g);
    for (std::size_t k = 0; k < g.lengthAt.size(); ++k)
      reporter.progress(group, static_cast<int>(k + 1), g.lengthAt[k]);
    if (!marketdb::replaceFileAtomically(rankingFileName(group), g.text.view())) {
      reporter.fileMessage(std::string(rankingFileName(group)) + SJ(" がOPENできません"),
                           SJ("ﾌｧｲﾙ状況"));
      outcome.result = AnalysisResult::Failed;
      outcome.writeFailed = true;
      break;
    }
    if (g.truncated) {
      outcome.truncated = true;
      reporter.warning(groupLabel(group) +
                       format(SJ("の銘柄数が%dを超えたため、先頭の%d銘柄だけ分析しました").c_str(),
                              rowLimit, rowLimit));
    }
    reporter.groupDone(group, static_cast<int>(g.rows.size()), g.listLength);
  }
  reporter.finished(SJ("分析終了しました。"));
  return outcome;
}

}  // namespace dbprogram
