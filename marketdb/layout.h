// The layout of a database's files: their names, the sizes and places of the day records in
// the price file, the ranges a record can hold, and the conversion of one record between its
// bytes and a DayRecord. Every reader and writer of the files asks the layout instead of
// knowing the geometry itself, so that the geometry is written down in one place.
//
// Records are placed by two strides: the records of one record slot (a stock) are
// `slotStride` bytes apart from the next slot's, and its days `ringStride` bytes apart. The
// classic price file keeps each stock's 640 days together as one block of 11,520 bytes.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "marketdb/bytes.h"
#include "marketdb/files.h"
#include "marketdb/journal.h"

namespace marketdb {

struct DatabaseLayout {
  const char* systemFile;
  const char* settingsFile;
  const char* indexFile;
  const char* priceFile;
  const char* journalFile;

  int maxStocks;     // stocks the files can hold
  int ringDays;      // days in each stock's ring
  int recordBytes;   // bytes of one day record
  int headerBytes;   // bytes before the first record
  std::int64_t slotStride;
  std::int64_t ringStride;
  int minPrice;      // prices and changes a record can hold
  int maxPrice;
  int emptyLow;      // the lowest low reported for a history without a trading day

  // Byte offset of the record of ring slot `ringSlot` of record slot `recordSlot`.
  constexpr std::int64_t recordOffset(int recordSlot, int ringSlot) const {
    return headerBytes + recordSlot * slotStride + ringSlot * ringStride;
  }
  // Whether one record slot's days lie together in ring order, `blockBytes` from its offset.
  constexpr bool blocksContiguous() const { return ringStride == recordBytes; }
  constexpr std::int64_t blockBytes() const { return std::int64_t{ringDays} * recordBytes; }
  // Whether a price or a change fits a record.
  constexpr bool holdsPrice(double v) const { return v >= minPrice && v <= maxPrice; }

  void encodeRecord(const DayRecord& rec, unsigned char* out) const;
  // Inline: the bulk readers decode every record of the file in tight loops.
  DayRecord decodeRecord(const unsigned char* in) const {
    DayRecord r;
    decodeRecord(in, r);
    return r;
  }
  // The same into a record in place, every field written.
  void decodeRecord(const unsigned char* in, DayRecord& r) const {
    if constexpr (std::endian::native == std::endian::little) {
      // The fields are the bytes of the file as they stand.
      std::memcpy(&r.date, in + 0, 4);
      std::memcpy(&r.open, in + 4, 2);
      std::memcpy(&r.high, in + 6, 2);
      std::memcpy(&r.low, in + 8, 2);
      std::memcpy(&r.close, in + 10, 2);
      std::memcpy(&r.change, in + 12, 2);
      std::memcpy(&r.volume, in + 14, 4);
    } else {
      r.date = std::bit_cast<float>(static_cast<std::uint32_t>(getLittle(in + 0, 4)));
      r.open = static_cast<std::int16_t>(getLittle(in + 4, 2));
      r.high = static_cast<std::int16_t>(getLittle(in + 6, 2));
      r.low = static_cast<std::int16_t>(getLittle(in + 8, 2));
      r.close = static_cast<std::int16_t>(getLittle(in + 10, 2));
      r.change = static_cast<std::int16_t>(getLittle(in + 12, 2));
      r.volume = std::bit_cast<float>(static_cast<std::uint32_t>(getLittle(in + 14, 4)));
    }
  }
  // The first `count` records of one stock's block, in ring order, into history.day[0..count);
  // the days after them read as empty days.
  void decodeRecords(const unsigned char* in, int count, StockHistory& history) const;
};

// The files made for markets of up to 3,019 stocks: four-digit codes, prices in 16 bits.
inline constexpr DatabaseLayout ClassicLayout{
    SystemFileName, SettingsFileName, IndexFileName, PriceFileName, JournalFileName,
    MaxStocks - 1, HistoryDays, DayRecordBytes, 0,
    HistoryBlockBytes, DayRecordBytes,
    -32768, 32767, 32700};
static_assert(ClassicLayout.recordBytes == 18 && ClassicLayout.blockBytes() == 11520);

// The layout of the database in the working folder.
const DatabaseLayout& openLayout();

}  // namespace marketdb
