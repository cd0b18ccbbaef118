// The analysis of a full wide database: 10,000 stocks (codes with letters among them) with 640
// days of random-walk prices up to 300,000 yen, built once in a temporary folder; each
// iteration is one whole run over both market groups, writing both ranking files.
//
// `wide_analysis_bench --make-database DIR` only writes that database into DIR (which must not
// hold one), for bench/run.sh to time `pelinorx analyze` on it as a whole process.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "dbprogram/analysis.h"
#include "marketdb/layout.h"
#include "marketdb/settings.h"
#include "marketdb/wide_header.h"
#include "marketdb/wide_index.h"
#include "marketdb/wide_text.h"

namespace {

namespace fs = std::filesystem;

constexpr int Stocks = marketdb::WideCapacity;
constexpr int Latest = 417;  // the ring has wrapped: windows cross slot 0
constexpr std::int32_t NewestDate = 20240510;

// The i-th code of the market: 1300 on, the fourth character running through the ten digits
// and the 19 letters, so that about two codes in three hold a letter.
marketdb::StockCode codeOf(int i) {
  static const char Fourth[] = "0123456789ACDFGHJKLMNPRSTUWXY";
  const int first3 = 130 + i / 29;
  char text[5];
  std::snprintf(text, sizeof text, "%03d%c", first3, Fourth[i % 29]);
  return marketdb::codeFromText(text);
}

// A calendar date `back` days before NewestDate, all distinct and ascending with the ring.
std::int32_t dateBack(int back) {
  int y = 2024, m = 5, d = 10;
  static const int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int k = 0; k < back; ++k) {
    if (--d == 0) {
      if (--m == 0) {
        m = 12;
        --y;
      }
      d = Days[m - 1] + (m == 2 && y % 4 == 0 ? 1 : 0);
    }
  }
  return y * 10000 + m * 100 + d;
}

// The four wide files of the market in the working directory.
void writeDatabase() {
  const marketdb::DatabaseLayout layout = marketdb::WideLayout;
  marketdb::WideSystem sys;
  marketdb::WideSettings win;
  marketdb::applyDefaults(sys.sys, win.win);
  sys.sys.storePosition = Latest;
  sys.lastStoreDate = NewestDate;
  std::ofstream(marketdb::WideSystemFileName, std::ios::binary)
      << marketdb::formatWideSystemFile(sys);
  std::ofstream(marketdb::WideSettingsFileName, std::ios::binary)
      << marketdb::formatWideSettingsFile(win);

  std::int32_t dates[marketdb::HistoryDays];
  for (int back = 0; back < marketdb::HistoryDays; ++back)
    dates[(Latest - back + marketdb::HistoryDays) % marketdb::HistoryDays] = dateBack(back);
  std::mt19937 rng(20240601);
  std::vector<marketdb::WideIndexEntry> entries;
  marketdb::WideHeader header;
  header.capacity = Stocks;
  header.recordsAssigned = Stocks;
  const std::string head = marketdb::encodeWideHeader(header);
  std::vector<unsigned char> dat(static_cast<std::size_t>(layout.recordOffset(0, marketdb::HistoryDays)));
  std::memcpy(dat.data(), head.data(), head.size());
  for (int i = 0; i < Stocks; ++i) {
    entries.push_back({0, 1 + i % 6, codeOf(i), "BENCHNAME", i, 0});
    std::normal_distribution<double> step(0.0, 0.02);
    double price = 200 + rng() % 200000;
    for (int back = marketdb::HistoryDays - 1; back >= 0; --back) {
      const int slot = (Latest - back + marketdb::HistoryDays) % marketdb::HistoryDays;
      const double previousClose = price;
      price = std::clamp(price * (1.0 + step(rng)), 10.0, 300000.0);
      marketdb::DayRecord d;
      d.date = dates[slot];
      d.open = static_cast<int>(previousClose);
      d.close = static_cast<int>(price);
      d.high = static_cast<int>(std::max(previousClose, price) * 1.01);
      d.low = static_cast<int>(std::min(previousClose, price) * 0.99);
      d.change = d.close - static_cast<int>(previousClose);
      d.volume = back == 0 || rng() % 20 != 0 ? 1000.0 + rng() % 100000000 : 0.0;
      layout.encodeRecord(d, dat.data() + layout.recordOffset(i, slot));
    }
  }
  std::ofstream(marketdb::WideIndexFileName, std::ios::binary)
      << marketdb::formatWideIndex(entries);
  std::ofstream(marketdb::WidePriceFileName, std::ios::binary)
      .write(reinterpret_cast<const char*>(dat.data()), static_cast<std::streamsize>(dat.size()));
}

// The database in a temporary folder, the working directory while it lives.
struct Database {
  fs::path previous = fs::current_path();
  fs::path folder = fs::temp_directory_path() /
                    ("pelinor-wide-bench-" + std::to_string(std::random_device{}()));
  Database() {
    fs::create_directories(folder);
    fs::current_path(folder);
    writeDatabase();
  }
  ~Database() {
    std::error_code ec;
    fs::current_path(previous, ec);
    fs::remove_all(folder, ec);
  }
};

Database& database() {
  static Database db;
  return db;
}

class Silent : public dbprogram::AnalysisReporter {
 public:
  void progress(int, int, int) override {}
  void fileMessage(const std::string&, const std::string&) override { failed = true; }
  void warning(const std::string&) override { failed = true; }
  void finished(const std::string&) override {}
  bool failed = false;
};

// The argument is the number of threads (0: as the program chooses).
void BM_AnalysisOfAFullWideDatabase(benchmark::State& state) {
  database();
  for (auto _ : state) {
    marketdb::SystemFile sys;
    marketdb::SettingsFile win;
    Silent reporter;
    auto outcome =
        dbprogram::runAnalysis(20231229, sys, win, reporter, static_cast<int>(state.range(0)));
    if (reporter.failed || outcome.result != dbprogram::AnalysisResult::Completed)
      state.SkipWithError("the analysis did not complete");
    benchmark::DoNotOptimize(outcome);
  }
  state.SetItemsProcessed(state.iterations() * Stocks);
}
BENCHMARK(BM_AnalysisOfAFullWideDatabase)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--make-database") == 0) {
    std::error_code ec;
    fs::create_directories(argv[2], ec);
    fs::current_path(argv[2], ec);
    if (ec || fs::exists(marketdb::WideSystemFileName)) {
      std::fprintf(stderr, "%s: cannot make the database there\n", argv[2]);
      return 1;
    }
    writeDatabase();
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
