// The four database files of the working directory and their in-memory model:
//   pelinoru.sys  store state, colour line, period line
//   pelinoru.win  display settings, weights, watch list and chart-link codes
//   pelinoru.idx  one text line per stock, ascending code order
//   pelinoru.dat  binary, one 640-day ring of 18-byte day records per record slot
// (a wide database has the same four files as pelwide.*, described in layout.h and wide_*.h).
// Text files are replaced atomically (temporary file in the same folder, flushed, renamed over
// the old one), so a crash, a full disk or a kill never leaves a truncated file.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "marketdb/large_block.h"
#include "marketdb/stock_code.h"

namespace marketdb {

constexpr int HistoryDays = 640;
constexpr int MaxStocks = 3020;  // entries including the end marker: at most 3019 stocks
constexpr int DayRecordBytes = 18;
constexpr int HistoryBlockBytes = HistoryDays * DayRecordBytes;  // 11520

constexpr const char* SystemFileName = "pelinoru.sys";
constexpr const char* SettingsFileName = "pelinoru.win";
constexpr const char* IndexFileName = "pelinoru.idx";
constexpr const char* PriceFileName = "pelinoru.dat";

enum class FileStatus {
  Ok,
  Missing,      // could not be opened for reading: "<name> が存在しません"
  WriteFailed,  // could not be written: "<name> が出力できません"; the old file is kept
  Damaged,      // a file of a wide database that is not one this program reads (its magic,
                // version or a line it must trust); nothing was read: damagedFileMessage()
};

// Message texts (CP932) for a file status, and the caption "ﾌｧｲﾙ存在状況".
std::string missingFileMessage(const char* fileName);
std::string unwritableFileMessage(const char* fileName);
const std::string& fileCaption();
// The refusal of the last read on this thread that gave FileStatus::Damaged: the file, the line
// and what is wrong (CP932).
const std::string& damagedFileMessage();
// The message for a status other than Ok of a read or write of `fileName`.
std::string fileStatusMessage(FileStatus status, const char* fileName);

// Whether the working folder holds no database at all: none of the four files of either kind
// exists.
bool noDatabaseInFolder();
// The one message shown for a folder without a database: it names the folder and the commands
// that make or find one (CP932).
std::string noDatabaseMessage();

// One day of one stock as the programs hold it, whatever the files hold: the layout of the
// database converts between these fields and the bytes of its price file.
struct DayRecord {
  std::int32_t date = 0;  // yyyymmdd; 0 = empty slot; -1 = damaged, older than every date
  std::int32_t open = 0;
  std::int32_t high = 0;
  std::int32_t low = 0;
  std::int32_t close = 0;
  std::int32_t change = 0;
  double volume = 0;  // 0 = no trade / no data
};

struct StockHistory {
  DayRecord day[HistoryDays];
};

struct CodeKey {
  StockCode code;
  int index;
};
// -1 when the second code is greater than the first, 1 when smaller, 0 when equal.
int ifnc(const void* a, const void* b);

// A stock's name as pelinoru.idx holds it: at most 14 bytes, NUL-terminated; used wherever a
// C string of the name is wanted.
struct StockName {
  char text[15] = {};
  operator char*() { return text; }
  operator const char*() const { return text; }
};

// The stocks of pelinoru.idx, in columns of `capacity` + 1 entries (one for the end marker);
// the capacity is the stock limit of the folder's layout unless given.
struct StockTable {
  StockTable();
  explicit StockTable(int capacity);

  int capacity;  // stocks the table can hold

 private:
  LargeBlock storage_;  // the columns below, one after the other

 public:
  // Each of capacity + 1 entries, zeroed when made.
  std::span<int> ksakujo;
  std::span<int> ksijo;
  std::span<StockCode> kcodeidx;
  std::span<StockName> kmeiidx;
  std::span<int> krecordi;
  std::span<int> kchumoku;
  std::span<CodeKey> lookup;
  int count = 0;  // stocks read; kcodeidx[count] == StockCodeEnd

  // Binary search of lookup; -1 when not found (always for NoStockCode).
  int findStock(StockCode code) const;
};

struct SystemFile {
  int reserved = 0;
  std::int32_t lastStoreDate = 0;  // yyyymmdd; 0: nothing stored yet
  int referenceRecord = 0;
  int storePosition = 0;
  int colours[19] = {};  // settings items 1..19
  int periods[16] = {};  // settings items 20..35
};

struct SettingsFile {
  float carried = 0;     // line 1 value 2
  int colours[19] = {};  // line 2: the copy every display uses
  int databaseKind = 0;  // line 4 value 1
  int background[3] = {};  // line 4 values 2..4 (items 41..43)
  int weights[10] = {};    // line 4 values 5..14 (items 50..59)
  int peakSign = 0;        // line 4 value 15 (item 60)
  StockCode codes[120] = {};  // lines 7..12: 0..90 watch list, 92..119 chart-link list
  int scratch = 0;  // written into every unused position: the last unused value read
};

// Line 4 of the settings file: the database kind, the background (3), the weights (10) and the
// peak sign in positions 0..14; positions 15..19 are unused.
void packSettingsLine4(const SettingsFile& win, int line4[20]);
void unpackSettingsLine4(const int line4[20], SettingsFile& win);

// The settings file's unused positions are read like the others; the last one converted becomes
// the scratch value the writer puts into every unused position.
class SettingsScratch {
 public:
  // Positions first..end-1 of a line whose first `converted` values were read.
  void take(const int* values, int first, int end, int converted) {
    for (int i = first; i < end && i < converted; ++i) {
      value_ = values[i];
      seen_ = true;
    }
  }
  int value() const { return seen_ ? value_ : 0; }

