// One paint of the oscillator views (5 and 4) and the sign views (7 and 77) onto a raster frame,
// with the default settings and with every period at its largest allowed value; and the RCI of
// one 320-day line. The stock has 640 days of random-walk prices with some empty days.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "bench/bench_database.h"
#include "marketdb/files.h"
#include "marketdb/settings.h"
#include "platform/gdi/raster_device.h"
#include "viewer/indicators/rci.h"
#include "viewer/tchart.h"

namespace {

namespace fs = std::filesystem;

constexpr int Newest = 417;  // the ring has wrapped: windows cross slot 0

marketdb::DayRecord randomDay(std::mt19937& rng, double& price, int back) {
  marketdb::DayRecord d;
  d.date = marketdb::dateKey(static_cast<float>(100510 - back));
  if (rng() % 13 == 0) return d;  // an empty day
  const double previous = price;
  price = std::clamp(price * (1.0 + (static_cast<int>(rng() % 41) - 20) / 1000.0), 100.0, 9000.0);
  d.open = static_cast<std::int16_t>(previous);
  d.close = static_cast<std::int16_t>(price);
  d.high = static_cast<std::int16_t>(std::max(previous, price) + rng() % 20);
  d.low = static_cast<std::int16_t>(std::min(previous, price) - rng() % 20);
  d.change = static_cast<std::int16_t>(d.close - static_cast<int>(previous));
  d.volume = static_cast<float>(1 + rng() % 100000);
  return d;
}

// A one-stock database in a temporary folder, and a chart window showing the stock.
struct Viewer : WindowHost {
  bench::DatabaseFolder folder{"pelinor-oscbench-", Newest};
  TSize size;
  std::unique_ptr<viewer::TChart> chart;

  explicit Viewer(TSize clientSize) : size(clientSize) {
    std::mt19937 rng(4242);
    double price = 1500;
    marketdb::PriceFile dat;
    dat.openForWriting();
    for (int back = marketdb::HistoryDays - 1; back >= 0; --back) {
      const int slot = (Newest - back + marketdb::HistoryDays) % marketdb::HistoryDays;
      dat.writeDay(0, slot, randomDay(rng, price, back));
    }
    dat.close();
    std::FILE* idx = std::fopen(marketdb::IndexFileName, "w");
    const std::string line = marketdb::formatIndexLine(0, 1, marketdb::codeFromNumber(7203), "BENCH", 0, 0);
    std::fputs(line.c_str(), idx);
    std::fclose(idx);

    chart = std::make_unique<viewer::TChart>();
    chart->AttachHost(this);
    chart->firstPaint = 1;
    chart->selectCode(marketdb::codeFromNumber(7203));
  }
  ~Viewer() override { chart.reset(); }  // before the folder is left

  void largestPeriods() {
    for (int number : {20, 21, 22}) chart->periods[number - 20] = 320;
    for (int number : {29, 30, 31}) chart->periods[number - 20] = 320;
    chart->periods[32 - 20] = 54;
  }

  void paint(RasterDevice& raster, int mode) {
    chart->viewMode = mode;
    TDC dc(raster);
    TRect rect{0, 0, size.cx, size.cy};
    chart->Paint(dc, true, rect);
  }

  void invalidate(bool) override {}
  TSize clientSize() const override { return size; }
  void closeRequest(TWindow&, int) override {}
  int messageBox(std::string_view, std::string_view, unsigned) override { return 1; }
  void setCursor(Cursor) override {}
};

void BM_Paint(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const TSize size{static_cast<int>(state.range(1)), static_cast<int>(state.range(1)) * 3 / 4};
  Viewer v(size);
  if (state.range(2) != 0) v.largestPeriods();
  RasterDevice raster(size.cx, size.cy);
  v.paint(raster, mode);  // loads the stock
  if (v.chart->lookupFailed || v.chart->signTotal == nullptr) {
    state.SkipWithError("the stock was not shown");
    return;
  }
  for (auto _ : state) {
    v.paint(raster, mode);
    benchmark::DoNotOptimize(raster.rgb().data());
  }
  state.SetLabel("view " + std::to_string(mode) + (state.range(2) ? " largest periods" : " defaults"));
}
BENCHMARK(BM_Paint)
    ->ArgsProduct({{5, 4, 7, 77}, {640, 1920}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void BM_Rci320(benchmark::State& state) {
  std::mt19937 rng(99);
  std::vector<int> ints(viewer::RingDays * 5);
  std::vector<float> volumes(viewer::RingDays);
  double price = 1500;
  for (int s = 0; s < viewer::RingDays; ++s) {
    const marketdb::DayRecord d = randomDay(rng, price, s);
    ints[s] = d.close;
    volumes[s] = static_cast<float>(d.volume);
  }
  using Ints = std::span<const int, viewer::RingDays>;
  const viewer::indicators::RingColumns ring{
      Ints(ints.data(), viewer::RingDays), Ints(ints.data(), viewer::RingDays),
      Ints(ints.data(), viewer::RingDays), Ints(ints.data(), viewer::RingDays),
      Ints(ints.data(), viewer::RingDays),
      std::span<const float, viewer::RingDays>(volumes.data(), viewer::RingDays), 123};
  auto work = std::make_unique<viewer::indicators::RciWork>();
  auto line = std::make_unique<viewer::indicators::OscillatorLine>();
  for (auto _ : state) {
    viewer::indicators::rci(ring, 320, *work, *line);
    benchmark::DoNotOptimize(line->series);
  }
}
BENCHMARK(BM_Rci320)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
