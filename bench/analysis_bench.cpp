// The analysis of a full database: 3019 stocks with 640 days of random-walk prices, built once
// in a temporary folder; each iteration is one whole run over both market groups, writing
// both ranking files.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_database.h"
#include "dbprogram/analysis.h"
#include "marketdb/files.h"
#include "marketdb/layout.h"
#include "marketdb/block_reader.h"
#include "marketdb/settings.h"

namespace {

namespace fs = std::filesystem;

constexpr int Stocks = 3019;
constexpr int Latest = 417;  // the ring has wrapped: windows cross slot 0

struct Database {
  bench::DatabaseFolder folder{"pelinor-bench-", Latest};

  Database() {

    std::mt19937 rng(20240601);
    std::string idx;
    // The whole price file is encoded in memory and written at once.
    std::vector<unsigned char> dat(static_cast<std::size_t>(Stocks) * marketdb::HistoryBlockBytes);
    for (int i = 0; i < Stocks; ++i) {
      const float code = static_cast<float>(1300 + i * 2);
      const int section = 1 + i % 6;
      idx += marketdb::formatIndexLine(0, section, marketdb::codeFromNumber(code), "BENCHNAME", i, 0);
      std::normal_distribution<double> step(0.0, 0.02);
      double price = 200 + rng() % 5000;
      marketdb::StockHistory h{};
      for (int back = marketdb::HistoryDays - 1; back >= 0; --back) {
        const int slot = (Latest - back + marketdb::HistoryDays) % marketdb::HistoryDays;
        const double previousClose = price;
        price = std::clamp(price * (1.0 + step(rng)), 10.0, 30000.0);
        marketdb::DayRecord& d = h.day[slot];
        d.date = marketdb::dateKey(static_cast<float>(100510 - back));  // distinct, ascending
        d.open = static_cast<std::int16_t>(previousClose);
        d.close = static_cast<std::int16_t>(price);
        d.high = static_cast<std::int16_t>(std::max(previousClose, price) * 1.01);
        d.low = static_cast<std::int16_t>(std::min(previousClose, price) * 0.99);
        d.change = static_cast<std::int16_t>(d.close - static_cast<int>(previousClose));
        d.volume = (rng() % 20 == 0) ? 0.0f : static_cast<float>(1000 + rng() % 100000);
      }
      h.day[Latest].volume = 5000;  // every stock traded on the latest day
      for (int s = 0; s < marketdb::HistoryDays; ++s)
        marketdb::ClassicLayout.encodeRecord(h.day[s], dat.data() + static_cast<std::size_t>(i) *
                                                             marketdb::HistoryBlockBytes +
                                                s * marketdb::DayRecordBytes);
    }
    std::ofstream(marketdb::PriceFileName, std::ios::binary)
        .write(reinterpret_cast<const char*>(dat.data()), static_cast<std::streamsize>(dat.size()));
    marketdb::replaceFileAtomically(marketdb::IndexFileName, idx);
  }
};

// One database for every benchmark, made on first use.
Database& database() {
  static Database db;
  return db;
}

class Silent : public dbprogram::AnalysisReporter {
 public:
  void progress(int, int, int) override {}
  void fileMessage(const std::string&, const std::string&) override { failed = true; }
  void warning(const std::string&) override {}
  void finished(const std::string&) override {}
  bool failed = false;
};

// The argument is the number of threads (0: as the program chooses).
void BM_AnalysisOfAFullDatabase(benchmark::State& state) {
  database();
  for (auto _ : state) {
    marketdb::SystemFile sys;
    marketdb::SettingsFile win;
    Silent reporter;
    auto outcome =
        dbprogram::runAnalysis(991229, sys, win, reporter, static_cast<int>(state.range(0)));
    if (reporter.failed || outcome.result != dbprogram::AnalysisResult::Completed)
      state.SkipWithError("the analysis did not complete");
    benchmark::DoNotOptimize(outcome);
  }
  state.SetItemsProcessed(state.iterations() * Stocks);
}
BENCHMARK(BM_AnalysisOfAFullDatabase)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Reading every block of the full database: one read per block, as the plain reader does,
// against the one buffer the analysis uses.
void BM_ReadEveryBlockOneByOne(benchmark::State& state) {
  database();
  auto history = std::make_unique<marketdb::StockHistory>();
  for (auto _ : state) {
    marketdb::PriceFile prices;
    prices.openForReading();
    for (int i = 0; i < Stocks; ++i) prices.readHistory(i, *history);
    benchmark::DoNotOptimize(history->day[Latest].close);
  }
}
BENCHMARK(BM_ReadEveryBlockOneByOne)->Unit(benchmark::kMillisecond);

void BM_ReadEveryBlockIntoOneBuffer(benchmark::State& state) {
  database();
  auto history = std::make_unique<marketdb::StockHistory>();
  for (auto _ : state) {
    marketdb::BlockReader prices;
    prices.open();
    for (int i = 0; i < Stocks; ++i) prices.readHistory(i, *history);
    benchmark::DoNotOptimize(history->day[Latest].close);
  }
}
BENCHMARK(BM_ReadEveryBlockIntoOneBuffer)->Unit(benchmark::kMillisecond);

// pelinoru.idx of the full database read into the stock table.
void BM_ReadStockTable(benchmark::State& state) {
  database();
  auto table = std::make_unique<marketdb::StockTable>();
  for (auto _ : state) {
    marketdb::readStockTable(*table);
    benchmark::DoNotOptimize(table->count);
  }
}
BENCHMARK(BM_ReadStockTable)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
