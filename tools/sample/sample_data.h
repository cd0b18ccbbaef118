// Deterministic sample daily price files, for trying the programs out and for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelinor::sample {

struct SampleOptions {
  std::string outDir;
  bool writeW = true;          // Tokyo first and second section files W<yymmdd>
  bool writeN = true;          // over-the-counter, Osaka and foreign files N<yymmdd>
  int stocks = 300;            // distinct codes over the whole period, the index included
  int days = 720;              // trading days, ending at endDate
  int endDate = 261204;        // yymmdd; the last trading day on or before it ends the calendar
  std::uint64_t seed = 1;
  bool wide = false;  // today's whole market: codes with letters, larger prices and volumes,
                      // written in the extended daily-file form
};

constexpr int MaxSampleStocks = 3019;
constexpr int WideSampleStocks = 4000;  // the wide market's usual size
constexpr int MaxWideSampleStocks = 10000;
constexpr int MaxSampleDays = 20000;
constexpr int IndexCode = 1001;

// Checks the options; returns an empty string when they are usable, else the reason.
std::string checkOptions(const SampleOptions& options);

// The trading days (yymmdd, ascending) of the calendar: weekdays that are not holidays, the last
// one on or before endDate. Empty when the calendar would leave the 1946..2045 window.
std::vector<int> tradingDays(int endDate, int days);

// Whether yymmdd is a real calendar date in the 1946..2045 window.
bool validDate(int yymmdd);

// The date yyyymmdd of a yymmdd in the 1946..2045 window.
int fullDate(int yymmdd);

// Writes the files into options.outDir (created when absent). On failure returns false with a
// message in error; files already written stay.
bool generateSampleData(const SampleOptions& options, std::string& error,
                        int* filesWritten = nullptr);

}  // namespace pelinor::sample
