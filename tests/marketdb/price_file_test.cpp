// pelinoru.dat: the 18-byte day record layout and block access.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "marketdb/files.h"
#include "marketdb/layout.h"
#include "tests/support/test_support.h"

using namespace marketdb;
using testsupport::readFile;
using testsupport::TempWorkDir;

namespace {

DayRecord sampleRecord() {
  DayRecord r;
  r.date = 19991231;  // 991231 in the file
  r.open = 100;
  r.high = -2;
  r.low = 0x1234;
  r.close = 32767;
  r.change = -32768;
  r.volume = 1.5f;
  return r;
}

// 991231 = 1.1110001111111111111b x 2^19 -> 0x4971FFF0; 1.5 -> 0x3FC00000.
const unsigned char kSampleBytes[DayRecordBytes] = {0xF0, 0xFF, 0x71, 0x49, 0x64, 0x00,
                                                    0xFE, 0xFF, 0x34, 0x12, 0xFF, 0x7F,
                                                    0x00, 0x80, 0x00, 0x00, 0xC0, 0x3F};

void expectSame(const DayRecord& a, const DayRecord& b) {
  EXPECT_EQ(a.date, b.date);
  EXPECT_EQ(a.open, b.open);
  EXPECT_EQ(a.high, b.high);
  EXPECT_EQ(a.low, b.low);
  EXPECT_EQ(a.close, b.close);
  EXPECT_EQ(a.change, b.change);
  EXPECT_EQ(a.volume, b.volume);
}

bool isEmpty(const DayRecord& r) {
  return r.date == 0 && r.open == 0 && r.high == 0 && r.low == 0 && r.close == 0 &&
         r.change == 0 && r.volume == 0;
}

}  // namespace

TEST(DayRecordTest, EncodesLittleEndianPackedFields) {
  unsigned char out[DayRecordBytes];
  ClassicLayout.encodeRecord(sampleRecord(), out);
  for (int i = 0; i < DayRecordBytes; ++i) EXPECT_EQ(out[i], kSampleBytes[i]) << "byte " << i;
  expectSame(ClassicLayout.decodeRecord(kSampleBytes), sampleRecord());
}

// Every sound record (a whole yymmdd or 0, any 16-bit prices, any finite float volume) is written
// back as the bytes it was read from; a date that is not a whole yymmdd reads as -1.
TEST(DayRecordTest, SoundRecordsConvertBackToTheirBytes) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> yymmdd(0, 999999);
  const float damaged[] = {0.5f, -3.0f, 1e6f, 123456.25f, std::nanf("")};
  for (int i = 0; i < 20000; ++i) {
    unsigned char in[DayRecordBytes];
    for (unsigned char& b : in) b = static_cast<unsigned char>(rng());
    const float date = static_cast<float>(i % 10 == 0 ? 0 : yymmdd(rng));
    float volume;
    std::memcpy(&volume, in + 14, 4);
    if (!std::isfinite(volume)) volume = 0.0f;
    putLittle(in, std::bit_cast<std::uint32_t>(date), 4);
    putLittle(in + 14, std::bit_cast<std::uint32_t>(volume), 4);
    const DayRecord r = ClassicLayout.decodeRecord(in);
    ASSERT_EQ(r.date, date == 0 ? 0 : (date < 460000 ? 20000000 : 19000000) + static_cast<int>(date));
    ASSERT_EQ(r.volume, static_cast<double>(volume));
    unsigned char out[DayRecordBytes];
    ClassicLayout.encodeRecord(r, out);
    ASSERT_EQ(std::memcmp(in, out, DayRecordBytes), 0) << date;

    putLittle(in, std::bit_cast<std::uint32_t>(damaged[i % 5]), 4);
    ASSERT_EQ(ClassicLayout.decodeRecord(in).date, -1) << damaged[i % 5];
  }
}

TEST(DayRecordTest, TheFolderLayoutPlacesBlocksOfSixHundredFortyRecords) {
  const DatabaseLayout& layout = openLayout();
  EXPECT_STREQ(layout.priceFile, "pelinoru.dat");
  EXPECT_EQ(layout.maxStocks, 3019);
  for (int slot : {0, 1, 7, 3018})
    for (int ring : {0, 1, 321, 639})
      EXPECT_EQ(layout.recordOffset(slot, ring), slot * 11520LL + ring * 18LL) << slot << ring;
  // The int16 range and nothing beyond it, NaN included.
  EXPECT_TRUE(layout.holdsPrice(-32768) && layout.holdsPrice(32767));
  EXPECT_FALSE(layout.holdsPrice(-32768.5) || layout.holdsPrice(32767.5) ||
               layout.holdsPrice(std::nan("")));

  // A block the file holds in part: its records, then empty days.
  unsigned char block[3 * DayRecordBytes];
  for (int i = 0; i < 3; ++i)
    std::copy(kSampleBytes, kSampleBytes + DayRecordBytes, block + i * DayRecordBytes);
  auto history = std::make_unique<StockHistory>();
  history->day[5].date = 1;
  layout.decodeRecords(block, 3, *history);
  for (int s = 0; s < 3; ++s) expectSame(history->day[s], sampleRecord());
  for (int s = 3; s < HistoryDays; ++s) EXPECT_TRUE(isEmpty(history->day[s])) << s;
}

