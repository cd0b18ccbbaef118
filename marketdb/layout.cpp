#include "marketdb/layout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <mutex>
#include <vector>

#include "marketdb/wide_header.h"
#include "platform/text/cp932.h"

namespace marketdb {

void DatabaseLayout::encodeRecord(const DayRecord& rec, unsigned char* out) const {
  if (kind == DatabaseKind::Wide) {
    putLittle(out + 0, static_cast<std::uint32_t>(rec.date), 4);
    putLittle(out + 4, static_cast<std::uint32_t>(rec.open), 4);
    putLittle(out + 8, static_cast<std::uint32_t>(rec.high), 4);
    putLittle(out + 12, static_cast<std::uint32_t>(rec.low), 4);
    putLittle(out + 16, static_cast<std::uint32_t>(rec.close), 4);
    putLittle(out + 20, static_cast<std::uint32_t>(rec.change), 4);
    putLittle(out + 24, std::bit_cast<std::uint64_t>(rec.volume), 8);
    return;
  }
  // Every value a sound classic record decodes to converts back to the bytes it came from.
  putLittle(out + 0, std::bit_cast<std::uint32_t>(classicDateValue(rec.date)), 4);
  putLittle(out + 4, static_cast<std::uint16_t>(rec.open), 2);
  putLittle(out + 6, static_cast<std::uint16_t>(rec.high), 2);
  putLittle(out + 8, static_cast<std::uint16_t>(rec.low), 2);
  putLittle(out + 10, static_cast<std::uint16_t>(rec.close), 2);
  putLittle(out + 12, static_cast<std::uint16_t>(rec.change), 2);
  putLittle(out + 14, std::bit_cast<std::uint32_t>(static_cast<float>(rec.volume)), 4);
}

namespace {

// decodeRecord over the first `count` records of a classic block, for the bulk readers: the
// dates are gathered as their bits and converted in one loop the compiler vectorises, and the
// other fields are read straight from their bytes (a little-endian machine only).
void decodeClassicRecords(const unsigned char* in, int count, std::int64_t stride,
                          StockHistory& history) {
  std::int32_t dates[HistoryDays];
  const unsigned char* at = in;
  for (int s = 0; s < count; ++s, at += stride) std::memcpy(&dates[s], at, 4);
  for (int s = 0; s < count; ++s) dates[s] = dateKey(std::bit_cast<float>(dates[s]));
  for (int s = 0; s < count; ++s, in += stride) {
    DayRecord& r = history.day[s];
    std::int16_t price;
    float volume;
    r.date = dates[s];
    std::memcpy(&price, in + 4, 2), r.open = price;
    std::memcpy(&price, in + 6, 2), r.high = price;
    std::memcpy(&price, in + 8, 2), r.low = price;
    std::memcpy(&price, in + 10, 2), r.close = price;
    std::memcpy(&price, in + 12, 2), r.change = price;
    std::memcpy(&volume, in + 14, 4), r.volume = volume;
  }
}

}  // namespace

void DatabaseLayout::decodeRecords(const unsigned char* in, int count,
                                   StockHistory& history) const {
  const int days = ringDays;
  count = std::clamp(count, 0, days);
  // One loop per kind, so the kind is not looked at for every record.
  if (kind == DatabaseKind::Classic && std::endian::native == std::endian::little) {
    decodeClassicRecords(in, count, DayRecordBytes, history);
  } else if (kind == DatabaseKind::Classic) {
    for (int s = 0; s < count; ++s, in += DayRecordBytes) decodeClassicRecord(in, history.day[s]);
  } else {
    for (int s = 0; s < count; ++s, in += WideRecordBytes) decodeWideRecord(in, history.day[s]);
  }
  for (int s = count; s < days; ++s) history.day[s] = DayRecord{};
}

DatabaseLayout::RecordRun DatabaseLayout::readRun(int fd, int firstSlot, int count,
                                                  unsigned char* out, int firstRow,
                                                  int endRow) const {
  RecordRun got;
  got.recordBytes = static_cast<std::size_t>(recordBytes);
  got.slotStep = static_cast<std::size_t>(blockBytes());
  if (blocksContiguous()) {
    got.held = readBlocks(fd, firstSlot, count, out);
    return got;
  }
  if (fd < 0 || firstSlot < 0 || count <= 0 || firstSlot >= maxStocks) return got;
  const int slots = std::min(count, maxStocks - firstSlot);
  const std::size_t run = static_cast<std::size_t>(slots) * static_cast<std::size_t>(tileBytes());
  got.slotStep = static_cast<std::size_t>(tileBytes());
  got.tileDays = tileDays;
  got.tileStep = run + RowPad;
  struct stat st {};
  const std::int64_t fileBytes = ::fstat(fd, &st) == 0 ? st.st_size : 0;
  const int firstTile = std::max(firstRow, 0) / tileDays;
  const int endTile = (std::min(endRow, ringDays) + tileDays - 1) / tileDays;
  out += static_cast<std::size_t>(firstTile) * got.tileStep;
  for (int t = firstTile; t < endTile; ++t, out += got.tileStep) {
    const std::int64_t at = recordOffset(firstSlot, t * tileDays);
    // A row beyond the end of the file, or the part of it there, holds empty days; so does a
    // record the file ends inside.
    const std::size_t read = at < fileBytes ? readAt(fd, out, run, at) : 0;
    const std::size_t whole = read / WideRecordBytes * WideRecordBytes;
    if (whole < run) std::memset(out + whole, 0, run - whole);
  }
  got.held = static_cast<std::size_t>(slots) * static_cast<std::size_t>(blockBytes());
  return got;
}

std::size_t DatabaseLayout::readBlocks(int fd, int firstSlot, int count,
                                       unsigned char* out) const {
  if (fd < 0 || firstSlot < 0 || count <= 0) return 0;
  const std::size_t block = static_cast<std::size_t>(blockBytes());
  if (blocksContiguous()) {
    // Short at the end of the file, or at a block it cannot give.
    return readAt(fd, out, static_cast<std::size_t>(count) * block, recordOffset(firstSlot, 0));
  }
  // The run as the wide file places it (readRun), then each slot's tiles moved to their places
  // in its block.
  std::vector<unsigned char> rows(runBytes(count));
  const RecordRun run = readRun(fd, firstSlot, count, rows.data());
  const std::size_t tile = static_cast<std::size_t>(tileBytes());
  for (std::size_t i = 0; i < run.held / block; ++i)
    for (int t = 0; t < tileRows(); ++t)
      std::memcpy(out + i * block + static_cast<std::size_t>(t) * tile,
                  rows.data() + i * run.slotStep + run.at(t * tileDays), tile);
  return run.held;
}

std::string DatabaseLayout::formatDate(std::int32_t date, char pad) const {
  char text[32];
  if (kind == DatabaseKind::Wide) {
    std::snprintf(text, sizeof text, pad == '0' ? "%08d" : "%8d", static_cast<int>(date));
    return text;
  }
  std::snprintf(text, sizeof text, pad == '0' ? "%06g" : "%6g",
                static_cast<double>(classicDateValue(date)));
  return text;
}

std::int32_t DatabaseLayout::readDate(double number) const {
  if (kind == DatabaseKind::Wide && number >= 10000000 && number <= 99999999) {
    const auto whole = static_cast<std::int32_t>(number);
    return whole == number && isCalendarDate(whole) ? whole : -1;
  }
  return dateKey(static_cast<float>(number));
}

std::string DatabaseLayout::formatCode(StockCode code) const {
  if (kind == DatabaseKind::Wide) return codeText(code);
  return std::to_string(codeNumber(code));
}

DatabaseFiles databaseFilesOf(const DatabaseLayout& layout) {
  DatabaseFiles files;
  files.kind = layout.kind == DatabaseKind::Wide ? "wide" : "classic";
  files.texts = {layout.systemFile, layout.settingsFile, layout.indexFile};
  files.prices = layout.priceFile;
  files.journal = layout.journalFile;
  return files;
}

bool isDatabaseTextName(const std::string& name) {
  for (const DatabaseLayout* l : {&ClassicLayout, &WideLayout}) {
    if (name == l->systemFile || name == l->settingsFile || name == l->indexFile ||
        name == l->journalFile)
      return true;
  }
  return false;
}

namespace {

bool present(const char* name) { return ::access(name, F_OK) == 0; }

// The layout for a capacity or a version other than the ones init gives: made once for each
// and kept, so that the reference openLayout() returns stays valid.
const DatabaseLayout& wideLayoutOf(int capacity, int tileDays) {
  if (capacity == WideCapacity && tileDays == WideTileDays) return WideLayout;
  static std::mutex mutex;
  static std::deque<DatabaseLayout> made;
  const std::lock_guard<std::mutex> hold(mutex);
  for (const DatabaseLayout& l : made)
    if (l.maxStocks == capacity && l.tileDays == tileDays) return l;
  made.push_back(wideLayout(capacity, tileDays));
  return made.back();
}

}  // namespace

FolderKind folderKind() {
  FolderKind k;
  if (!present(WideSystemFileName)) return k;
  if (present(SystemFileName)) {
    k.refusal = SJ("このフォルダには従来形式とワイド形式の２つのデータベースがあります");
    return k;
  }
  k.kind = DatabaseKind::Wide;
  return k;
}

const DatabaseLayout& openLayout() {
  const FolderKind k = folderKind();
  if (k.kind != DatabaseKind::Wide) return ClassicLayout;
  // The strides follow the capacity of the header; a header that does not pass its check is
  // refused by whoever reads it, and meanwhile the layout of a database made by init stands.
  WideHeader header;
  if (!readWideHeader(WidePriceFileName, header).ok) return WideLayout;
  return wideLayoutOf(static_cast<int>(header.capacity), wideTileDaysOf(header.version));
}

std::string unsupportedDatabaseMessage() {
  return folderKind().refusal;
}

}  // namespace marketdb
