// Reading and writing of the four database files.
//
// The text files are read with fscanf's conversions, one scan per line with the line's full
// format, so a short or damaged line leaves every value it did not convert as it was
// (pelinoru.idx and pelinoru.sys through TextScanner, which converts the same way from memory). They are written by
// formatting the whole file into memory first and then replacing the old file atomically.
#include "marketdb/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "marketdb/bytes.h"
#include "marketdb/layout.h"
#include "marketdb/text_scan.h"
#include "marketdb/wide_header.h"
#include "marketdb/wide_index.h"
#include "marketdb/wide_text.h"
#include "platform/text/cp932.h"

namespace marketdb {
namespace {

// "%d %d ... %d" (count conversions separated by single blanks), optionally ending in "\n".
std::string repeatedFormat(const char* one, int count, bool newline) {
  std::string fmt;
  for (int i = 0; i < count; ++i) {
    if (i > 0) fmt += ' ';
    fmt += one;
  }
  if (newline) fmt += '\n';
  return fmt;
}

// One fscanf call converting into values[0..N); returns fscanf's result.
template <typename T, std::size_t... I>
int scanLine(std::FILE* fp, const std::string& fmt, T* values, std::index_sequence<I...>) {
  return std::fscanf(fp, fmt.c_str(), &values[I]...);
}

template <std::size_t N, typename T>
int scanLine(std::FILE* fp, const char* one, T* values, bool newline = false) {
  return scanLine(fp, repeatedFormat(one, static_cast<int>(N), newline), values,
                  std::make_index_sequence<N>{});
}

// Number of values a fscanf call converted (EOF counts as none).
int converted(int result) { return result < 0 ? 0 : result; }

// Appends printf-formatted text to out.
void append(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void append(std::string& out, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  out += pelinor::text::vformat(fmt, args);
  va_end(args);
}

template <typename T>
void appendList(std::string& out, const char* fmt, const T* values, int count) {
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += ' ';
    append(out, fmt, values[i]);
  }
  out += '\n';
}

void appendRepeated(std::string& out, const char* fmt, int value, int count) {
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += ' ';
    append(out, fmt, value);
  }
  out += '\n';
}

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool validSlot(int slot) { return slot >= 0; }
bool validDay(int s) { return s >= 0 && s < HistoryDays; }

// Folder part of a path ("." when it has none), for syncing the directory entry after a rename.
std::string folderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

void packSettingsLine4(const SettingsFile& win, int line4[20]) {
  line4[0] = win.databaseKind;
  for (int i = 0; i < 3; ++i) line4[1 + i] = win.background[i];
  for (int i = 0; i < 10; ++i) line4[4 + i] = win.weights[i];
  line4[14] = win.peakSign;
}

void unpackSettingsLine4(const int line4[20], SettingsFile& win) {
  win.databaseKind = line4[0];
  for (int i = 0; i < 3; ++i) win.background[i] = line4[1 + i];
  for (int i = 0; i < 10; ++i) win.weights[i] = line4[4 + i];
  win.peakSign = line4[14];
}

// ---------------------------------------------------------------------------------------------
// Messages and labels

std::string missingFileMessage(const char* fileName) {
  return std::string(fileName) + SJ(" が存在しません");
}

std::string unwritableFileMessage(const char* fileName) {
  return std::string(fileName) + SJ(" が出力できません");
}

const std::string& fileCaption() { return SJ("ﾌｧｲﾙ存在状況"); }

namespace {
thread_local std::string lastRefusal;

FileStatus damaged(const WideCheck& check) {
  lastRefusal = check.message;
  return FileStatus::Damaged;
}
}  // namespace

const std::string& damagedFileMessage() { return lastRefusal; }

std::string fileStatusMessage(FileStatus status, const char* fileName) {
  switch (status) {
    case FileStatus::Ok: return {};
    case FileStatus::Missing: return missingFileMessage(fileName);
    case FileStatus::WriteFailed: return unwritableFileMessage(fileName);
    case FileStatus::Damaged: return lastRefusal;
  }
  return {};
}

bool noDatabaseInFolder() {
  for (const DatabaseLayout* l : {&ClassicLayout, &WideLayout})
    for (const char* name : {l->systemFile, l->settingsFile, l->indexFile, l->priceFile})
      if (::access(name, F_OK) == 0) return false;
  return true;
}

std::string noDatabaseMessage() {
  char buf[4096];
  const char* folder = ::getcwd(buf, sizeof buf) ? buf : ".";
  return pelinor::text::toCp932(folder) +
         SJ(" にデータベースがありません。pelinorx init W (またはN) で作るか、"
            "-C DIR でデータベースのあるﾌｫﾙﾀﾞを指定してください");
}

int sectionOfMarketCode(int marketCode) {
  switch (marketCode) {
    case 801: return 1;
    case 802: return 2;
    case 811: return 3;
    case 812: return 4;
    case 813: return 5;
    case 814: return 6;
    default: return 0;
  }
}

const std::string& sectionLabel(int section) {
  static const std::string empty;
  switch (section) {
    case 1: return SJ("東証１");
    case 2: return SJ("店頭");
    case 3: return SJ("東証２");
    case 4: return SJ("大証１");
    case 5: return SJ("大証２");
    case 6: return SJ("外国");
    default: return empty;
  }
}

// ---------------------------------------------------------------------------------------------
// Dates

bool isCalendarDate(std::int32_t yyyymmdd) {
  if (yyyymmdd < 10101 || yyyymmdd > 99991231) return false;
  const int year = yyyymmdd / 10000;
  const int month = yyyymmdd / 100 % 100;
  const int day = yyyymmdd % 100;
  if (month < 1 || month > 12 || day < 1) return false;
  static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------
// Day records

// ---------------------------------------------------------------------------------------------
// Stock table

int ifnc(const void* a, const void* b) {
  const StockCode x = static_cast<const CodeKey*>(a)->code;
  const StockCode y = static_cast<const CodeKey*>(b)->code;
  if (x < y) return -1;
  if (x > y) return 1;
  return 0;
}

StockTable::StockTable() : StockTable(openLayout().maxStocks) {}

namespace {

// Where a column of `n` entries of T starts in the table's storage, each on a cache line.
template <typename T>
std::size_t columnAt(std::size_t& used, std::size_t n) {
  static_assert(alignof(T) <= 64);
  const std::size_t at = (used + 63) / 64 * 64;
  used = at + n * sizeof(T);
  return at;
}

}  // namespace

StockTable::StockTable(int capacity_) : capacity(std::max(capacity_, 0)) {
  const std::size_t n = static_cast<std::size_t>(capacity) + 1;
  std::size_t used = 0;
  const std::size_t at[] = {columnAt<int>(used, n),       columnAt<int>(used, n),
                            columnAt<StockCode>(used, n), columnAt<StockName>(used, n),
                            columnAt<int>(used, n),       columnAt<int>(used, n),
                            columnAt<CodeKey>(used, n)};
  storage_ = LargeBlock(used);
  ksakujo = valuesIn<int>(storage_, at[0], n);
  ksijo = valuesIn<int>(storage_, at[1], n);
  kcodeidx = valuesIn<StockCode>(storage_, at[2], n);
  kmeiidx = valuesIn<StockName>(storage_, at[3], n);
  krecordi = valuesIn<int>(storage_, at[4], n);
  kchumoku = valuesIn<int>(storage_, at[5], n);
  lookup = valuesIn<CodeKey>(storage_, at[6], n);
}

int StockTable::findStock(StockCode code) const {
  if (code == NoStockCode) return -1;
  CodeKey key{code, 0};
  int lo = 0;
  int hi = std::clamp(count, 0, static_cast<int>(lookup.size())) - 1;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    int c = ifnc(&key, &lookup[mid]);
    if (c == 0) return lookup[mid].index;
    if (c < 0)
      hi = mid - 1;
    else
      lo = mid + 1;
  }
  return -1;
}

namespace {

FileStatus readWideStockTable(const DatabaseLayout& layout, StockTable& table) {
  LargeText text;
  if (!opened(readWholeFile(layout.indexFile, text, false))) return FileStatus::Missing;
  // The index is checked whole against the header's record slots; a header that cannot be read
  // leaves the slots checked against the capacity alone (its readers refuse it themselves).
  WideHeader header;
  std::int64_t assigned = -1;
  if (readWideHeader(layout.priceFile, header).ok) assigned = header.recordsAssigned;
  // Each entry goes straight into the table as its line is read: the viewer reads 10,000 of
  // them at its start, where a list of them first would cost as much again.
  int n = 0;
  const WideCheck check =
      parseWideIndex(text.view(), static_cast<std::uint32_t>(layout.maxStocks),
                     assigned, [&table, &n](const WideIndexEntry& e) {
                       if (n >= table.capacity) return;
                       table.ksakujo[n] = e.deleted;
                       table.ksijo[n] = e.section;
                       table.kcodeidx[n] = e.code;
                       table.kmeiidx[n] = StockName{};
                       std::memcpy(table.kmeiidx[n].text, e.name.data(),
                                   std::min<std::size_t>(e.name.size(), 14));
                       table.krecordi[n] = e.slot;
                       table.kchumoku[n] = e.change;
                       ++n;
                     });
  if (!check.ok) {
    table.count = 0;
    table.kcodeidx[0] = StockCodeEnd;
    return damaged(check);
  }
  table.count = n;
  table.kcodeidx[n] = StockCodeEnd;
  for (int i = 0; i < n; ++i) table.lookup[i] = CodeKey{table.kcodeidx[i], i};
  return FileStatus::Ok;
}

}  // namespace

FileStatus readStockTable(StockTable& table) {
  const DatabaseLayout& layout = openLayout();
  if (layout.kind == DatabaseKind::Wide) return readWideStockTable(layout, table);
  std::string text;
  if (!opened(readWholeFile(IndexFileName, text, false))) return FileStatus::Missing;
  TextScanner fp(std::move(text));  // "%d %d %f %14s %d %d" as fscanf converts it
  int n = 0;
  while (n < table.capacity) {
    // The file's code is a number; a value that is not a whole 1000..9999 (which the index
    // check refuses) reads as no code.
    float code = 0;
    int r = fp.indexLine(table.ksakujo[n], table.ksijo[n], code, table.kmeiidx[n],
                         table.krecordi[n], table.kchumoku[n]);
    table.kcodeidx[n] = codeFromNumber(code);
    table.kmeiidx[n][14] = '\0';
    if (r != 6) break;  // end of file, or a line that does not convert
    ++n;
  }
  table.count = n;
  table.kcodeidx[n] = StockCodeEnd;
  for (int i = 0; i < n; ++i) table.lookup[i] = CodeKey{table.kcodeidx[i], i};
  return FileStatus::Ok;
}

std::string formatIndexLine(int ksakujo, int ksijo, StockCode code, const char* name, int krecordi,
                            int kchumoku) {
  // The name is one whitespace-free word of at most 14 bytes; anything else would shift the
  // fields of the line when it is read back, so blanks become '_' and an empty name '_'.
  char word[15] = {};
  std::size_t len = name ? strnlen(name, 14) : 0;
  for (std::size_t i = 0; i < len; ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    word[i] = (c == ' ' || (c >= '\t' && c <= '\r')) ? '_' : name[i];
  }
  if (len == 0) word[0] = '_';
  return pelinor::text::format("%1d %1d %4d %14s %4d %3d\n", ksakujo, ksijo, codeNumber(code), word,
                               krecordi, kchumoku);
}

std::string formatStockTable(const StockTable& table) {
  // The stocks are the entries before the end marker (the store appends behind the stocks read).
  const int size = static_cast<int>(table.kcodeidx.size());
  int n = -1;
  for (int i = 0; i < size; ++i) {
    if (table.kcodeidx[i] == StockCodeEnd) {
      n = i;
      break;
    }
  }
  if (n < 0) n = std::clamp(table.count, 0, size);

  std::vector<CodeKey> order(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) order[static_cast<std::size_t>(i)] = CodeKey{table.kcodeidx[i], i};
  std::stable_sort(order.begin(), order.end(),
                   [](const CodeKey& a, const CodeKey& b) { return ifnc(&a, &b) < 0; });

  if (openLayout().kind == DatabaseKind::Wide) {
    std::vector<WideIndexEntry> entries;
    entries.reserve(order.size());
    for (const CodeKey& key : order) {
      const int i = key.index;
      entries.push_back({table.ksakujo[i], table.ksijo[i], table.kcodeidx[i],
                         std::string(table.kmeiidx[i].text, strnlen(table.kmeiidx[i].text, 14)),
                         table.krecordi[i], table.kchumoku[i]});
    }
    return formatWideIndex(std::move(entries));
  }
  std::string out;
  for (const CodeKey& key : order) {
    int i = key.index;
    out += formatIndexLine(table.ksakujo[i], table.ksijo[i], table.kcodeidx[i], table.kmeiidx[i],
                           table.krecordi[i], table.kchumoku[i]);
  }
  return out;
}

FileStatus writeStockTable(const StockTable& table) {
  return replaceFileAtomically(openLayout().indexFile, formatStockTable(table))
             ? FileStatus::Ok
             : FileStatus::WriteFailed;
}

// ---------------------------------------------------------------------------------------------
// pelinoru.sys

FileStatus readSystemFile(SystemFile& sys) {
  const DatabaseLayout& layout = openLayout();
  std::string text;
  if (!opened(readWholeFile(layout.systemFile, text, false))) return FileStatus::Missing;
  if (layout.kind == DatabaseKind::Wide) {
    WideSystem wide{sys, sys.lastStoreDate};
    const WideCheck check = parseWideSystemFile(text, wide);
    if (!check.ok) return damaged(check);
    sys = wide.sys;
    sys.lastStoreDate = wide.lastStoreDate;
    return FileStatus::Ok;
  }
  TextScanner fp(std::move(text));  // the formats below, as fscanf converts them
  float lastStoreDate = 0;
  if (fp.systemLine1(sys.reserved, lastStoreDate, sys.referenceRecord, sys.storePosition) >= 2)
    sys.lastStoreDate = dateKey(lastStoreDate);
  fp.ints(sys.colours, 19, true);
  fp.ints(sys.periods, 16, false);
  return FileStatus::Ok;
}

std::string formatClassicSystemFile(const SystemFile& sys) {
  std::string out;
  append(out, "%4d %6g %4d %3d\n", sys.reserved, classicDateValue(sys.lastStoreDate), sys.referenceRecord,
         sys.storePosition);
  appendList(out, "%1d", sys.colours, 19);
  appendList(out, "%3d", sys.periods, 16);
  return out;
}

std::string formatSystemFile(const SystemFile& sys) {
  if (openLayout().kind == DatabaseKind::Wide)
    return formatWideSystemFile(WideSystem{sys, sys.lastStoreDate});
  return formatClassicSystemFile(sys);
}

FileStatus writeSystemFile(const SystemFile& sys) {
  return replaceFileAtomically(openLayout().systemFile, formatSystemFile(sys))
             ? FileStatus::Ok
             : FileStatus::WriteFailed;
}

// ---------------------------------------------------------------------------------------------
// pelinoru.win

namespace {

FileStatus readWideSettingsFile(const DatabaseLayout& layout, SettingsFile& win, int lines) {
  std::string text;
  if (!opened(readWholeFile(layout.settingsFile, text, false))) return FileStatus::Missing;
  WideSettings wide;
  wide.win = win;
  std::copy(std::begin(win.codes), std::end(win.codes), wide.codes);
  const WideCheck check = parseWideSettingsFile(text, wide);
  if (!check.ok) return damaged(check);
  // The lines not asked for keep what they held.
  const SettingsFile before = win;
  win = wide.win;
  if (lines < 2) std::copy(std::begin(before.colours), std::end(before.colours), win.colours);
  if (lines < 4) {
    int line4[20];
    packSettingsLine4(before, line4);
    unpackSettingsLine4(line4, win);
  }
  if (lines >= 7)
    std::copy(std::begin(wide.codes), std::end(wide.codes), win.codes);
  else
    std::copy(std::begin(before.codes), std::end(before.codes), win.codes);
  return FileStatus::Ok;
}

}  // namespace

FileStatus readSettingsFile(SettingsFile& win, int lines) {
  const DatabaseLayout& layout = openLayout();
  if (layout.kind == DatabaseKind::Wide) return readWideSettingsFile(layout, win, lines);
  std::FILE* fp = std::fopen(SettingsFileName, "r");
  if (!fp) return FileStatus::Missing;

  // fscanf stops at the first value it cannot convert, so the converted values of a line are
  // always a prefix of it.
  SettingsScratch unused;
  const auto takeUnused = [&](const int* values, int first, int end, int convertedCount) {
    unused.take(values, first, end, convertedCount);
  };

  // Line 1: unused, carried, unused, unused.
  int line1[4] = {};
  int c = converted(std::fscanf(fp, "%d %f %d %d\n", &line1[0], &win.carried, &line1[2],
                                &line1[3]));
  takeUnused(line1, 0, 1, c);
  takeUnused(line1, 2, 4, c);

  if (lines >= 2) scanLine<19>(fp, "%d", win.colours);
  if (lines >= 3) {
    int line3[16] = {};
    takeUnused(line3, 0, 16, converted(scanLine<16>(fp, "%d", line3)));
  }
  if (lines >= 4) {
    int line4[20] = {};
    packSettingsLine4(win, line4);
    c = converted(scanLine<20>(fp, "%d", line4));
    unpackSettingsLine4(line4, win);
    takeUnused(line4, 15, 20, c);
  }
  for (int l = 5; l <= 6 && l <= lines; ++l) {
    int values[20] = {};
    takeUnused(values, 0, 20, converted(scanLine<20>(fp, "%d", values)));
  }
  // The classic file holds codes as numbers; one that is not a whole 1000..9999 reads as no
  // code, which ends its list there.
  float numbers[120];
  for (int i = 0; i < 120; ++i) numbers[i] = static_cast<float>(codeNumber(win.codes[i]));
  for (int l = 7; l <= 12 && l <= lines; ++l) {
    float* line = numbers + (l - 7) * 20;
    const int c7 = converted(scanLine<20>(fp, "%f", line));
    for (int i = 0; i < c7; ++i) win.codes[(l - 7) * 20 + i] = codeFromNumber(line[i]);
  }
  std::fclose(fp);
  win.scratch = unused.value();
  return FileStatus::Ok;
}

std::string formatSettingsFile(const SettingsFile& win) {
  if (openLayout().kind == DatabaseKind::Wide) {
    WideSettings wide;
    wide.win = win;
    std::copy(std::begin(win.codes), std::end(win.codes), wide.codes);
    return formatWideSettingsFile(wide);
  }
  return formatClassicSettingsFile(win);
}

std::string formatClassicSettingsFile(const SettingsFile& win) {
  std::string out;
  const int s = win.scratch;
  append(out, "%d %6g %d %d\n", s, win.carried, s, s);
  appendList(out, "%d", win.colours, 19);
  appendRepeated(out, "%d", s, 16);
  int line4[20];
  packSettingsLine4(win, line4);
  for (int i = 15; i < 20; ++i) line4[i] = s;
  appendList(out, "%d", line4, 20);
  appendRepeated(out, "%d", s, 20);
  appendRepeated(out, "%d", s, 20);
  for (int l = 0; l < 6; ++l) {
    for (int i = 0; i < 20; ++i) {
      if (i > 0) out += ' ';
      append(out, "%g", static_cast<double>(codeNumber(win.codes[l * 20 + i])));
    }
    out += '\n';
  }
  return out;
}

FileStatus writeSettingsFile(const SettingsFile& win) {
  return replaceFileAtomically(openLayout().settingsFile, formatSettingsFile(win))
             ? FileStatus::Ok
             : FileStatus::WriteFailed;
}

// ---------------------------------------------------------------------------------------------
// Regular files

std::FILE* openRegularFile(const std::string& path) {
  // O_NONBLOCK keeps the open of a FIFO from waiting for its writer; the file type is then
  // checked on the descriptor itself, so nothing can be swapped in between.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* fp = ::fdopen(fd, "r");
  if (!fp) ::close(fd);
  return fp;
}

// ---------------------------------------------------------------------------------------------
// Atomic replacement

bool replaceFileAtomically(const std::string& fileName, std::string_view contents) {
  const std::string temp = fileName + ".tmp-" + std::to_string(static_cast<long>(::getpid()));
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;

  // Keep the permissions of the file being replaced.
  struct stat old {};
  if (::stat(fileName.c_str(), &old) == 0 && S_ISREG(old.st_mode))
    (void)::fchmod(fd, old.st_mode & 07777);

  bool ok = writeAll(fd, contents.data(), contents.size()) && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && std::rename(temp.c_str(), fileName.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the new directory entry durable too; a folder that cannot be synced is not an error.
  int dir = ::open(folderOf(fileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// pelinoru.dat

PriceFile::~PriceFile() { close(); }

bool PriceFile::openForReading() {
  close();
  layout_ = &openLayout();
  fd_ = ::open(layout_->priceFile, O_RDONLY | O_CLOEXEC);
  return fd_ >= 0;
}

bool PriceFile::openForWriting() {
  close();
  layout_ = &openLayout();
  fd_ = ::open(layout_->priceFile, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  return fd_ >= 0;
}

void PriceFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool PriceFile::readHistory(int slot, StockHistory& history) const {
  const DatabaseLayout& layout = layout_ ? *layout_ : openLayout();
  std::vector<unsigned char> block(static_cast<std::size_t>(layout.blockBytes()), 0);
  std::size_t got = 0;
  if (validSlot(slot)) got = layout.readBlocks(fd_, slot, 1, block.data());
  // Days the file does not hold (beyond its end) read as empty days.
  layout.decodeRecords(block.data(), static_cast<int>(got / layout.recordBytes), history);
  return got == block.size();
}

bool PriceFile::readRecord(int slot, int s, DayRecord& rec) const {
  rec = DayRecord{};
  if (fd_ < 0 || !validSlot(slot) || !validDay(s) || !layout_->holdsSlot(slot)) return false;
  unsigned char buf[WideRecordBytes] = {};
  const std::size_t size = static_cast<std::size_t>(layout_->recordBytes);
  const std::size_t got = readAt(fd_, buf, size, layout_->recordOffset(slot, s));
  if (got != size) {
    // A wide record beyond the end of the file is an empty day the file has not reached yet.
    if (layout_->blocksContiguous()) return false;
    std::memset(buf, 0, sizeof buf);
  }
  rec = layout_->decodeRecord(buf);
  return true;
}

bool PriceFile::writeDay(int slot, int s, const DayRecord& rec) {
  if (fd_ < 0 || !validSlot(slot) || !validDay(s) || !layout_->holdsSlot(slot)) return false;
  unsigned char buf[WideRecordBytes];
  layout_->encodeRecord(rec, buf);
  return writeAt(fd_, buf, static_cast<std::size_t>(layout_->recordBytes),
                 layout_->recordOffset(slot, s));
}

bool PriceFile::initHistory(int slot) {
  if (fd_ < 0 || !validSlot(slot) || !layout_->holdsSlot(slot)) return false;
  std::vector<unsigned char> zeros(static_cast<std::size_t>(layout_->blockBytes()), 0);
  if (layout_->blocksContiguous())
    return writeAt(fd_, zeros.data(), zeros.size(), layout_->recordOffset(slot, 0));
  // A wide slot's records are spread over the ring rows; those beyond the file's end are empty
  // already, and writing them would only grow the file.
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return false;
  for (int s = 0; s < layout_->ringDays; ++s) {
    const std::int64_t at = layout_->recordOffset(slot, s);
    if (at >= st.st_size) break;
    if (!writeAt(fd_, zeros.data(), static_cast<std::size_t>(layout_->recordBytes), at))
      return false;
  }
  return true;
}

bool PriceFile::sync() { return fd_ >= 0 && ::fsync(fd_) == 0; }

}  // namespace marketdb
