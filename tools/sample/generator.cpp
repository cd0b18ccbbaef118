// Price walks of the sample stocks and the daily files they are written to.
//
// All stocks of one kind move together with a common market factor plus their own noise; the
// composite index follows the market factor. Every value comes from the seeded generator and
// basic arithmetic only, so a seed always gives the same bytes.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tools/sample/random.h"
#include "tools/sample/sample_data.h"
#include "tools/sample/universe.h"

namespace pelinor::sample {
namespace {

constexpr double PriceCeiling = 32767;          // a classic file's prices are 16-bit
constexpr double WidePriceCeiling = 99999999;   // the extended form takes eight digits

// Prices move in ticks that grow with the price, as on the exchange.
double tickOf(double price) {
  if (price < 3000) return 1;
  if (price < 5000) return 5;
  if (price < 30000) return 10;
  if (price < 50000) return 50;
  if (price < 300000) return 100;
  if (price < 500000) return 500;
  return 1000;
}

double roundToTick(double price, double ceiling) {
  const double tick = tickOf(price);
  return std::clamp(std::floor(price / tick + 0.5) * tick, 1.0, ceiling);
}

// The first line of a daily file in the extended form.
constexpr const char* WideHeader = "#PELWIDE DAILY 1\n";

struct Bar {
  int open, high, low, close, change;
  double volume;
};

// Walk state of one stock.
struct Walker {
  const SampleStock* stock;
  SplitMix rng;
  double previous;  // last close (adjusted after a split)
  double volume;
  double ceiling = PriceCeiling;

  // Keeps a price between two bounds by turning the move around when it would leave them.
  static double bounce(double previous, double next, double low, double high) {
    if (next > high) return std::max(low, previous - (next - previous));
    if (next < low) return std::min(high, previous + (previous - next));
    return next;
  }

  void bounds(int day, double& low, double& high) const {
    if (stock->isIndex) {
      low = 18000;
      high = 32000;
    } else if (stock->splitDay >= 0) {
      const bool after = day >= stock->splitDay;
      low = after ? 900 : 9000;
      high = after ? 1600 : 16000;
    } else {
      low = stock->lowBound;
      high = stock->highBound;
    }
  }

  // One trading day; false when the stock has no line that day.
  bool step(int day, double market, Bar& bar) {
    if (day < stock->firstDay || day > stock->lastDay) return false;
    if (day == stock->splitDay) {
      previous /= 10;
      volume *= 10;
    }
    double move = stock->beta * market + stock->sigma * rng.normal();
    if (!stock->isIndex && rng.chance(0.01)) move += 0.06 * rng.normal();  // news
    move = std::clamp(move, -0.2, 0.2);
    const double gap = 0.4 * stock->sigma * rng.normal();
    const double upper = 0.5 * stock->sigma * std::fabs(rng.normal());
    const double lower = 0.5 * stock->sigma * std::fabs(rng.normal());
    const double spike = rng.chance(0.03) ? 3 + 7 * rng.uniform() : 1;
    const double size = 0.5 + rng.uniform();
    if (day != stock->firstDay && !rng.chance(stock->tradeChance)) return false;  // no trade

    double low, high;
    bounds(day, low, high);
    const double round = stock->isIndex ? 1 : 0;  // the index moves in whole yen
    auto quantise = [&](double p) {
      return round ? std::clamp(std::floor(p + 0.5), 1.0, ceiling) : roundToTick(p, ceiling);
    };
    const double close = quantise(bounce(previous, previous * (1 + move), low, high));
    const double open = quantise(bounce(previous, previous * (1 + gap), low, high));
    const double top = std::max(open, close);
    const double bottom = std::min(open, close);
    double hi = quantise(top * (1 + upper));
    double lo = quantise(bottom * (1 - lower));
    hi = std::max(hi, top);
    lo = std::min(lo, bottom);

    bar.open = static_cast<int>(open);
    bar.high = static_cast<int>(hi);
    bar.low = static_cast<int>(lo);
    bar.close = static_cast<int>(close);
    bar.change = static_cast<int>(close - std::floor(previous + 0.5));
    bar.volume = std::max(1.0, std::floor(volume * size * spike));
    previous = close;
    return true;
  }
};

void appendLine(std::string& out, const SampleStock& s, const Bar& bar, int date) {
  char buf[160];
  int n = std::snprintf(buf, sizeof buf, "\"%s\",%d,%d,%d,%d,%d,%.0f,%06d,%d,%d\n", s.name.c_str(),
                        bar.open, bar.high, bar.low, bar.close, bar.change, bar.volume, date,
                        s.market, s.code * 10);
  out.append(buf, static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(sizeof buf) - 1)));
}

