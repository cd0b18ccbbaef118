// The day records of a wide price file: their 32 bytes, their places in the ring rows, and the
// blocks the readers gather from those rows; and the text files read and written through the
// folder's layout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
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
  std::uniform_real_distribution<double> volume(0, 1e15);
  DayRecord r;
  r.date = date(rng);
  r.open = price(rng);
  r.high = price(rng);
  r.low = price(rng);
  r.close = price(rng);
  r.change = change(rng);
  r.volume = rng() % 3 ? std::floor(volume(rng)) : volume(rng);
  return r;
}

bool same(const DayRecord& a, const DayRecord& b) {
  return a.date == b.date && a.open == b.open && a.high == b.high && a.low == b.low &&
         a.close == b.close && a.change == b.change && a.volume == b.volume;
}

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

// A wide price file of capacity 5 written byte by byte: stock slot r's day s at
// 4096 + (s * 5 + r) * 32. The file ends inside ring row 3, so row 3 holds slots 0 and 1 only
// and every later row reads as empty days.
TEST(WideRecords, ReadersGatherEachSlotsDaysFromTheRingRows) {
  TempWorkDir dir;
  constexpr int Capacity = 5;
  WideHeader header;
  header.capacity = Capacity;
  header.recordsAssigned = 4;
  std::string file = encodeWideHeader(header);
  std::mt19937_64 rng(7);
  std::vector<std::vector<DayRecord>> expected(Capacity, std::vector<DayRecord>(HistoryDays));
  for (int s = 0; s < 4; ++s) {
    for (int r = 0; r < Capacity; ++r) {
      if (s == 3 && r >= 2) break;
      const DayRecord rec = randomRecord(rng);
      expected[r][s] = rec;
      const std::size_t at = 4096 + static_cast<std::size_t>(s * Capacity + r) * 32;
      ASSERT_EQ(file.size(), at);
      file += packRecord(rec);
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
  ASSERT_TRUE(prices.openForReading());
  BlockReader blocks;
  ASSERT_TRUE(blocks.open());
  for (int slot = 0; slot < Capacity; ++slot) {
    EXPECT_TRUE(prices.readHistory(slot, *history));
    check(*history, slot);
    EXPECT_TRUE(blocks.readHistory(slot, *history));
    check(*history, slot);
    DayRecord one;
    EXPECT_TRUE(prices.readRecord(slot, 1, one));
    EXPECT_TRUE(same(one, expected[slot][1]));
    EXPECT_TRUE(prices.readRecord(slot, 600, one));
    EXPECT_TRUE(same(one, DayRecord{}));
  }
  EXPECT_FALSE(prices.readHistory(Capacity, *history));  // no place in the file
  EXPECT_FALSE(prices.readRecord(Capacity, 0, *history->day));

  // Slots 1..4 asked for from slot 1 with two more than there are: four blocks, one after the
  // other, each in ring order.
  const std::size_t block = HistoryDays * 32;
  std::vector<unsigned char> out(6 * block, 0xEE);
  EXPECT_EQ(blocks.readBlocks(1, 6, out.data()), 4 * block);
  for (int k = 0; k < 4; ++k) {
    WideLayout.decodeRecords(out.data() + k * block, HistoryDays, *history);
    check(*history, 1 + k);
  }

  // A day written lands at its hand-computed place and nowhere else.
  PriceFile writer;
  ASSERT_TRUE(writer.openForWriting());
  const DayRecord rec = randomRecord(rng);
  ASSERT_TRUE(writer.writeDay(3, 7, rec));
  writer.close();
  const std::string after = readFile(WidePriceFileName);
  const std::size_t at = 4096 + (7 * Capacity + 3) * 32;
  ASSERT_EQ(after.size(), at + 32);
  EXPECT_EQ(after.substr(at), packRecord(rec));
  EXPECT_EQ(after.substr(0, file.size()), file);
  EXPECT_EQ(after.find_first_not_of('\0', file.size()), at);
}

// The text readers and writers follow the folder's kind: a wide folder's files open with their
// magic line and keep letter codes and full dates; a damaged one is refused, not read in part.
TEST(WideRecords, TextFilesFollowTheFoldersKind) {
  TempWorkDir dir;
  writeFile(WideSystemFileName, "PELWIDE SYS 1\n");
  WideHeader header;
  header.recordsAssigned = 2;
  writeFile(WidePriceFileName, encodeWideHeader(header));

  SystemFile sys;
  sys.lastStoreDate = 20240105;
  sys.storePosition = 639;
  ASSERT_EQ(writeSystemFile(sys), FileStatus::Ok);
  EXPECT_EQ(readFile(WideSystemFileName).substr(0, 38), "PELWIDE SYS 1\n   0 20240105     0 639\n");
  SystemFile sysBack;
  ASSERT_EQ(readSystemFile(sysBack), FileStatus::Ok);
  EXPECT_EQ(sysBack.lastStoreDate, 20240105);
  EXPECT_EQ(sysBack.storePosition, 639);

  SettingsFile win;
  win.codes[0] = codeFromText("130A");
  win.codes[92] = codeFromText("7203");
  ASSERT_EQ(writeSettingsFile(win), FileStatus::Ok);
  SettingsFile winBack;
  ASSERT_EQ(readSettingsFile(winBack), FileStatus::Ok);
  EXPECT_EQ(codeText(winBack.codes[0]) + codeText(winBack.codes[92]), "130A7203");
  EXPECT_EQ(winBack.codes[1], NoStockCode);

  StockTable table(WideCapacity);
  const char* codes[] = {"7203", "130A", "1309"};
  for (int i = 0; i < 2; ++i) {
    table.kcodeidx[i] = codeFromText(codes[i]);
    std::strcpy(table.kmeiidx[i].text, codes[i]);
    table.krecordi[i] = i;
  }
  table.kcodeidx[2] = StockCodeEnd;
  ASSERT_EQ(writeStockTable(table), FileStatus::Ok);
  StockTable back(WideCapacity);
  ASSERT_EQ(readStockTable(back), FileStatus::Ok);
  ASSERT_EQ(back.count, 2);
  EXPECT_EQ(codeText(back.kcodeidx[0]) + codeText(back.kcodeidx[1]), "130A7203");
  EXPECT_EQ(back.krecordi[0], 1);
  EXPECT_EQ(back.findStock(codeFromText("7203")), 1);
  EXPECT_EQ(back.findStock(codeFromText("1309")), -1);

  // The header gives three slots but the index holds two: refused, and the table untouched.
  header.recordsAssigned = 3;
  writeFile(WidePriceFileName, encodeWideHeader(header));
  StockTable refused(WideCapacity);
  EXPECT_EQ(readStockTable(refused), FileStatus::Damaged);
  EXPECT_EQ(refused.count, 0);
  EXPECT_NE(fileStatusMessage(FileStatus::Damaged, WideIndexFileName).find(WideIndexFileName),
            std::string::npos);

  writeFile(WideSystemFileName, "PELWIDE SYS 2\n   0 20240105     0 639\n");
  EXPECT_EQ(readSystemFile(sysBack), FileStatus::Damaged);
  EXPECT_NE(damagedFileMessage().find(WideSystemFileName), std::string::npos);
  std::remove(WideSettingsFileName);
  EXPECT_EQ(readSettingsFile(winBack), FileStatus::Missing);
}

}  // namespace