TEST(PriceFileTest, WritesAtSlotAndDayAndReadsBack) {
  TempWorkDir dir;
  PriceFile file;
  EXPECT_FALSE(file.openForReading());  // no file yet
  ASSERT_TRUE(file.openForWriting());
  ASSERT_TRUE(file.initHistory(0));
  ASSERT_TRUE(file.initHistory(1));
  ASSERT_TRUE(file.writeDay(1, 639, sampleRecord()));
  DayRecord other = sampleRecord();
  other.date = 20000105;
  ASSERT_TRUE(file.writeDay(0, 0, other));
  // Day 640 of block 0 would be day 0 of block 1.
  EXPECT_FALSE(file.writeDay(0, 640, other));
  ASSERT_TRUE(file.sync());
  file.close();

  const std::string bytes = readFile(PriceFileName);
  ASSERT_EQ(bytes.size(), 2u * HistoryBlockBytes);
  EXPECT_EQ(bytes.substr(HistoryBlockBytes + 639 * DayRecordBytes),
            std::string(reinterpret_cast<const char*>(kSampleBytes), DayRecordBytes));

  ASSERT_TRUE(file.openForReading());
  auto history = std::make_unique<StockHistory>();
  ASSERT_TRUE(file.readHistory(1, *history));
  expectSame(history->day[639], sampleRecord());
  EXPECT_TRUE(isEmpty(history->day[0]));
  ASSERT_TRUE(file.readHistory(0, *history));
  EXPECT_EQ(history->day[0].date, 20000105);
  DayRecord rec;
  ASSERT_TRUE(file.readRecord(1, 639, rec));
  expectSame(rec, sampleRecord());
  EXPECT_FALSE(file.readRecord(1, 640, rec));
  EXPECT_FALSE(file.readRecord(0, 640, rec));
  EXPECT_FALSE(file.readRecord(-1, 0, rec));
  EXPECT_FALSE(file.writeDay(0, 0, other));  // opened read-only
}

TEST(PriceFileTest, BlockBeyondTheEndReadsAsEmptyDays) {
  TempWorkDir dir;
  PriceFile file;
  ASSERT_TRUE(file.openForWriting());
  ASSERT_TRUE(file.initHistory(0));
  // Slot 2 holds only its first day: the file ends inside the block.
  ASSERT_TRUE(file.writeDay(2, 0, sampleRecord()));
  auto history = std::make_unique<StockHistory>();
  history->day[5].date = 1234;  // must not survive
  EXPECT_FALSE(file.readHistory(2, *history));
  expectSame(history->day[0], sampleRecord());
  for (int s = 1; s < HistoryDays; ++s) ASSERT_TRUE(isEmpty(history->day[s])) << s;

  history->day[0].date = 1234;
  EXPECT_FALSE(file.readHistory(7, *history));
  for (int s = 0; s < HistoryDays; ++s) ASSERT_TRUE(isEmpty(history->day[s])) << s;

  // The hole before slot 2 reads as zeros, slot 1 complete.
  EXPECT_TRUE(file.readHistory(1, *history));
  EXPECT_TRUE(isEmpty(history->day[639]));
}

TEST(PriceFileTest, OpeningForWritingNeverTruncates) {
  TempWorkDir dir;
  {
    PriceFile file;
    ASSERT_TRUE(file.openForWriting());
    ASSERT_TRUE(file.initHistory(0));
    ASSERT_TRUE(file.writeDay(0, 3, sampleRecord()));
  }
  PriceFile again;
  ASSERT_TRUE(again.openForWriting());
  EXPECT_TRUE(again.isOpen());
  DayRecord rec;
  ASSERT_TRUE(again.readRecord(0, 3, rec));
  expectSame(rec, sampleRecord());
  again.close();
  EXPECT_FALSE(again.isOpen());
  EXPECT_EQ(readFile(PriceFileName).size(), static_cast<std::size_t>(HistoryBlockBytes));
}
