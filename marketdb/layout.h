// The layout of a database's files: their names, the sizes and places of the day records in
// the price file, the ranges a record can hold, and the conversion of one record between its
// bytes and a DayRecord. Every reader and writer of the files asks the layout instead of
// knowing the geometry itself, so that the geometry is written down in one place.
//
// Records are placed in tiles: a tile holds `tileDays` neighbouring ring slots of one record
// slot (a stock), record after record. The tiles of one stretch of ring slots lie side by side in
// a tile row, `slotStride` bytes apart, and the tile rows `tileStride` bytes apart. The classic
// price file keeps each stock's 640 days together as one tile, its block of 11,520 bytes; the wide
// file keeps eight days of each stock together (a first version of it kept one).
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "marketdb/bytes.h"
#include "marketdb/files.h"
#include "marketdb/journal.h"

namespace marketdb {

// The two kinds of database a folder can hold. A folder holds one kind; it is told by the
// names of the files alone (openLayout()).
enum class DatabaseKind { Classic, Wide };

// One stock's days held as columns, one value per ring slot in each: the form the analysis
// computes on.
struct DayColumns {
  std::int32_t* date;
  std::int32_t* open;
  std::int32_t* high;
  std::int32_t* low;
  std::int32_t* close;
  std::int32_t* change;
  float* volume;
};

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
  std::int64_t slotStride;  // from one record slot's tile to the next one's
  std::int64_t tileStride;  // from one tile row to the next (unused where one tile holds all days)
  int tileDays;             // ring slots of one record slot that lie together: 1..ringDays
  int minPrice;      // prices (open, high, low, close) a record can hold
  int maxPrice;
  int emptyLow;      // the lowest low reported for a history without a trading day
  DatabaseKind kind = DatabaseKind::Classic;
  int minChange = -32768;  // the day's change a record can hold
  int maxChange = 32767;
  double maxVolume = HUGE_VAL;  // volumes: a classic record holds any finite float
  double minVolume = -HUGE_VAL;

  // Byte offset of the record of ring slot `ringSlot` of record slot `recordSlot`.
  constexpr std::int64_t recordOffset(int recordSlot, int ringSlot) const {
    return headerBytes + recordSlot * slotStride + (ringSlot / tileDays) * tileStride +
           std::int64_t{ringSlot % tileDays} * recordBytes;
  }
  // Whether one record slot's days lie together in ring order, `blockBytes` from its offset.
  constexpr bool blocksContiguous() const { return tileDays == ringDays; }
  constexpr int tileRows() const { return ringDays / tileDays; }
  constexpr std::int64_t tileBytes() const { return std::int64_t{tileDays} * recordBytes; }
  constexpr std::int64_t blockBytes() const { return std::int64_t{ringDays} * recordBytes; }
  // Whether a record slot has a place in the file: a wide slot beyond the capacity would lie
  // in the next row. (The classic file places any slot; its index check bounds them.)
  constexpr bool holdsSlot(int recordSlot) const {
    return recordSlot >= 0 && (blocksContiguous() || recordSlot < maxStocks);
  }
  // Whether a price, a change or a volume fits a record (a NaN fits none).
  constexpr bool holdsPrice(double v) const { return v >= minPrice && v <= maxPrice; }
  constexpr bool holdsChange(double v) const { return v >= minChange && v <= maxChange; }
  bool holdsVolume(double v) const {
    return std::isfinite(v) && v >= minVolume && v <= maxVolume;
  }

