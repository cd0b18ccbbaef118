// The stocks of the sample data: codes spread over the code ranges of the real market's
// sectors, CP932 names padded to 14 bytes, market codes, and the parameters of each price walk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelinor::sample {

struct SampleStock {
  int code = 0;          // the classic numeric code; 0 in the wide market
  std::string wideCode;  // the wide market's four-character code ("1301", "130A"); empty in classic
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
  double lowBound = 20;      // an ordinary stock's price stays between these two
  double highBound = 28000;
};

// The stocks of one kind ('W' or 'N'), ascending by code.
std::vector<SampleStock> buildUniverse(char kind, int stocks, int days, std::uint64_t seed);

// The stocks of the wide market of one kind: every stock trades every day, a sixteenth of the
// codes carry letters, a hundredth of the stocks are priced above 32,767 yen and a few trade more
// than 16,777,216 shares on a busy day. Ascending in code order (character by character, digits
// before letters). Drawn from a random stream of its own, apart from the classic market's.
std::vector<SampleStock> buildWideUniverse(char kind, int stocks, int days, std::uint64_t seed);

// The random stream of the wide market of one kind, apart from the classic kinds' 'W' and 'N'.
inline std::uint64_t wideStream(char kind) {
  return 0x5749444500ull | static_cast<unsigned char>(kind);
}

// Pads a CP932 name to exactly 14 bytes (full-width blanks, one '_' for an odd byte); longer
// names are cut at a character boundary first.
std::string padName(const std::string& cp932);

}  // namespace pelinor::sample
