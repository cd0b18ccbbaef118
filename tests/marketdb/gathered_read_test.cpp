// The gathered read of pelinoru.dat (many parts with a few calls) against the file's bytes taken
// straight from its text: every part, wherever it lies (close together, far apart, overlapping,
// past the end, before the start, empty), gets exactly the bytes one plain read gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "marketdb/files.h"
#include "marketdb/journal.h"
#include "tests/support/test_support.h"

namespace {

using marketdb::PriceRead;

// The bytes of `file` at [offset, offset + size), zeros where the file has none (and all zeros
// for a part said to start before the file).
std::string expectedBytes(const std::string& file, std::int64_t offset, std::size_t size) {
  std::string out(size, '\0');
  if (offset < 0) return out;
  for (std::size_t i = 0; i < size; ++i) {
    const std::int64_t at = offset + static_cast<std::int64_t>(i);
    if (at >= 0 && at < static_cast<std::int64_t>(file.size()))
      out[i] = file[static_cast<std::size_t>(at)];
  }
  return out;
}

struct Layout {
  const char* what;
  int parts;
  std::int64_t stride;   // distance between the starts of neighbouring parts (0: random)
  std::size_t maxSize;
};

TEST(GatheredRead, EveryPartGetsTheBytesOfAPlainRead) {
  testsupport::TempWorkDir dir;
  std::mt19937 random(13);
  std::string file(300000, '\0');
  for (char& c : file) c = static_cast<char>(random() & 0xFF);
  testsupport::writeFile(marketdb::PriceFileName, file);

  marketdb::DatabaseChange change;
  ASSERT_TRUE(change.lock());
  ASSERT_TRUE(change.openPrices());
  const auto size = static_cast<std::int64_t>(file.size());

  const Layout layouts[] = {
      {"one record per block, as a daily store reads", 2000, 11520, 18},
      {"ranges of a group, more parts than one call takes", 2500, 100, 90},
      {"gaps larger than the scratch buffer", 40, 70001, 300},
      {"random places, overlapping, past the end and before the start", 3000, 0, 2000},
  };
  for (const Layout& layout : layouts) {
    std::vector<std::string> got(static_cast<std::size_t>(layout.parts));
    std::vector<PriceRead> parts;
    std::vector<std::int64_t> offsets;
    for (int i = 0; i < layout.parts; ++i) {
      std::int64_t offset;
      if (layout.stride > 0)
        offset = i * layout.stride + static_cast<std::int64_t>(random() % 18);
      else
        offset = static_cast<std::int64_t>(random() % (size + 4000)) - 1000;
      const std::size_t n = random() % 7 == 0 ? 0 : 1 + random() % layout.maxSize;
      std::string& into = got[static_cast<std::size_t>(i)];
      into.assign(n, '\x55');
      offsets.push_back(offset);
      parts.push_back({offset, reinterpret_cast<unsigned char*>(into.data()), n});
    }
    // Given in no particular order.
    std::shuffle(parts.begin(), parts.end(), random);
    ASSERT_TRUE(change.readPricesGathered(parts)) << layout.what;
    for (int i = 0; i < layout.parts; ++i) {
      const std::string& bytes = got[static_cast<std::size_t>(i)];
      const std::int64_t offset = offsets[static_cast<std::size_t>(i)];
      ASSERT_EQ(bytes, expectedBytes(file, offset, bytes.size()))
          << layout.what << ": part " << i << " at " << offset << " of " << bytes.size();
      std::string plain(bytes.size(), '\0');
      change.readPrices(offset, reinterpret_cast<unsigned char*>(plain.data()), plain.size());
      ASSERT_EQ(bytes, plain) << layout.what << ": part " << i;
    }
  }
}

}  // namespace