  void encodeRecord(const DayRecord& rec, unsigned char* out) const;
  // Inline: the bulk readers decode every record of the file in tight loops.
  DayRecord decodeRecord(const unsigned char* in) const {
    DayRecord r;
    decodeRecord(in, r);
    return r;
  }
  // The same into a record in place, every field written. The kind is looked at once per
  // record; decodeRecords looks at it once per block.
  void decodeRecord(const unsigned char* in, DayRecord& r) const {
    if (kind == DatabaseKind::Classic)
      decodeClassicRecord(in, r);
    else
      decodeWideRecord(in, r);
  }
  // A classic record holds its date as a float yymmdd, its prices in 16 bits and its volume as
  // a float; each is widened here (the date through dateKey), so the conversion stays a few
  // instructions per field.
  static void decodeClassicRecord(const unsigned char* in, DayRecord& r) {
    float date, volume;
    std::int16_t prices[5];
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(&date, in + 0, 4);
      std::memcpy(prices, in + 4, 10);
      std::memcpy(&volume, in + 14, 4);
    } else {
      date = std::bit_cast<float>(static_cast<std::uint32_t>(getLittle(in + 0, 4)));
      for (int i = 0; i < 5; ++i)
        prices[i] = static_cast<std::int16_t>(getLittle(in + 4 + 2 * i, 2));
      volume = std::bit_cast<float>(static_cast<std::uint32_t>(getLittle(in + 14, 4)));
    }
    r.date = dateKey(date);
    r.open = prices[0];
    r.high = prices[1];
    r.low = prices[2];
    r.close = prices[3];
    r.change = prices[4];
    r.volume = volume;
  }
  // A wide record holds the memory form itself: six int32 (date yyyymmdd, open, high, low,
  // close, change) and a float64 volume.
  static void decodeWideRecord(const unsigned char* in, DayRecord& r) {
    std::int32_t v[6];
    double volume;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(v, in, 24);
      std::memcpy(&volume, in + 24, 8);
    } else {
      for (int i = 0; i < 6; ++i)
        v[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(getLittle(in + 4 * i, 4)));
      volume = std::bit_cast<double>(getLittle(in + 24, 8));
    }
    r.date = v[0];
    r.open = v[1];
    r.high = v[2];
    r.low = v[3];
    r.close = v[4];
    r.change = v[5];
    r.volume = volume;
  }
  // The first `count` records of one stock's block in memory (its 640 records in ring order,
  // recordBytes apart, whatever the file's geometry) into history.day[0..count); the days after
  // them read as empty days.
  void decodeRecords(const unsigned char* in, int count, StockHistory& history) const;
  // The first `count` records (0..ringDays) of one stock's block, in ring order, into
  // columns[0..count): the fields of decodeRecord, the volume as the float nearest to it. The
  // columns after them are left as they are. `onDay(s)` is called once the prices and the
  // volume of slot s are in the columns, slot after slot, so that a caller's sums over the days
  // run in the same loop (the date of the slot may come only after the loop).
  template <typename OnDay>
  void decodeColumns(const unsigned char* in, int count, const DayColumns& columns,
                     OnDay onDay) const;

  // Where readRun put the records of a run of record slots: the record of ring slot s of the
  // run's k-th slot at k * slotStep + at(s), its days lying in tiles of tileDays records, tiles
  // tileStep apart (a classic block is one tile), and how many bytes of blocks the file held
  // (as readBlocks counts them).
  struct RecordRun {
    std::size_t held = 0;
    std::size_t slotStep = 0;
    std::size_t tileStep = 0;
    int tileDays = HistoryDays;
    std::size_t recordBytes = DayRecordBytes;
    std::size_t at(int s) const {
      return static_cast<std::size_t>(s / tileDays) * tileStep +
             static_cast<std::size_t>(s % tileDays) * recordBytes;
    }
  };
  // Reads the records of `count` record slots from `firstSlot` on out of the price file `fd`
  // into `out` (runBytes(count) bytes at most) as the file places them, without
  // rearranging them: the classic file's blocks one after the other, or the run's part of each
  // of the wide file's tile rows, row after row (of the slots within the capacity; records
  // beyond the file's end read as empty days). For a reader that decodes every slot once.
  // A wide run may be read in parts: only the tile rows holding ring rows [firstRow, endRow)
  // are read, each to its place in `out`, so that several threads can fill one run's buffer
  // side by side (give them whole tile rows); the result is the same whatever the rows (a
  // classic run is read whole).
  RecordRun readRun(int fd, int firstSlot, int count, unsigned char* out, int firstRow = 0,
                    int endRow = HistoryDays) const;
  // The bytes readRun may fill for a run of `count` record slots. A wide run's tile rows are one
  // cache line longer than their records, so that a slot's records, a row apart, do not all
  // fall into the same few sets of the processor's caches as they would a power of two apart.
  std::size_t runBytes(int count) const {
    const std::size_t blocks = static_cast<std::size_t>(count < 0 ? 0 : count) *
                               static_cast<std::size_t>(blockBytes());
    return blocksContiguous() ? blocks
                              : blocks + static_cast<std::size_t>(tileRows()) * RowPad;
  }
  static constexpr std::size_t RowPad = 64;

  // Reads the blocks of `count` record slots from `firstSlot` on out of the price file `fd`
  // into `out`, one block after the other, each its 640 records in ring order, recordBytes
  // apart (so count x blockBytes() bytes). Returns how many bytes of blocks it gave: in the
  // classic file, whose blocks lie in the file as they lie in memory, what the file held there
  // (less at its end); in the wide file, whose stocks' days lie in tiles spread over the tile
  // rows, the blocks of the slots within the capacity, whose records beyond the file's end (or
  // in a row not yet written) read as empty days. A wide read needs a buffer of its own as
  // large as `out` (runBytes): the readers ask for one stock at a time.
  std::size_t readBlocks(int fd, int firstSlot, int count, unsigned char* out) const;

  // A date as the files and screens of this kind show it: the classic yymmdd as "%06g" gives it
  // (a date of the 2000s keeps its leading zero), or padded with blanks as "%6g" does when
  // `pad` is a blank.
  std::string formatDate(std::int32_t date, char pad = '0') const;
  // (A wide database shows the full yyyymmdd, eight digits.)
  // A date number of a text file or typed by the user, in memory form (dateKey's rule; in a
  // wide database an eight-digit calendar date is taken as it is).
  std::int32_t readDate(double number) const;
  // A code as messages and lists show it: the classic number, or the four characters.
  std::string formatCode(StockCode code) const;
};

