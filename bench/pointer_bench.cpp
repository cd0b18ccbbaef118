// The mouse on the chart viewer, in process on a full database: a pointer move over the daily
// chart (the crosshair and readout redrawn over the last frame, from the event to the frame
// ready for the window) at 640x480 and 1920x1440, and a wheel step of the daily chart (every
// pane painted anew) at 1920x1440. The database is the folder named by PELINOR_BENCH_DB
// (bench/run.sh makes one).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "bench/enter_database.h"
#include "platform/host/headless_driver.h"
#include "resources/pelinorw_resources.h"
#include "viewer/tchart.h"

namespace {


// The viewer on the daily chart of the first stock of the menu, painting as the window does
// (no recording).
struct Viewer {
  std::ostringstream messages;
  std::unique_ptr<SDIDecFrame> frame;
  std::unique_ptr<HeadlessDriver> driver;
  TSize size;

  explicit Viewer(TSize s) : size(s) {
    frame = std::make_unique<SDIDecFrame>(pelinorwTitle(), std::make_unique<viewer::TChart>(),
                                          pelinorwResources());
    frame->AssignMenu(100);
    driver = std::make_unique<HeadlessDriver>(*frame, size, messages);
    driver->setRecording(false);
    driver->start();
    driver->click(20 * size.cx / 640, 24 * size.cy / 480);
  }
  // A client pixel of the 640x480 logical point.
  int px(int x) const { return x * size.cx / 640; }
  int py(int y) const { return y * size.cy / 480; }
};

void BM_PointerMove(benchmark::State& state) {
  if (!bench::enterDatabase(state)) return;
  Viewer v(TSize{static_cast<int>(state.range(0)), static_cast<int>(state.range(1))});
  // Back and forth across the daily chart, one day apart, the readout switching corners.
  int i = 0;
  for (auto _ : state) {
    const int x = (i & 1) ? 300 : 340;
    v.driver->move(v.px(x + (i % 7) * 3), v.py(60 + (i % 50)));
    ++i;
  }
  if (v.driver->paintCount() > 2) state.SkipWithError("a pointer move repainted the chart");
}
BENCHMARK(BM_PointerMove)->Args({640, 480})->Args({1920, 1440})->Unit(benchmark::kMillisecond);

void BM_WheelStep(benchmark::State& state) {
  if (!bench::enterDatabase(state)) return;
  Viewer v(TSize{static_cast<int>(state.range(0)), static_cast<int>(state.range(1))});
  v.driver->move(v.px(300), v.py(60));
  int i = 0;
  for (auto _ : state) v.driver->wheel((i++ & 1) ? -1 : 1);
}
BENCHMARK(BM_WheelStep)->Args({1920, 1440})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
