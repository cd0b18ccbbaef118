// Paint figures of the chart viewer on a full database, in process: one repaint of the chart
// screen and of the price table at 1920x1440 (as the window paints, without recording), the
// same with recording, the PNG of a 640x480 chart, and one showing of a 1920x1440 frame in a
// real window, whole and as a typical change (needs a display; the label names the way the
// frames went). No benchmark sets counters: the CSV output needs the same
// columns in every row. The database is the folder named by PELINOR_BENCH_DB
// (bench/run.sh makes one); the run changes into it and writes only below a temporary folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "bench/enter_database.h"
#include "platform/host/headless_driver.h"
#include "platform/host/sdl_host.h"
#include "resources/pelinorw_resources.h"
#include "viewer/tchart.h"

namespace {

namespace fs = std::filesystem;

// The viewer in its frame, driven headless to the chart of the first stock of the menu.
struct Viewer {
  std::ostringstream messages;
  std::unique_ptr<SDIDecFrame> frame;
  std::unique_ptr<HeadlessDriver> driver;

  Viewer(TSize size, bool recording) {
    frame = std::make_unique<SDIDecFrame>(pelinorwTitle(), std::make_unique<viewer::TChart>(),
                                          pelinorwResources());
    frame->AssignMenu(100);
    driver = std::make_unique<HeadlessDriver>(*frame, size, messages);
    driver->setRecording(recording);
    driver->start();
    // The first stock of the menu, as a user clicks it (the menu's cells are in 640x480 units).
    driver->click(20 * size.cx / 640, 24 * size.cy / 480);
  }
};

void BM_Repaint(benchmark::State& state, bool priceTable, bool recording) {
  if (!bench::enterDatabase(state)) return;
  Viewer v(TSize{static_cast<int>(state.range(0)), static_cast<int>(state.range(1))}, recording);
  if (priceTable) v.driver->key(VK_LEFT);
  for (auto _ : state) v.driver->paint();
}
BENCHMARK_CAPTURE(BM_Repaint, chart, false, false)->Args({1920, 1440})->Args({640, 480})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Repaint, price_table, true, false)->Args({1920, 1440})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Repaint, chart_recorded, false, true)->Args({1920, 1440})->Unit(benchmark::kMillisecond);

void BM_ChartPng(benchmark::State& state) {
  if (!bench::enterDatabase(state)) return;
  Viewer v(TSize{static_cast<int>(state.range(0)), static_cast<int>(state.range(1))}, false);
  const fs::path out = fs::temp_directory_path() / ("pelinor-bench-" + std::to_string(::getpid()) + ".png");
  for (auto _ : state) {
    if (!v.driver->raster().writePng(out.string())) state.SkipWithError("cannot write the PNG");
  }
  std::error_code ec;
  fs::remove(out, ec);
}
BENCHMARK(BM_ChartPng)->Args({640, 480})->Args({1920, 1440})->Unit(benchmark::kMillisecond);

void BM_ShowFrameInWindow(benchmark::State& state) {
  if (!std::getenv("DISPLAY")) {
    state.SkipWithError("no display");
    return;
  }
  if (!bench::enterDatabase(state)) return;
  Viewer v(TSize{1920, 1440}, false);
  const char* path = "";
  for (auto _ : state) {
    const double ms = timeFrameShowing(v.driver->raster(), 20, &path);
    if (ms < 0) {
      state.SkipWithError("no window could be opened");
      break;
    }
    state.SetIterationTime(ms / 1000.0);
  }
  state.SetLabel(path);
}
BENCHMARK(BM_ShowFrameInWindow)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// A change as a user makes it, shown in the window: the chart of one stock and of the next
// (most of the frame differs), and the stock-code keypad of the chart before and after a
// second digit is typed (a few characters differ). Only what differs is handed to the window
// system.
void BM_ShowChangeInWindow(benchmark::State& state, bool nextStock) {
  if (!std::getenv("DISPLAY")) {
    state.SkipWithError("no display");
    return;
  }
  if (!bench::enterDatabase(state)) return;
  std::ostringstream messages;
  auto makeDriver = [&](std::unique_ptr<SDIDecFrame>& frame, bool changed) {
    frame = std::make_unique<SDIDecFrame>(pelinorwTitle(), std::make_unique<viewer::TChart>(),
                                          pelinorwResources());
    frame->AssignMenu(100);
    auto driver = std::make_unique<HeadlessDriver>(*frame, TSize{1920, 1440}, messages);
    driver->setRecording(false);
    driver->start();
    driver->click(20 * 3, 24 * 3);
    if (!nextStock) {
      driver->key(VK_F9);
      driver->key('3');
    }
    if (changed) driver->key(nextStock ? static_cast<unsigned>(VK_DOWN) : unsigned{'0'});
    return driver;
  };
  std::unique_ptr<SDIDecFrame> frameA, frameB;
  auto a = makeDriver(frameA, false);
  auto b = makeDriver(frameB, true);
  const char* path = "";
  for (auto _ : state) {
    const double ms = timeChangeShowing(a->raster(), b->raster(), 20, &path);
    if (ms < 0) {
      state.SkipWithError("no window could be opened");
      break;
    }
    state.SetIterationTime(ms / 1000.0);
  }
  state.SetLabel(path);
}
BENCHMARK_CAPTURE(BM_ShowChangeInWindow, next_stock, true)
    ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ShowChangeInWindow, keypad_digit, false)
    ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
