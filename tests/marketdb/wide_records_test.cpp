// The day records of a wide price file: their 32 bytes, their places in the ring rows, and the
// blocks the readers gather from those rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "marketdb/block_reader.h"
#include "marketdb/files.h"
#include "marketdb/layout.h"
#include "marketdb/wide_header.h"
#include "tests/support/test_support.h"

using namespace marketdb;
using testsupport::readFile;
using testsupport::TempWorkDir;
using testsupport::writeFile;

namespace {

// The record's 32 bytes as written here: six little-endian int32 and a float64.
std::string packRecord(const DayRecord& r) {
  std::string b(32, '\0');
  const std::int32_t v[6] = {r.date, r.open, r.high, r.low, r.close, r.change};
  for (int f = 0; f < 6; ++f)
    for (int i = 0; i < 4; ++i)
      b[4 * f + i] = static_cast<char>(static_cast<std::uint32_t>(v[f]) >> (8 * i));
  std::uint64_t bits;
  std::memcpy(&bits, &r.volume, 8);
  for (int i = 0; i < 8; ++i) b[24 + i] = static_cast<char>(bits >> (8 * i));
  return b;
}

DayRecord randomRecord(std::mt19937_64& rng) {
  std::uniform_int_distribution<std::int32_t> price(0, 99999999), change(-99999999, 99999999),
      date(19000101, 20991231);
  const double volume = std::uniform_real_distribution<double>(0, 1e15)(rng);
  return {date(rng), price(rng), price(rng), price(rng), price(rng), change(rng),
          rng() % 3 ? std::floor(volume) : volume};
}

bool same(const DayRecord& a, const DayRecord& b) { return packRecord(a) == packRecord(b); }

TEST(WideRecords, EncodeAndDecodeKeepEveryValueOfTheWideRanges) {
  std::mt19937_64 rng(23);
  unsigned char bytes[32];
  for (int i = 0; i < 20000; ++i) {
    const DayRecord r = randomRecord(rng);
    WideLayout.encodeRecord(r, bytes);
    ASSERT_EQ(std::string(reinterpret_cast<char*>(bytes), 32), packRecord(r)) << i;
    ASSERT_TRUE(same(WideLayout.decodeRecord(bytes), r)) << i;
  }
}

// A wide price file of capacity 5 written byte by byte, in either version: stock slot r's day s
// at 4096 + (s * 5 + r) * 32 in the first (a ring row per day), at 4096 + (s / 8) * 5 * 256 +
// r * 256 + (s % 8) * 32 in the second (tiles of eight days). The file ends inside the record of
// slot 2's day 3, so every record from there on reads as an empty day.
class WideRecordPlaces : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(WideRecordPlaces, ReadersGatherEachSlotsDaysFromWhereTheVersionPutsThem) {
  TempWorkDir dir;
  constexpr int Capacity = 5;
  const std::uint32_t version = GetParam();
  const auto place = [version](int r, int s) -> std::size_t {
    if (version == 1) return 4096 + static_cast<std::size_t>(s * Capacity + r) * 32;
    return 4096 + static_cast<std::size_t>(s / 8 * Capacity * 256 + r * 256 + s % 8 * 32);
  };
  WideHeader header;
  header.version = version;
  header.capacity = Capacity;
  header.recordsAssigned = 4;
  std::string file = encodeWideHeader(header);
  const std::size_t end = place(2, 3) + 7;
  file.resize(end, '\0');
  std::mt19937_64 rng(7);
  std::vector<std::vector<DayRecord>> expected(Capacity, std::vector<DayRecord>(HistoryDays));
  for (int s = 0; s < 16; ++s) {
    for (int r = 0; r < Capacity; ++r) {
      const DayRecord rec = randomRecord(rng);
      if (place(r, s) + 32 > end) continue;
      expected[r][s] = rec;
      file.replace(place(r, s), 32, packRecord(rec));
    }
  }
  writeFile(WidePriceFileName, file);
  writeFile(WideSystemFileName, "PELWIDE SYS 1\n");  // makes the folder a wide one

