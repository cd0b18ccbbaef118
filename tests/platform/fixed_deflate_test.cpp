// The fixed-code deflate encoder, read back by zlib's inflate: two streams, the first ended on a
// byte boundary, make one stream of both inputs, whatever the bits left over at each end.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "platform/gdi/fixed_deflate.h"

namespace {

// Inflates a raw deflate stream; empty on any error or when bytes are left over.
std::vector<std::uint8_t> inflateRaw(const std::vector<std::uint8_t>& in, std::size_t expected) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return {};
  std::vector<std::uint8_t> out(expected + 16);
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int result = inflate(&z, Z_FINISH);
  const bool ok = result == Z_STREAM_END && z.avail_in == 0;
  out.resize(z.total_out);
  inflateEnd(&z);
  return ok ? out : std::vector<std::uint8_t>{};
}

// Rows of `line` bytes: runs, repeats of earlier rows, periodic dots and random bytes.
std::vector<std::uint8_t> rows(std::size_t length, std::size_t line, std::mt19937& rng) {
  std::vector<std::uint8_t> data(length);
  for (std::size_t i = 0; i < length; ++i) {
    switch (rng() % 4) {
      case 0: data[i] = i > 0 ? data[i - 1] : 0; break;
      case 1: data[i] = i >= line ? data[i - line] : 7; break;
      case 2: data[i] = i % 9 == 0 ? 0xA5 : 0; break;
      default: data[i] = static_cast<std::uint8_t>(rng()); break;
    }
  }
  return data;
}

}  // namespace

TEST(FixedDeflate, TwoStreamsInflateToBothInputsWhateverTheirLengths) {
  std::mt19937 rng(5);
  for (std::size_t first = 0; first < 40; ++first) {
    const std::size_t line = 1 + rng() % 50;
    const std::vector<std::uint8_t> a = rows(first * 7 + rng() % 7, line, rng);
    const std::vector<std::uint8_t> b = rows(rng() % 300, line, rng);
    std::vector<std::uint8_t> stream;
    {
      pelinor::gdi::FixedDeflate head(stream, false);
      head.compress(a.data(), a.size(), line);
      head.finish();
    }
    {
      pelinor::gdi::FixedDeflate tail(stream, true);
      // in two calls: matches stay within each
      tail.compress(b.data(), b.size() / 2, line);
      tail.compress(b.data() + b.size() / 2, b.size() - b.size() / 2, line);
      tail.finish();
    }
    std::vector<std::uint8_t> both = a;
    both.insert(both.end(), b.begin(), b.end());
    EXPECT_EQ(inflateRaw(stream, both.size()), both) << "case " << first;
  }
}

TEST(FixedDeflate, LongRunsAndFarRepeatsUseEveryLengthAndDistanceCode) {
  // Runs of every length from 1 to 600 and rows repeated up to the whole window away.
  std::vector<std::uint8_t> data;
  for (int run = 1; run <= 600; ++run) data.insert(data.end(), static_cast<std::size_t>(run), static_cast<std::uint8_t>(run));
  const std::size_t line = 16000;
  std::mt19937 rng(9);
  std::vector<std::uint8_t> row(line);
  for (auto& b : row) b = static_cast<std::uint8_t>(rng());
  for (int k = 0; k < 3; ++k) data.insert(data.end(), row.begin(), row.end());
  std::vector<std::uint8_t> stream;
  pelinor::gdi::FixedDeflate deflate(stream, true);
  deflate.compress(data.data(), data.size(), line);
  deflate.finish();
  EXPECT_EQ(inflateRaw(stream, data.size()), data);
  EXPECT_LT(stream.size(), data.size() / 2);  // the repeats were found
}