template <typename OnDay>
void DatabaseLayout::decodeColumns(const unsigned char* in, int count, const DayColumns& columns,
                                   OnDay onDay) const {
  count = count < 0 ? 0 : count > ringDays ? ringDays : count;
  // A block in memory holds its records in ring order, recordBytes apart, whatever the file.
  const std::int64_t stride = recordBytes;
  // Local copies: a store through one column cannot then change where the others point.
  std::int32_t* const date = columns.date;
  std::int32_t* const open = columns.open;
  std::int32_t* const high = columns.high;
  std::int32_t* const low = columns.low;
  std::int32_t* const close = columns.close;
  std::int32_t* const change = columns.change;
  float* const volume = columns.volume;
  if (std::endian::native == std::endian::little && kind == DatabaseKind::Classic) {
    // The classic fields straight from their bytes, at the offsets decodeRecord reads: the
    // prices widened from 16 bits, the volume already the float it is, and the date kept as
    // its bits until the whole column is converted after the loop, which the compiler
    // vectorises.
    for (int s = 0; s < count; ++s, in += stride) {
      std::int16_t price;
      std::memcpy(&date[s], in + 0, 4);
      std::memcpy(&price, in + 4, 2), open[s] = price;
      std::memcpy(&price, in + 6, 2), high[s] = price;
      std::memcpy(&price, in + 8, 2), low[s] = price;
      std::memcpy(&price, in + 10, 2), close[s] = price;
      std::memcpy(&price, in + 12, 2), change[s] = price;
      std::memcpy(&volume[s], in + 14, 4);
      onDay(s);
    }
    for (int s = 0; s < count; ++s) date[s] = dateKey(std::bit_cast<float>(date[s]));
    return;
  }
  for (int s = 0; s < count; ++s, in += stride) {
    DayRecord r;
    decodeRecord(in, r);
    date[s] = r.date;
    open[s] = r.open;
    high[s] = r.high;
    low[s] = r.low;
    close[s] = r.close;
    change[s] = r.change;
    volume[s] = static_cast<float>(r.volume);
    onDay(s);
  }
}