  const auto check = [&](const StockHistory& h, int slot) {
    for (int s = 0; s < HistoryDays; ++s)
      ASSERT_TRUE(same(h.day[s], expected[slot][s])) << "slot " << slot << " day " << s;
  };
  auto history = std::make_unique<StockHistory>();
  PriceFile prices;
  BlockReader blocks;
  ASSERT_TRUE(prices.openForReading() && blocks.open());
  ASSERT_EQ(blocks.layout().tileDays, version == 1 ? 1 : 8);
  for (int slot = 0; slot < Capacity; ++slot) {
    EXPECT_TRUE(prices.readHistory(slot, *history));
    check(*history, slot);
    EXPECT_TRUE(blocks.readHistory(slot, *history));
    check(*history, slot);
    EXPECT_TRUE(prices.readRecord(slot, 1, history->day[0]));
    EXPECT_TRUE(same(history->day[0], expected[slot][1]));
  }
  EXPECT_FALSE(prices.readHistory(Capacity, *history));  // no place in the file

  // Slots 1..4 asked for from slot 1 with two more than there are: as four blocks, one after
  // the other, each in ring order; and as the analysis reads them, rows left in place (slot
  // 1 + k's day s at k * slotStep + run.at(s), the rows past the file's end as empty days).
  const std::size_t block = HistoryDays * 32;
  std::vector<unsigned char> out(6 * block, 0xEE);
  const DatabaseLayout& layout = blocks.layout();
  std::vector<unsigned char> rows(layout.runBytes(6), 0xEE);
  EXPECT_EQ(blocks.readBlocks(1, 6, out.data()), 4 * block);
  const DatabaseLayout::RecordRun run = blocks.readRun(1, 6, rows.data());
  EXPECT_EQ(run.held, 4 * block);
  // Read in two parts of its rows, as two threads fill one buffer, the run is the same.
  std::vector<unsigned char> parts(rows.size(), 0xEE);
  EXPECT_EQ(blocks.readRun(1, 6, parts.data(), 296, HistoryDays).held, run.held);
  EXPECT_EQ(blocks.readRun(1, 6, parts.data(), 0, 296).tileStep, run.tileStep);
  for (int k = 0; k < 4; ++k)
    for (int s = 0; s < HistoryDays; ++s)
      ASSERT_TRUE(std::equal(rows.begin() + k * run.slotStep + run.at(s),
                             rows.begin() + k * run.slotStep + run.at(s) + 32,
                             parts.begin() + k * run.slotStep + run.at(s))) << "day " << s;
  for (std::size_t k = 0; k < 4; ++k) {
    WideLayout.decodeRecords(out.data() + k * block, HistoryDays, *history);
    check(*history, 1 + static_cast<int>(k));
    for (int s = 0; s < HistoryDays; ++s)
      ASSERT_TRUE(same(layout.decodeRecord(rows.data() + k * run.slotStep + run.at(s)),
                       expected[1 + k][s]))
          << "slot " << 1 + k << " day " << s;
  }

  // A day written lands at its hand-computed place and nowhere else.
  PriceFile writer;
  ASSERT_TRUE(writer.openForWriting());
  const DayRecord rec = randomRecord(rng);
  ASSERT_TRUE(writer.writeDay(3, 7, rec));
  writer.close();
  const std::string after = readFile(WidePriceFileName);
  const std::size_t at = place(3, 7);
  ASSERT_EQ(after.size(), at + 32);
  EXPECT_EQ(after.substr(at), packRecord(rec));
  EXPECT_EQ(after.substr(0, file.size()), file);
  EXPECT_EQ(after.find_first_not_of('\0', file.size()), at);
}

INSTANTIATE_TEST_SUITE_P(Versions, WideRecordPlaces, ::testing::Values(1u, 2u));

}  // namespace
