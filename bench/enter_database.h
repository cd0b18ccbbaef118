// The viewer benchmarks run on a database that bench/run.sh makes (of either kind):
// PELINOR_BENCH_DB names its folder, which becomes the working directory.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace bench {

inline bool enterDatabase(benchmark::State& state) {
  namespace fs = std::filesystem;
  const char* folder = std::getenv("PELINOR_BENCH_DB");
  std::error_code ec;
  if (!folder || !*folder ||
      (!fs::exists(fs::path(folder) / "pelinoru.idx", ec) &&
       !fs::exists(fs::path(folder) / "pelwide.idx", ec))) {
    state.SkipWithError("PELINOR_BENCH_DB does not name a database folder");
    return false;
  }
  fs::current_path(folder, ec);
  if (ec) {
    state.SkipWithError("cannot enter PELINOR_BENCH_DB");
    return false;
  }
  return true;
}

}  // namespace bench
