// The stocks of the sample data: codes spread over the code ranges of the real market's
// sectors, CP932 names padded to 14 bytes, market codes, and the parameters of each price walk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelinor::sample {

struct SampleStock {
  int code = 0;
  std::string name;      // exactly 14 bytes of CP932, no ASCII white space
  int market = 0;        // market code of the daily file
  bool isIndex = false;  // the composite index, code 1001, present every day
  double level = 1000;   // starting price
  double sigma = 0.02;   // daily volatility
  double beta = 1.0;     // sensitivity to the market's move
  double volume = 1000;  // usual daily volume
  double tradeChance = 1.0;  // probability of trading on a day
  int firstDay = 0;          // first trading day index (a new listing starts later)
  int lastDay = 0;           // last trading day index (a delisted stock stops earlier)
  int splitDay = -1;         // day of a 10-for-1 split, -1 for none
};

// The stocks of one kind ('W' or 'N'), ascending by code.
std::vector<SampleStock> buildUniverse(char kind, int stocks, int days, std::uint64_t seed);

// Pads a CP932 name to exactly 14 bytes (full-width blanks, one '_' for an odd byte); longer
// names are cut at a character boundary first.
std::string padName(const std::string& cp932);

}  // namespace pelinor::sample