// The files made for markets of up to 3,019 stocks: four-digit codes, prices in 16 bits.
inline constexpr DatabaseLayout ClassicLayout{
    SystemFileName, SettingsFileName, IndexFileName, PriceFileName, JournalFileName,
    MaxStocks - 1, HistoryDays, DayRecordBytes, 0,
    HistoryBlockBytes, 0, HistoryDays,
    -32768, 32767, 32700, DatabaseKind::Classic};
static_assert(ClassicLayout.recordBytes == 18 && ClassicLayout.blockBytes() == 11520);

// The files made for today's whole market: codes with letters, prices in 32 bits, exact
// volumes and full dates. A 4,096-byte header opens the price file; then come 80 tile rows, one
// per eight ring slots, each holding one tile of eight 32-byte records per record slot. The store
// of a day writes within one tile row, and a chart reads one stock's 640 days in 80 reads of 256
// bytes (the first version's 640 ring rows of one record per slot took 640).
inline constexpr int WideHeaderBytes = 4096;
inline constexpr int WideRecordBytes = 32;
inline constexpr int WideTileDays = 8;         // days of a stock together, as init makes the file
static_assert(HistoryDays % WideTileDays == 0, "a ring is a whole number of tile rows");
inline constexpr int WideCapacity = 10000;       // record slots of a database made by init
inline constexpr int WideMaxCapacity = 100000;   // the largest capacity a header may give
inline constexpr int WideMaxPrice = 99999999;
inline constexpr double WideMaxVolume = 1e15;  // shares: every whole number is exact in a double
inline constexpr const char* WideSystemFileName = "pelwide.sys";
inline constexpr const char* WideSettingsFileName = "pelwide.win";
inline constexpr const char* WideIndexFileName = "pelwide.idx";
inline constexpr const char* WidePriceFileName = "pelwide.dat";
inline constexpr const char* WideJournalFileName = "pelwide.jnl";

// The wide layout of a price file whose header gives `capacity` record slots, with `tileDays`
// days of a stock together (wideTileDays of the header's version).
constexpr DatabaseLayout wideLayout(int capacity, int tileDays = WideTileDays) {
  return DatabaseLayout{
      WideSystemFileName, WideSettingsFileName, WideIndexFileName, WidePriceFileName,
      WideJournalFileName,
      capacity, HistoryDays, WideRecordBytes, WideHeaderBytes,
      std::int64_t{tileDays} * WideRecordBytes,
      std::int64_t{capacity} * tileDays * WideRecordBytes, tileDays,
      0, WideMaxPrice, 32700, DatabaseKind::Wide,
      -WideMaxPrice, WideMaxPrice, WideMaxVolume, 0};
}
inline constexpr DatabaseLayout WideLayout = wideLayout(WideCapacity);
static_assert(WideLayout.recordOffset(1, 9) == 4096 + 1 * 10000 * 256 + 1 * 256 + 1 * 32);
static_assert(wideLayout(WideCapacity, 1).recordOffset(1, 1) == 4096 + (1 * 10000 + 1) * 32);

// The files of a database of that layout, as its journal records them.
DatabaseFiles databaseFilesOf(const DatabaseLayout& layout);
// Whether `name` is one of the text files or the journal of either kind.
bool isDatabaseTextName(const std::string& name);

// What the working folder holds, told by the file names alone: a wide database when
// pelwide.sys is there, a classic one (or none) otherwise; both at once is refused.
struct FolderKind {
  DatabaseKind kind = DatabaseKind::Classic;
  std::string refusal;  // CP932; not empty when the folder holds both kinds
};
FolderKind folderKind();

// The layout of the database in the working folder (the classic one for a folder holding
// both kinds, which every command refuses through folderKind()).
const DatabaseLayout& openLayout();

// For a program that reads or writes the database: empty when it may go on, otherwise the one
// message (CP932) that says why not: both kinds in one folder.
std::string unsupportedDatabaseMessage();

}  // namespace marketdb
