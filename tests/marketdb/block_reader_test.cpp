// The analysis's reader of pelinoru.dat gives exactly what the plain block reader gives.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "marketdb/files.h"
#include "marketdb/layout.h"
#include "marketdb/block_reader.h"
#include "tests/support/test_support.h"

namespace {

using namespace marketdb;

// The 640 records of a history as their bytes, so NaN dates and volumes compare too.
std::string bytesOf(const StockHistory& h) {
  std::string out;
  for (const DayRecord& r : h.day) {
    unsigned char b[DayRecordBytes];
    ClassicLayout.encodeRecord(r, b);
    out.append(reinterpret_cast<const char*>(b), sizeof b);
  }
  return out;
}

TEST(BlockReaderTest, EverySlotReadsAsThePlainReaderReadsIt) {
  const std::size_t sizes[] = {0, 5, 18, HistoryBlockBytes, 2 * HistoryBlockBytes + 18 * 100 + 7,
                               3 * HistoryBlockBytes};
  const int slots[] = {-1, 0, 1, 2, 3, 4, 1000, INT_MAX, INT_MIN};
  std::mt19937 rng(11);
  for (std::size_t size : sizes) {
    SCOPED_TRACE(size);
    testsupport::TempWorkDir dir;
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    testsupport::writeFile(PriceFileName, bytes);

    PriceFile plain;
    ASSERT_TRUE(plain.openForReading());
    BlockReader fast;
    ASSERT_TRUE(fast.open());
    for (int slot : slots) {
      auto a = std::make_unique<StockHistory>();
      auto b = std::make_unique<StockHistory>();
      // Something to overwrite, so a day left as it was would show.
      std::memset(static_cast<void*>(b.get()), 0x5A, sizeof *b);
      const bool plainWhole = plain.readHistory(slot, *a);
      const bool fastWhole = fast.readHistory(slot, *b);
      EXPECT_EQ(fastWhole, plainWhole) << "slot " << slot;
      EXPECT_EQ(bytesOf(*b), bytesOf(*a)) << "slot " << slot;
    }
  }
}

TEST(BlockReaderTest, AMissingFileDoesNotOpen) {
  testsupport::TempWorkDir dir;
  BlockReader fast;
  EXPECT_FALSE(fast.open());
  std::filesystem::create_directory(PriceFileName);
  PriceFile plain;
  // A folder opens for reading but holds no block, for either reader.
  if (plain.openForReading()) {
    ASSERT_TRUE(fast.open());
    auto a = std::make_unique<StockHistory>();
    auto b = std::make_unique<StockHistory>();
    EXPECT_EQ(fast.readHistory(0, *b), plain.readHistory(0, *a));
    EXPECT_EQ(bytesOf(*b), bytesOf(*a));
  }
}

}  // namespace