// A line of the extended form: full date and the five-character code (the code and a 0).
void appendWideLine(std::string& out, const SampleStock& s, const Bar& bar, int date) {
  char buf[160];
  int n = std::snprintf(buf, sizeof buf, "\"%s\",%d,%d,%d,%d,%d,%.0f,%08d,%d,%s0\n",
                        s.name.c_str(), bar.open, bar.high, bar.low, bar.close, bar.change,
                        bar.volume, fullDate(date), s.market, s.wideCode.c_str());
  out.append(buf, static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(sizeof buf) - 1)));
}

// The four characters of a code as one number, to seed the stock's own stream.
std::uint64_t codeKey(const std::string& code) {
  std::uint64_t key = 0;
  for (unsigned char c : code) key = key << 8 | c;
  return key;
}

bool writeFile(const std::string& path, const std::string& contents, std::string& error) {
  std::FILE* fp = std::fopen(path.c_str(), "wb");
  if (!fp) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(contents.data(), 1, contents.size(), fp) == contents.size();
  if (std::fclose(fp) != 0) ok = false;
  if (!ok) error = path + ": write failed";
  return ok;
}

bool generateKind(const SampleOptions& options, char kind, const std::vector<int>& calendar,
                  std::string& error, int& files) {
  const int days = static_cast<int>(calendar.size());
  const bool wide = options.wide;
  const std::vector<SampleStock> stocks =
      wide ? buildWideUniverse(kind, options.stocks, days, options.seed)
           : buildUniverse(kind, options.stocks, days, options.seed);
  std::vector<Walker> walkers;
  walkers.reserve(stocks.size());
  const std::uint64_t kindSeed = wide ? wideStream(kind) : static_cast<std::uint64_t>(kind);
  for (const SampleStock& s : stocks) {
    const std::uint64_t code =
        wide ? codeKey(s.wideCode) : static_cast<std::uint64_t>(s.code);
    walkers.push_back(Walker{&s, SplitMix(mixSeed(options.seed, kindSeed, 1000 + code)), s.level,
                             s.volume, wide ? WidePriceCeiling : PriceCeiling});
  }
  const auto append = wide ? appendWideLine : appendLine;
  SplitMix marketRng(mixSeed(options.seed, kindSeed, 2));

  std::string body;
  for (int day = 0; day < days; ++day) {
    const double market = 0.009 * marketRng.normal();
    body.clear();
    double total = 0;
    Bar bar{};
    for (std::size_t i = 1; i < walkers.size(); ++i) {
      if (!walkers[i].step(day, market, bar)) continue;
      total += bar.volume;
      append(body, stocks[i], bar, calendar[static_cast<std::size_t>(day)]);
    }
    std::string contents = wide ? WideHeader : "";
    if (!walkers.empty() && walkers[0].step(day, market, bar)) {
      bar.volume = std::max(1.0, std::floor(total));
      append(contents, stocks[0], bar, calendar[static_cast<std::size_t>(day)]);
    }
    contents += body;
    char name[16];
    std::snprintf(name, sizeof name, "%c%06d", kind, calendar[static_cast<std::size_t>(day)]);
    if (!writeFile((std::filesystem::path(options.outDir) / name).string(), contents, error))
      return false;
    ++files;
  }
  return true;
}

}  // namespace

std::string checkOptions(const SampleOptions& options) {
  if (options.outDir.empty()) return "no output folder given (--out DIR)";
  if (!options.writeW && !options.writeN) return "no kind of file chosen (--kind W, N or both)";
  const int maxStocks = options.wide ? MaxWideSampleStocks : MaxSampleStocks;
  if (options.stocks < 1 || options.stocks > maxStocks)
    return "the number of stocks must be 1 to " + std::to_string(maxStocks);
  if (options.days < 1 || options.days > MaxSampleDays)
    return "the number of days must be 1 to " + std::to_string(MaxSampleDays);
  if (!validDate(options.endDate)) return "the end date is not a date yymmdd";
  if (tradingDays(options.endDate, options.days).empty())
    return "that many trading days would start before 1946";
  return {};
}

bool generateSampleData(const SampleOptions& options, std::string& error, int* filesWritten) {
  int files = 0;
  if (filesWritten) *filesWritten = 0;
  error = checkOptions(options);
  if (!error.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(options.outDir, ec);
  if (ec || !std::filesystem::is_directory(options.outDir)) {
    error = options.outDir + ": cannot create the folder" + (ec ? " (" + ec.message() + ")" : "");
    return false;
  }
  const std::vector<int> calendar = tradingDays(options.endDate, options.days);
  bool ok = (!options.writeW || generateKind(options, 'W', calendar, error, files)) &&
            (!options.writeN || generateKind(options, 'N', calendar, error, files));
  if (filesWritten) *filesWritten = files;
  return ok;
}

}  // namespace pelinor::sample
