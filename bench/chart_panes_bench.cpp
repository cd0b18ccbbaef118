// One chart-screen paint of the daily chart (view 9), the equilibrium chart (view 3) and the
// weekly chart (view 8) of a 640-day random-walk stock into the raster device, with every
// indicator of the pane computed, at 640x480 and 1920x1440; once with the default settings and
// once with every period at its largest allowed value.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "bench/bench_database.h"
#include "marketdb/files.h"
#include "marketdb/settings.h"
#include "platform/gdi/raster_device.h"
#include "viewer/tchart.h"

namespace {

namespace fs = std::filesystem;

constexpr int Latest = 417;  // the ring has wrapped: windows cross slot 0
constexpr float Code = 1301;

struct Database {
  bench::DatabaseFolder folder{"pelinor-panes-", Latest};

  Database() {
    std::string idx = marketdb::formatIndexLine(0, 1, marketdb::codeFromNumber(Code), "BENCH", 0, 0);
    std::FILE* f = std::fopen(marketdb::IndexFileName, "wb");
    std::fwrite(idx.data(), 1, idx.size(), f);
    std::fclose(f);

    std::mt19937 rng(20240601);
    std::normal_distribution<double> step(0.0, 0.02);
    marketdb::PriceFile prices;
    prices.openForWriting();
    double price = 2400;
    // Dates run through months of 21 days (the 1st to the 21st), so that the weeks and months
    // of the charts change about as often as in a real history; every 37th day is empty.
    for (int back = marketdb::HistoryDays - 1; back >= 0; --back) {
      const int i = marketdb::HistoryDays - 1 - back;
      const int slot = (Latest - back + marketdb::HistoryDays) % marketdb::HistoryDays;
      const double previousClose = price;
      price = std::clamp(price * (1.0 + step(rng)), 50.0, 30000.0);
      marketdb::DayRecord d;
      const int month = i / 21;
      d.date = 20070000 + (month / 12) * 10000 + (month % 12 + 1) * 100 + i % 21 + 1;
      d.open = static_cast<std::int16_t>(previousClose);
      d.close = static_cast<std::int16_t>(price);
      d.high = static_cast<std::int16_t>(std::max(previousClose, price) * 1.01);
      d.low = static_cast<std::int16_t>(std::min(previousClose, price) * 0.99);
      d.change = static_cast<std::int16_t>(d.close - static_cast<int>(previousClose));
      d.volume = i % 37 == 5 ? 0.0f : static_cast<float>(1000 + rng() % 90000);
      prices.writeDay(0, slot, d);
    }
    prices.close();
  }
};

Database& database() {
  static Database db;
  return db;
}

void setLargestPeriods(viewer::TChart& chart) {
  for (int number = 20; number <= 35; ++number) {
    const marketdb::SettingItem* item = marketdb::findSettingItem(number);
    chart.periods[number - 20] = item->maximum;
  }
}

// Arguments: view mode, width, height, largest periods (0/1).
void BM_ChartPanePaint(benchmark::State& state) {
  database();
  auto chart = std::make_unique<viewer::TChart>();
  if (state.range(3) != 0) setLargestPeriods(*chart);
  const int width = static_cast<int>(state.range(1));
  const int height = static_cast<int>(state.range(2));
  RasterDevice device(width, height);
  TDC dc(device);
  dc.SetMapMode(MM_ANISOTROPIC);
  dc.SetWindowExt(TSize{640, 480});
  dc.SetViewportExt(TSize{width, height});
  chart->selectCode(marketdb::codeFromNumber(Code));
  chart->viewMode = static_cast<int>(state.range(0));
  for (auto _ : state) {
    chart->fillBackground(dc);
    dc.SetBkMode(TRANSPARENT);
    dc.SelectObject(viewer::chartTextFont());
    if (chart->loadStock(dc)) chart->chartScreen(dc);
    benchmark::DoNotOptimize(device.rgb().data());
  }
}

void Arguments(benchmark::internal::Benchmark* b) {
  for (int mode : {9, 3, 8})
    for (int largest : {0, 1}) {
      b->Args({mode, 640, 480, largest});
      b->Args({mode, 1920, 1440, largest});
    }
  b->ArgNames({"view", "w", "h", "largest"});
  b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_ChartPanePaint)->Apply(Arguments);

}  // namespace

BENCHMARK_MAIN();
