// pelinor-sample: writes deterministic sample daily price files.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/sample/sample_data.h"

namespace {

void usage(std::FILE* to) {
  std::fprintf(to,
               "usage: pelinor-sample --out DIR [--kind W|N|both] [--stocks N] [--days N]\n"
               "                      [--end YYMMDD] [--seed S] [--wide]\n"
               "  --out DIR     folder for the files W<yymmdd> / N<yymmdd> (created if absent)\n"
               "  --kind        which files to write (default both; W with --wide)\n"
               "  --stocks N    stocks per kind over the whole period, index included\n"
               "                (default 300, at most 3019; with --wide 4000, at most 10000)\n"
               "  --days N      trading days (default 720)\n"
               "  --end YYMMDD  last day of the calendar (default 261204)\n"
               "  --seed S      random seed (default 1); the same seed gives the same files\n"
               "  --wide        today's whole market for a wide database: every stock every day,\n"
               "                codes with letters (130A), prices above 32,767 yen, large volumes,\n"
               "                in the extended form (first line \"#PELWIDE DAILY 1\")\n");
}

bool parseInt(const char* s, long long low, long long high, long long& out) {
  if (!s || !*s) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(s, &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  out = v;
  return true;
}

bool parseSeed(const char* s, unsigned long long& out) {
  if (!s || !*s || *s == '-') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(s, &end, 10);
  if (errno != 0 || *end != '\0') return false;
  out = v;
  return true;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "pelinor-sample: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  pelinor::sample::SampleOptions options;
  bool kindGiven = false, stocksGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return 0;
    }
    if (arg == "--wide") {
      options.wide = true;
      continue;
    }
    const bool known = arg == "--out" || arg == "--kind" || arg == "--stocks" ||
                       arg == "--days" || arg == "--end" || arg == "--seed";
    if (!known) {
      usage(stderr);
      return fail("unknown argument " + arg);
    }
    if (i + 1 >= argc) return fail(arg + " needs a value");
    const char* value = argv[++i];
    long long n = 0;
    if (arg == "--out") {
      options.outDir = value;
    } else if (arg == "--kind") {
      const std::string k = value;
      kindGiven = true;
      if (k == "W" || k == "w") {
        options.writeW = true;
        options.writeN = false;
      } else if (k == "N" || k == "n") {
        options.writeW = false;
        options.writeN = true;
      } else if (k == "both") {
        options.writeW = options.writeN = true;
      } else {
        return fail("--kind takes W, N or both");
      }
    } else if (arg == "--stocks") {
      // The limit depends on --wide, which may come later: checked after the loop.
      if (!parseInt(value, 1, pelinor::sample::MaxWideSampleStocks, n)) n = 0;
      options.stocks = static_cast<int>(n);
      stocksGiven = true;
    } else if (arg == "--days") {
      if (!parseInt(value, 1, pelinor::sample::MaxSampleDays, n))
        return fail("--days takes a number from 1 to " +
                    std::to_string(pelinor::sample::MaxSampleDays));
      options.days = static_cast<int>(n);
    } else if (arg == "--end") {
      if (!parseInt(value, 0, 991231, n) || !pelinor::sample::validDate(static_cast<int>(n)))
        return fail("--end takes a date yymmdd, for example 261204");
      options.endDate = static_cast<int>(n);
    } else if (arg == "--seed") {
      unsigned long long seed = 0;
      if (!parseSeed(value, seed)) return fail("--seed takes a whole number 0 or more");
      options.seed = seed;
    }
  }
  const int maxStocks = options.wide ? pelinor::sample::MaxWideSampleStocks
                                     : pelinor::sample::MaxSampleStocks;
  if (stocksGiven && (options.stocks < 1 || options.stocks > maxStocks))
    return fail("--stocks takes a number from 1 to " + std::to_string(maxStocks));
  // The wide market is the Tokyo exchange's: one kind of file and its full size unless asked.
  if (options.wide && !kindGiven) options.writeN = false;
  if (options.wide && !stocksGiven) options.stocks = pelinor::sample::WideSampleStocks;
  if (options.outDir.empty()) {
    usage(stderr);
    return fail("--out DIR is required");
  }
  std::string error;
  int files = 0;
  if (!pelinor::sample::generateSampleData(options, error, &files)) return fail(error);
  std::printf("pelinor-sample: wrote %d files to %s\n", files, options.outDir.c_str());
  return 0;
}