 private:
  bool seen_ = false;
  int value_ = 0;
};

// Positions in SettingsFile::codes: the watch list holds codes at 0..89 and position 90 ends
// it; the chart-link list is positions 92..119.
constexpr int WatchListEnd = 90;
constexpr int ChartLinkFirst = 92;
constexpr int ChartLinkCount = 28;

// Readers and writers of the folder's database, of whichever kind openLayout() finds: the
// classic files, or the wide ones (whose magic line is checked; one that does not pass gives
// FileStatus::Damaged and leaves everything as it was).
// Readers: values a short or malformed line did not convert keep their previous contents.
FileStatus readSystemFile(SystemFile& sys);
FileStatus writeSystemFile(const SystemFile& sys);
// lines = how many lines of pelinoru.win to read (4 or 12).
FileStatus readSettingsFile(SettingsFile& win, int lines = 12);
FileStatus writeSettingsFile(const SettingsFile& win);
// Reads pelinoru.idx in file order (at most the table's capacity; reading stops at a line that
// does not convert), NUL-terminates names at byte 14, sets the end marker and the lookup.
FileStatus readStockTable(StockTable& table);
// Sorts by code and writes one line per stock before the end marker.
FileStatus writeStockTable(const StockTable& table);

// Formats exactly as written to the files (exposed for tests and the store).
std::string formatSystemFile(const SystemFile& sys);
std::string formatStockTable(const StockTable& table);  // as writeStockTable writes it
std::string formatSettingsFile(const SettingsFile& win);
// The classic texts whatever the folder holds (the wide formats reuse their common lines).
std::string formatClassicSystemFile(const SystemFile& sys);
std::string formatClassicSettingsFile(const SettingsFile& win);
std::string formatIndexLine(int ksakujo, int ksijo, StockCode code, const char* name, int krecordi,
                            int kchumoku);

// Opens a regular file for text reading; nullptr for anything else (missing, a folder, a FIFO
// or a device), without waiting for a writer of a FIFO to appear.
std::FILE* openRegularFile(const std::string& path);

// Replaces `fileName` atomically with `contents`; false (old file untouched) on any failure.
bool replaceFileAtomically(const std::string& fileName, std::string_view contents);

struct DatabaseLayout;

// pelinoru.dat, kept open by its user; its records are placed by the folder's layout.
class PriceFile {
 public:
  PriceFile() = default;
  ~PriceFile();
  PriceFile(const PriceFile&) = delete;
  PriceFile& operator=(const PriceFile&) = delete;

  bool openForReading();  // false when missing
  bool openForWriting();  // read-write, created when absent, never truncated
  void close();
  bool isOpen() const { return fd_ >= 0; }

  bool readHistory(int slot, StockHistory& history) const;  // false on a short read
  bool readRecord(int slot, int s, DayRecord& rec) const;
  bool writeDay(int slot, int s, const DayRecord& rec);
  bool initHistory(int slot);  // 640 empty records
  bool sync();                 // flush to disk

 private:
  int fd_ = -1;
  const DatabaseLayout* layout_ = nullptr;  // set on opening
};

// Ring helpers.
inline int previousSlot(int s) { return s == 0 ? HistoryDays - 1 : s - 1; }
inline int nextSlot(int s) { return s + 1 >= HistoryDays ? 0 : s + 1; }

// Dates yymmdd of the classic files, read in the 1946..2045 window: yy 00..45 are the years
// 2000..2045. A whole number 1..999999 becomes yyyymmdd (so that every such value keeps the
// order it has always had), 0 stays 0 (no date), and anything else (a fraction, a negative or
// larger number, NaN: only a damaged record holds one) becomes -1, which equals no date and is
// older than every date. Inline: the analysis and the block readers convert every day of every
// stock.
//
// Written on the float's bits with masks instead of branches, so that a loop over a column of
// dates becomes a few vector instructions per four dates: a positive float's bits order as its
// values do, and negatives and NaNs fall outside the bits of 1..999999.
inline std::int32_t dateKey(float yymmdd) {
  constexpr std::uint32_t first = std::bit_cast<std::uint32_t>(1.0f);
  constexpr std::uint32_t last = std::bit_cast<std::uint32_t>(999999.0f);
  const auto bits = std::bit_cast<std::uint32_t>(yymmdd);
  const std::uint32_t inWindow = 0u - static_cast<std::uint32_t>(bits - first <= last - first);
  // Outside the window the value converted is 0, so the conversion is always defined.
  const auto whole = static_cast<std::int32_t>(std::bit_cast<float>(bits & inWindow));
  const bool exact = std::bit_cast<std::uint32_t>(static_cast<float>(whole)) == bits;
  const std::uint32_t sound = inWindow & (0u - static_cast<std::uint32_t>(exact));
  const std::int32_t key = whole + 19000000 + 1000000 * static_cast<std::int32_t>(whole < 460000);
  const std::uint32_t notZero = 0u - static_cast<std::uint32_t>((bits << 1) != 0);  // -1 or 0
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(key) & sound) | (notZero & ~sound));
}
// The classic yymmdd value of a date: the inverse of dateKey for every value dateKey gives.
inline float classicDateValue(std::int32_t yyyymmdd) {
  return yyyymmdd > 0 ? static_cast<float>(yyyymmdd % 1000000) : static_cast<float>(yyyymmdd);
}
// Whether yyyymmdd names a day of the calendar (20261332 does not: there is no 13th month).
bool isCalendarDate(std::int32_t yyyymmdd);

// Market section of a daily file's market code: 801 -> 1 ... 814 -> 6, else 0.
int sectionOfMarketCode(int marketCode);
// Section label on screen (CP932): "東証１" .. "外国"; empty for other values.
const std::string& sectionLabel(int section);

}  // namespace marketdb
