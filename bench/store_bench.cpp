// Speed of the daily store: 640 daily files of 3019 stocks into an empty database, and one
// daily file into a full database (3019 stocks, 640 stored days); the same for a wide database
// of 10,000 stocks (codes with letters, prices above 16 bits) in the extended daily form.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dbprogram/batch.h"
#include "dbprogram/store.h"
#include "marketdb/wide_header.h"

namespace {

namespace fs = std::filesystem;

constexpr int Stocks = 3019;
constexpr int Days = 640;

// A fresh working folder for one benchmark; removed afterwards.
class BenchFolder {
 public:
  BenchFolder() : previous_(fs::current_path()) {
    std::string pattern = (fs::temp_directory_path() / "pelinor-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
    fs::current_path(path_);
  }
  ~BenchFolder() {
    fs::current_path(previous_);
    std::error_code ec;
    fs::remove_all(path_, ec);
  }

 private:
  fs::path previous_;
  fs::path path_;
};

// The n-th trading date from the start of 1997 (28 trading days a month).
std::string dateOf(int n) {
  const int year = 97 + n / (12 * 28);
  const int month = 1 + (n / 28) % 12;
  const int day = 1 + n % 28;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d", year % 100, month, day);
  return buf;
}

// A daily file of every stock for the date: prices that wander a little from day to day.
std::string dailyFile(int n) {
  const std::string date = dateOf(n);
  std::string out;
  out.reserve(Stocks * 64);
  char buf[128];
  for (int i = 0; i < Stocks; ++i) {
    const int base = 100 + (i * 37) % 5000;
    const int close = base + ((n * 7 + i * 13) % 41) - 20;
    const int change = ((n * 3 + i) % 11) - 5;
    std::snprintf(buf, sizeof buf, "\"STOCK%09d\",%d,%d,%d,%d,%d,%d,%s,801,%d\n", i, close - 2,
                  close + 5, close - 6, close, change, 1000 + (n * 31 + i * 17) % 90000,
                  date.c_str(), (1000 + i * 2) * 10);
    out += buf;
  }
  return out;
}

std::string fileName(int n) {
  std::string name = "W";
  name += dateOf(n);
  return name;
}

void writeText(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

struct QuietOutput : dbprogram::StoreOutput {
  void line(const dbprogram::StoreLine&) override {}
  void bell() override {}
  void fileMessage(const std::string&, const std::string&) override { std::abort(); }
};

void initDatabase() {
  std::ostringstream out, err;
  if (dbprogram::batchInit({"W"}, out, err) != 0) std::abort();
}

void BM_Store640DaysIntoAnEmptyDatabase(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    BenchFolder folder;
    initDatabase();
    std::vector<std::string> names;
    for (int n = 0; n < Days; ++n) {
      names.push_back(fileName(n));
      writeText(names.back(), dailyFile(n));
    }
    state.ResumeTiming();
    // As `pelinorx store F1 ... F640` stores them: in groups, each one change.
    QuietOutput quiet;
    const dbprogram::StoreRun run = dbprogram::storeDailyFiles(names, quiet);
    if (run.result != dbprogram::StoreResult::Stored || run.storedFiles != Days) std::abort();
    state.PauseTiming();
    if (fs::file_size("pelinoru.dat") != std::uintmax_t{Stocks} * 11520) std::abort();
    state.ResumeTiming();
  }
  state.counters["files"] = Days;
  state.counters["lines/s"] =
      benchmark::Counter(double{Stocks} * Days, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Store640DaysIntoAnEmptyDatabase)->Iterations(1)->Unit(benchmark::kSecond);

void BM_StoreOneDayIntoAFullDatabase(benchmark::State& state) {
  BenchFolder folder;
  initDatabase();
  // 3019 stocks whose 640-day rings are full: the index and a price file of full blocks.
  {
    std::string idx;
    char buf[64];
    for (int i = 0; i < Stocks; ++i) {
      std::snprintf(buf, sizeof buf, "0 1 %4d STOCK%09d %4d   0\n", 1000 + i * 2, i, i);
      idx += buf;
    }
    writeText("pelinoru.idx", idx);
    std::ofstream dat("pelinoru.dat", std::ios::binary);
    const std::string block(11520, '\x01');
    for (int i = 0; i < Stocks; ++i) dat << block;
    writeText("pelinoru.sys", "   0 981231    0 639\n"
                              "11 14 7 12 11 9 10 13 14 11 15 12 10 14 13 12 11 15 9\n"
                              "200  25  75  13  26   5  25  75 128  13  22  32  12  18   5 260\n");
  }
  int n = 2 * 12 * 28;  // 990101 onwards
  QuietOutput quiet;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string name = fileName(n);
    writeText(name, dailyFile(n));
    ++n;
    state.ResumeTiming();
    if (dbprogram::storeDailyFile(name, quiet) != dbprogram::StoreResult::Stored) std::abort();
  }
  state.counters["lines/s"] =
      benchmark::Counter(double{Stocks}, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_StoreOneDayIntoAFullDatabase)->Iterations(20)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// The wide database

constexpr int WideStocks = 10000;

// The i-th code in code order: the first character 1..9, the third a digit, the second and
// fourth one of the 29 characters a code may hold there (so many codes with letters).
std::string wideCode(int i) {
  static const char second[] = "0123456789ACDFGHJKLMNPRSTUWXY";
  std::string c(4, '0');
  c[3] = second[i % 29];
  c[2] = static_cast<char>('0' + (i / 29) % 10);
  c[1] = second[(i / 290) % 29];
  c[0] = static_cast<char>('1' + i / (290 * 29));
  return c;
}

// The n-th trading date from the start of 2000 as yyyymmdd (28 trading days a month).
std::string wideDateOf(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", 2000 + n / (12 * 28), 1 + (n / 28) % 12,
                1 + n % 28);
  return buf;
}

// An extended daily file of every wide stock for the date; one stock in nine above 32,767 yen.
std::string wideDailyFile(int n) {
  const std::string date = wideDateOf(n);
  std::string out = "#PELWIDE DAILY 1\n";
  out.reserve(WideStocks * 72);
  char buf[160];
  for (int i = 0; i < WideStocks; ++i) {
    const int base = i % 9 == 0 ? 40000 + (i * 37) % 900000 : 100 + (i * 37) % 5000;
    const int close = base + ((n * 7 + i * 13) % 41) - 20;
    const int change = ((n * 3 + i) % 11) - 5;
    std::snprintf(buf, sizeof buf, "\"STOCK%09d\",%d,%d,%d,%d,%d,%lld,%s,801,%s0\n", i,
                  close - 2, close + 5, close - 6, close, change,
                  1000LL + (n * 31LL + i * 17LL) % 90000 * 1000000LL, date.c_str(),
                  wideCode(i).c_str());
    out += buf;
  }
  return out;
}

std::string wideFileName(int n) {
  std::string name = "W";
  name += wideDateOf(n).substr(2);
  return name;
}

void initWideDatabase() {
  std::ostringstream out, err;
  if (dbprogram::batchInit({"W", "--wide"}, out, err) != 0) std::abort();
}

void BM_WideStore640DaysIntoAnEmptyDatabase(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    BenchFolder folder;
    initWideDatabase();
    QuietOutput quiet;
    // As `pelinorx store F1 ... F640` stores them: in groups, each one change. Only a group's
    // files are on disk at a time (the 640 files would take half a gigabyte).
    for (int first = 0; first < Days; first += dbprogram::StoreGroupFiles) {
      std::vector<std::string> names;
      for (int n = first; n < first + dbprogram::StoreGroupFiles && n < Days; ++n) {
        names.push_back(wideFileName(n));
        writeText(names.back(), wideDailyFile(n));
      }
      state.ResumeTiming();
      const dbprogram::StoreRun run = dbprogram::storeDailyFiles(names, quiet);
      state.PauseTiming();
      if (run.result != dbprogram::StoreResult::Stored ||
          run.storedFiles != static_cast<int>(names.size()))
        std::abort();
      for (const std::string& name : names) fs::remove(name);
    }
    if (fs::file_size("pelwide.dat") != 4096 + std::uintmax_t{WideStocks} * Days * 32)
      std::abort();
    state.ResumeTiming();
  }
  state.counters["files"] = Days;
  state.counters["lines/s"] =
      benchmark::Counter(double{WideStocks} * Days, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WideStore640DaysIntoAnEmptyDatabase)->Iterations(1)->Unit(benchmark::kSecond);

void BM_WideStoreOneDayIntoAFullDatabase(benchmark::State& state) {
  BenchFolder folder;
  initWideDatabase();
  // 10,000 stocks whose 640-day rings are full: the index, and a price file of full ring rows
  // behind a header that has given out every record slot.
  {
    std::string idx = "PELWIDE IDX 1\n";
    char buf[64];
    for (int i = 0; i < WideStocks; ++i) {
      std::snprintf(buf, sizeof buf, "0 1 %s STOCK%09d %5d   0\n", wideCode(i).c_str(), i, i);
      idx += buf;
    }
    writeText("pelwide.idx", idx);
    marketdb::WideHeader header;
    header.recordsAssigned = WideStocks;
    std::ofstream dat("pelwide.dat", std::ios::binary);
    dat << marketdb::encodeWideHeader(header);
    const std::string row(std::size_t{WideStocks} * 32, '\x01');
    for (int s = 0; s < Days; ++s) dat << row;
    writeText("pelwide.sys", "PELWIDE SYS 1\n   0 19991231     0 639\n"
                             "11 14 7 12 11 9 10 13 14 11 15 12 10 14 13 12 11 15 9\n"
                             "200  25  75  13  26   5  25  75 128  13  22  32  12  18   5 260\n");
  }
  int n = 0;
  QuietOutput quiet;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string name = wideFileName(n);
    writeText(name, wideDailyFile(n));
    ++n;
    state.ResumeTiming();
    if (dbprogram::storeDailyFile(name, quiet) != dbprogram::StoreResult::Stored) std::abort();
  }
  state.counters["lines/s"] =
      benchmark::Counter(double{WideStocks}, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WideStoreOneDayIntoAFullDatabase)->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
