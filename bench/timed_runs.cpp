// Whole-process figures for bench/run.sh: runs a program several times and prints one line
//   WALL_MS CPU_MS PEAK_KIB
// the median wall time, the median user + system time, and the largest peak resident memory
// over the runs. Options: -n RUNS (default 5); -C DIR (run there); -s COMMAND (a shell command
// run in DIR before each run, not timed, e.g. to restore a database). Output of the program is
// discarded; a run that fails stops the tool with status 1.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int usage() {
  std::fprintf(stderr, "usage: timed_runs [-n RUNS] [-C DIR] [-s SETUP-COMMAND] PROGRAM [ARG...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::string dir = ".";
  std::string setup;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; i += 2) {
    const std::string opt = argv[i];
    if (i + 1 >= argc) return usage();
    if (opt == "-n") {
      runs = std::atoi(argv[i + 1]);
    } else if (opt == "-C") {
      dir = argv[i + 1];
    } else if (opt == "-s") {
      setup = argv[i + 1];
    } else {
      return usage();
    }
  }
  if (i >= argc || runs < 1) return usage();
  if (chdir(dir.c_str()) != 0) {
    std::perror(dir.c_str());
    return 1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

  std::vector<double> wall, cpu;
  long peak = 0;
  for (int r = 0; r < runs; ++r) {
    if (!setup.empty() && std::system(setup.c_str()) != 0) {
      std::fprintf(stderr, "timed_runs: the setup command failed\n");
      return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[i], &actions, nullptr, argv + i, environ) != 0) {
      std::perror(argv[i]);
      return 1;
    }
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) return 1;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "timed_runs: %s failed (status %d)\n", argv[i], status);
      return 1;
    }
    wall.push_back(took.count());
    cpu.push_back((usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                  (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
    peak = std::max(peak, usage.ru_maxrss);
  }
  std::printf("%.1f %.1f %ld\n", median(wall), median(cpu), peak);
  return 0;
}
