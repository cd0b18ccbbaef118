#include "dbprogram/store.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "dbprogram/daily_parser.h"
#include "marketdb/bytes.h"
#include "marketdb/files.h"
#include "marketdb/index_check.h"
#include "marketdb/journal.h"
#include "marketdb/layout.h"
#include "platform/text/cp932.h"

namespace dbprogram {

namespace {

using marketdb::DayRecord;
using marketdb::FileStatus;
using marketdb::StockTable;
using marketdb::SystemFile;
using pelinor::text::format;

constexpr COLORREF LightGrey = RGB(192, 192, 192);
constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF White = RGB(255, 255, 255);

using ReadFields = DailyFields;

// The values of a line as the store converts them (prices and market code truncated toward
// zero, code divided by ten). Held as wide numbers so that no value is wrapped before it has
// been checked.
struct Converted {
  double open = 0, high = 0, low = 0, close = 0, change = 0, market = 0;
  float code = 0;
};

struct DailyLine {
  char name[15] = {};
  float volume = 0;
  std::int32_t date = 0;  // yyyymmdd
  Converted v;
};

Converted convert(const ReadFields& r) {
  Converted c;
  c.open = std::trunc(static_cast<double>(r.open));
  c.high = std::trunc(static_cast<double>(r.high));
  c.low = std::trunc(static_cast<double>(r.low));
  c.close = std::trunc(static_cast<double>(r.close));
  c.change = std::trunc(static_cast<double>(r.change));
  c.market = std::trunc(static_cast<double>(r.market));
  c.code = r.code10 / 10.0f;
  return c;
}

// An integer for display; values no int can hold are limited (NaN shows as 0).
int displayInt(double v) {
  if (std::isnan(v)) return 0;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

bool isWholeDate(float date) {
  return date >= 101.0f && date <= 991231.0f && date == std::trunc(date);
}

bool isStorableCode(float code) {
  return code >= 1000.0f && code <= 9999.0f && code == std::trunc(code);
}

// The percentage change of the day, truncated toward zero.
int percentChange(const Converted& v, float volume) {
  if (volume == 0.0f) return 0;
  const double previousClose = v.close - v.change;
  if (previousClose == 0.0) return 0;
  return static_cast<int>(std::trunc(100.0 * v.change / previousClose));
}

// Lines shown by the store, held until the group of files they belong to is stored (or has
// been refused), then passed on in order. The code echo of each stored line is held as the
// code alone and made into its line only for an output that shows it.
class HeldOutput {
 public:
  void line(const StoreLine& line) {
    items_.push_back({Item::Line, 0, lines_.size()});
    lines_.push_back(line);
  }
  void bell() { items_.push_back({Item::Bell, 0, 0}); }
  void codeEcho(float code) { items_.push_back({Item::Echo, code, 0}); }
  void replay(StoreOutput& out) const {
    const bool echoes = out.wantsCodeEchoes();
    StoreLine echo;
    echo.kind = StoreLineKind::CodeEcho;
    echo.colour = Red;
    echo.y = StoreCodeY;
    for (const Item& item : items_) {
      switch (item.what) {
        case Item::Bell:
          out.bell();
          break;
        case Item::Line:
          out.line(lines_[item.line]);
          break;
        case Item::Echo:
          if (!echoes) break;
          echo.text = format("%6g", static_cast<double>(item.code));
          out.line(echo);
          break;
      }
    }
  }

 private:
  struct Item {
    enum What : unsigned char { Line, Bell, Echo } what;
    float code;        // Echo
    std::size_t line;  // Line: its place in lines_
  };
  std::vector<Item> items_;
  std::vector<StoreLine> lines_;
};

// One daily file of a group: opened before the database is touched, then read line by line.
struct DailyFile {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream{nullptr, std::fclose};
  std::string name;
  std::vector<DailyLine> lines;
  HeldOutput shown;
};

// A stock whose records a group writes. Its bytes are the ring positions the group touches,
// from `rangeStart` on (wrapping), in ring order, held in the group's buffers at place `at`.
struct PendingBlock {
  int slot = 0;
  bool isNew = false;  // a new record slot: the rest of its block is written as empty days
  std::size_t at = 0;
};

// Reads a whole file; false when it cannot be opened (or is a folder).
bool readWholeText(const std::string& path, std::string& text) {
  return marketdb::opened(marketdb::readWholeFile(path.c_str(), text, true));
}

// The refusal of a daily file that cannot be read: its name and the folder it was looked for in
// when it is not there, what it is when it is no regular file, else why it cannot be read.
std::string unreadableDailyMessage(const std::string& path) {
  namespace fs = std::filesystem;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
    std::error_code ec;
    const fs::path p(path);
    const fs::path folder = fs::absolute(p, ec).parent_path();
    return format(SJ("目的の%sﾌｧｲﾙが%sにありません").c_str(),
                  pelinor::text::toCp932(p.filename().string()).c_str(),
                  pelinor::text::toCp932(folder.string()).c_str());
  }
  const int error = errno;
  if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
    return format(SJ("%s が読めません(%s)").c_str(), path.c_str(),
                  std::strerror(S_ISREG(st.st_mode) ? EACCES : error));
  const char* kind = S_ISDIR(st.st_mode)    ? "ﾌｫﾙﾀﾞ"
                     : S_ISFIFO(st.st_mode) ? "FIFO"
                     : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "ﾃﾞﾊﾞｲｽ"
                                                                  : "特殊ﾌｧｲﾙ";
  return format(SJ("%s は%sで、日々株価ﾌｧｲﾙではないので格納処理しません").c_str(), path.c_str(),
                pelinor::text::toCp932(kind).c_str());
}

class GroupStore {
 public:
  explicit GroupStore(StoreOutput& out) : out_(out) {}
  StoreRun run(const std::vector<std::string>& paths);
  void keepBakGeneration(bool keep) { change_.keepBakGeneration(keep); }

 private:
  void show(HeldOutput& held, StoreLineKind kind, COLORREF colour, int y, const std::string& text) {
    StoreLine line;
    line.kind = kind;
    line.text = text;
    line.colour = colour;
    line.x = 0;
    line.y = y;
    held.line(line);
  }
  StoreResult refuse(HeldOutput& held, int y, const std::string& text) {
    held.bell();
    show(held, StoreLineKind::Refusal, Red, y, text);
    return StoreResult::Refused;
  }
  StoreRun refuseGroup(int y, const std::string& text) {
    HeldOutput held;
    refuse(held, y, text);
    held.replay(out_);
    return {StoreResult::Refused, 0};
  }
  StoreRun fileFailure(const std::string& message) {
    out_.fileMessage(message, marketdb::fileCaption());
    return {StoreResult::Failed, 0};
  }
  StoreResult check(DailyFile& file, std::int32_t& running);
  StoreResult refuseMalformed(DailyFile& file, const ReadFields& r, const Converted& last);
  bool write(std::vector<DailyFile>& files, int count);
  void storeLine(HeldOutput& held, const DailyLine& line, int position);
  PendingBlock& pendingFor(int index);
  void putRecord(int index, int position, const DayRecord& rec);

  StoreOutput& out_;
  const marketdb::DatabaseLayout& layout_ = marketdb::openLayout();
  marketdb::DatabaseChange change_;
  SystemFile sys_;
  std::unique_ptr<StockTable> table_ = std::make_unique<StockTable>();
  int readCount_ = 0;   // stocks read from pelinoru.idx
  int addedCount_ = 0;  // stocks added by this group
  int largestSlot_ = -1;
  std::vector<int> addedByCode_ = std::vector<int>(10000, -1);  // code -> index of an added stock
  int rangeStart_ = 0;  // the first ring position the group writes
  int rangeDays_ = 0;   // how many positions from there (at most all 640)
  std::vector<int> pendingOf_ = std::vector<int>(static_cast<std::size_t>(layout_.maxStocks) + 1, -1);
  std::vector<PendingBlock> pending_;
  // Per pending block, blockBytes_ each: the records the group writes (an empty record where
  // the stock has no line), and the range as it stands in the file (read once every line is
  // placed, for the journal).
  std::size_t blockBytes_ = 0;
  std::vector<unsigned char> bytes_;
  std::vector<unsigned char> original_;
  void readOriginals();
  void clearPosition(int position);
  // New stocks of the current file that the full table refused, each once, in file order.
  std::vector<int> refusedNew_;
  std::vector<bool> refusedSeen_ = std::vector<bool>(10000, false);
  void showRefusedNew(HeldOutput& held);
};

StoreRun GroupStore::run(const std::vector<std::string>& paths) {
  // The daily files first: a file that cannot be read ends the group before it.
  std::vector<DailyFile> files;
  files.reserve(paths.size());
  int readable = 0;
  for (const std::string& path : paths) {
    files.emplace_back();
    // Only a regular file is a daily file: a folder, a FIFO or a device is refused at once.
    files.back().name = path;
    files.back().stream.reset(marketdb::openRegularFile(path));
    if (!files.back().stream) {
      refuse(files.back().shown, StoreStatusY, unreadableDailyMessage(path));
      break;
    }
    ++readable;
  }
  if (readable == 0) {
    files.front().shown.replay(out_);
    return {StoreResult::Refused, 0};
  }

  // Without a database there is nothing to lock.
  if (::access(marketdb::SystemFileName, F_OK) != 0)
    return fileFailure(marketdb::missingFileMessage(marketdb::SystemFileName));
  if (!change_.lock()) return refuseGroup(StoreStatusY, change_.message());

  if (marketdb::readSystemFile(sys_) != FileStatus::Ok)
    return fileFailure(marketdb::missingFileMessage(marketdb::SystemFileName));
  if (marketdb::readStockTable(*table_) != FileStatus::Ok)
    return fileFailure(marketdb::missingFileMessage(marketdb::IndexFileName));
  // pelinoru.dat must already exist: creating it here would give the stocks of pelinoru.idx
  // histories of zeros.
  if (!change_.openPrices())
    return fileFailure(marketdb::missingFileMessage(marketdb::PriceFileName));
  {
    std::string indexText;
    readWholeText(marketdb::IndexFileName, indexText);
    const marketdb::IndexCheck index =
        marketdb::checkIndexText(indexText, change_.originalPriceSize());
    if (!index.ok) return refuseGroup(StoreStatusY, index.message);
  }
  if (sys_.storePosition < 0 || sys_.storePosition >= marketdb::HistoryDays) {
    return refuseGroup(StoreStatusY,
                       format(SJ("pelinoru.sys の格納位置%dが異常なので格納処理しません").c_str(),
                              sys_.storePosition));
  }

  // Every file is checked before anything is written; the first refused one ends the group.
  int accepted = 0;
  StoreResult stop = StoreResult::Stored;
  std::int32_t running = sys_.lastStoreDate;
  for (int i = 0; i < readable; ++i) {
    stop = check(files[static_cast<std::size_t>(i)], running);
    if (stop != StoreResult::Stored) break;
    ++accepted;
  }
  if (accepted > 0 && !write(files, accepted)) return fileFailure(change_.message());

  for (const DailyFile& file : files) file.shown.replay(out_);
  if (accepted < static_cast<int>(paths.size()) && stop == StoreResult::Stored)
    stop = StoreResult::Refused;  // a file that could not be read
  return {stop, accepted};
}

// Reads the whole daily file and checks every line and every date step; nothing is written.
StoreResult GroupStore::check(DailyFile& file, std::int32_t& running) {
  DailyStreamReader reader(file.stream.get());
  ReadFields r;
  Converted last;
  std::int32_t previousDate = 0;
  for (;;) {
    const DailyRead status = reader.next(r);
    if (status == DailyRead::End) break;
    if (status == DailyRead::TooLong) {
      return refuse(file.shown, StoreStatusY,
                    format(SJ("%s の%d行目が%dﾊﾞｲﾄを超えるので格納処理しません").c_str(),
                           file.name.c_str(), reader.lineNumber(),
                           static_cast<int>(MaxDailyLineBytes)));
    }
    if (status == DailyRead::Malformed && reader.readError()) {
      return refuse(file.shown, StoreStatusY,
                    format(SJ("%s が読めません(%s)").c_str(), file.name.c_str(),
                           std::strerror(EIO)));
    }
    if (status == DailyRead::Malformed) return refuseMalformed(file, r, last);
    last = convert(r);
    if (!isWholeDate(r.date)) return refuseMalformed(file, r, last);
    const std::int32_t date = layout_.readDate(r.date);
    if (date != previousDate) {
      // Each new date must be later than the last stored one and than the file's previous
      // date.
      if (date <= running) {
        return refuse(
            file.shown, StoreStatusY,
            format(SJ("今回格納日付%sが前回格納日付%sより後でないので格納処理しません").c_str(),
                   layout_.formatDate(date).c_str(), layout_.formatDate(running).c_str()));
      }
      running = date;
      previousDate = date;
    }
    DailyLine line;
    std::memcpy(line.name, r.name, sizeof line.name);
    line.name[14] = '\0';
    line.volume = r.volume;
    line.date = date;
    line.v = last;
    file.lines.push_back(line);
  }
  file.stream.reset();
  if (file.lines.empty()) {
    return refuse(file.shown, StoreStatusY,
                  SJ("日々株価データに株価の行がないので格納処理しません"));
  }
  return StoreResult::Stored;
}

StoreResult GroupStore::refuseMalformed(DailyFile& file, const ReadFields& r,
                                        const Converted& last) {
  char name[15];
  std::memcpy(name, r.name, sizeof name);
  name[14] = '\0';
  show(file.shown, StoreLineKind::Refusal, Red, StoreCodeY,
       format("%s%5d%5d%5d%5d%5d%7g%7g%4d%6g", name, displayInt(last.open),
              displayInt(last.high), displayInt(last.low), displayInt(last.close),
              displayInt(last.change), static_cast<double>(r.volume),
              static_cast<double>(r.date), displayInt(last.market),
              static_cast<double>(last.code)));
  return refuse(file.shown, StoreMalformedY,
                SJ("入力株価データが異常です、ﾃﾞｰﾀﾍﾞｰｽは変更せずに異常処理終了しました。"));
}

PendingBlock& GroupStore::pendingFor(int index) {
  int& at = pendingOf_[static_cast<std::size_t>(index)];
  if (at >= 0) return pending_[static_cast<std::size_t>(at)];
  at = static_cast<int>(pending_.size());
  PendingBlock block;
  block.slot = table_->krecordi[index];
  block.isNew = index >= readCount_;
  block.at = pending_.size();
  bytes_.resize(bytes_.size() + blockBytes_);
  pending_.push_back(block);
  return pending_.back();
}

void GroupStore::putRecord(int index, int position, const DayRecord& rec) {
  const PendingBlock& block = pendingFor(index);
  const int at = (position - rangeStart_ + marketdb::HistoryDays) % marketdb::HistoryDays;
  layout_.encodeRecord(rec, bytes_.data() + block.at * blockBytes_ +
                                static_cast<std::size_t>(at) * layout_.recordBytes);
}

// A ring position the group comes round to again (more than 640 days in one group): its
// records of the earlier lap give way to the new day's, or to an empty record.
void GroupStore::clearPosition(int position) {
  const int at = (position - rangeStart_ + marketdb::HistoryDays) % marketdb::HistoryDays;
  for (const PendingBlock& block : pending_) {
    unsigned char* record = bytes_.data() + block.at * blockBytes_ +
                            static_cast<std::size_t>(at) * layout_.recordBytes;
    std::fill(record, record + layout_.recordBytes, 0);
  }
}

// Reads the range of every stock that had a block, all at once, for the journal.
void GroupStore::readOriginals() {
  const int first = std::min(rangeDays_, marketdb::HistoryDays - rangeStart_);
  const std::size_t firstBytes = static_cast<std::size_t>(first) * layout_.recordBytes;
  const std::size_t restBytes = blockBytes_ - firstBytes;
  original_.assign(bytes_.size(), 0);
  std::vector<marketdb::PriceRead> reads;
  reads.reserve(pending_.size() * 2);
  for (const PendingBlock& block : pending_) {
    if (block.isNew) continue;
    unsigned char* original = original_.data() + block.at * blockBytes_;
    reads.push_back({layout_.recordOffset(block.slot, rangeStart_), original, firstBytes});
    if (restBytes > 0)
      reads.push_back({layout_.recordOffset(block.slot, 0), original + firstBytes, restBytes});
  }
  change_.readPricesGathered(std::move(reads));
}

// The new stocks a file could not add, as one line for the file: how many, and the first codes.
void GroupStore::showRefusedNew(HeldOutput& held) {
  if (refusedNew_.empty()) return;
  std::string codes;
  for (std::size_t i = 0; i < refusedNew_.size() && i < 5; ++i) {
    if (i > 0) codes += ' ';
    codes += std::to_string(refusedNew_[i]);
  }
  if (refusedNew_.size() > 5) codes += " ...";
  show(held, StoreLineKind::Skipped, Red, StoreFullSkipY,
       format(SJ("銘柄数が上限の3019なので新しい銘柄%d件を追加しません: ｺｰﾄﾞ%s").c_str(),
              static_cast<int>(refusedNew_.size()), codes.c_str()));
  for (int code : refusedNew_) refusedSeen_[static_cast<std::size_t>(code)] = false;
  refusedNew_.clear();
}

// Writes the accepted files as one change: the records of every file into pelinoru.dat, one
// flush, then pelinoru.idx and pelinoru.sys replaced once.
bool GroupStore::write(std::vector<DailyFile>& files, int count) {
  StockTable& t = *table_;
  readCount_ = t.count;
  for (int i = 0; i < readCount_; ++i) largestSlot_ = std::max(largestSlot_, t.krecordi[i]);

  // The ring positions the group advances through.
  int days = 0;
  for (int f = 0; f < count; ++f) {
    std::int32_t previousDate = 0;
    for (const DailyLine& line : files[static_cast<std::size_t>(f)].lines) {
      if (line.date != previousDate) ++days;
      previousDate = line.date;
    }
  }
  rangeStart_ = marketdb::nextSlot(sys_.storePosition);
  rangeDays_ = std::min(days, marketdb::HistoryDays);
  blockBytes_ = static_cast<std::size_t>(rangeDays_) * layout_.recordBytes;
  {
    std::size_t lines = 0;
    for (int f = 0; f < count; ++f) lines += files[static_cast<std::size_t>(f)].lines.size();
    const std::size_t blocks =
        std::min<std::size_t>(lines + static_cast<std::size_t>(readCount_), pendingOf_.size());
    pending_.reserve(blocks);
    bytes_.reserve(blocks * blockBytes_);
  }

  // Every stock of the table gets a record at every position the group stores: its day, or an
  // empty record when it has no line there, so that a missing stock never shows the day an
  // earlier lap left in that slot.
  for (int i = 0; i < readCount_; ++i) pendingFor(i);

  int position = sys_.storePosition;
  int daysStored = 0;
  for (int f = 0; f < count; ++f) {
    DailyFile& file = files[static_cast<std::size_t>(f)];
    // Each file's store starts from the index as the previous one left it.
    for (int i = 0; i < readCount_ + addedCount_; ++i) t.kchumoku[i] = 0;
    std::int32_t previousDate = 0;
    for (const DailyLine& line : file.lines) {
      if (line.date != previousDate) {
        previousDate = line.date;
        sys_.lastStoreDate = line.date;
        position = marketdb::nextSlot(position);
        if (daysStored++ >= marketdb::HistoryDays) clearPosition(position);
        show(file.shown, StoreLineKind::Progress, LightGrey, StoreStatusY,
             format(SJ("格納中%s位置%3d").c_str(), layout_.formatDate(line.date).c_str(),
                    position));
      }
      storeLine(file.shown, line, position);
    }
    file.lines = std::vector<DailyLine>();
    showRefusedNew(file.shown);
    show(file.shown, StoreLineKind::Completed, White, StoreCodeY,
         SJ("正常に格納処理終了しました。時々pelinoru.(sys idx dat win)をﾊﾞｯｸｱｯﾌﾟしましょう"));
  }
  sys_.storePosition = position;
  t.count = readCount_ + addedCount_;
  t.kcodeidx[t.count] = marketdb::StockCodeEnd;
  readOriginals();

  // The regions, in file order.
  std::sort(pending_.begin(), pending_.end(),
            [](const PendingBlock& a, const PendingBlock& b) { return a.slot < b.slot; });
  // Each stock's positions are one run from the first position the group writes and, when
  // they wrap past the end of the ring, a second run from its start. A new stock's whole block
  // is written, the positions the group does not store as empty days.
  const int first = std::min(rangeDays_, marketdb::HistoryDays - rangeStart_);
  const std::int64_t firstBytes = std::int64_t{first} * layout_.recordBytes;
  const std::int64_t restBytes = std::int64_t{rangeDays_ - first} * layout_.recordBytes;
  const std::int64_t firstInBlock = layout_.recordOffset(0, rangeStart_) - layout_.recordOffset(0, 0);
  std::vector<marketdb::PriceRegion> regions;
  regions.reserve(pending_.size() * 2);
  for (const PendingBlock& block : pending_) {
    const std::int64_t start = layout_.recordOffset(block.slot, 0);
    if (block.isNew) {
      regions.push_back({start, layout_.blockBytes()});
      continue;
    }
    const unsigned char* original = original_.data() + block.at * blockBytes_;
    regions.push_back({layout_.recordOffset(block.slot, rangeStart_), firstBytes, original});
    if (restBytes > 0) regions.push_back({start, restBytes, original + firstBytes});
  }
  if (!change_.begin(regions, {layout_.indexFile, layout_.systemFile})) return false;

  std::vector<unsigned char> whole(static_cast<std::size_t>(layout_.blockBytes()));
  for (const PendingBlock& block : pending_) {
    const std::int64_t start = layout_.recordOffset(block.slot, 0);
    const unsigned char* bytes = bytes_.data() + block.at * blockBytes_;
    if (block.isNew) {
      std::fill(whole.begin(), whole.end(), 0);
      std::copy(bytes, bytes + firstBytes, whole.begin() + firstInBlock);
      std::copy(bytes + firstBytes, bytes + firstBytes + restBytes, whole.begin());
      if (!change_.writePrices(start, whole.data(), whole.size())) return false;
      continue;
    }
    if (!change_.writePrices(layout_.recordOffset(block.slot, rangeStart_), bytes,
                             static_cast<std::size_t>(firstBytes)))
      return false;
    if (restBytes > 0 &&
        !change_.writePrices(start, bytes + firstBytes, static_cast<std::size_t>(restBytes)))
      return false;
  }
  // The disk takes pelinoru.dat while the new texts are made.
  if (!change_.startPriceFlush()) return false;
  return change_.commit({{layout_.indexFile, marketdb::formatStockTable(t)},
                         {layout_.systemFile, marketdb::formatSystemFile(sys_)}});
}

// Stores one line at ring slot `position`. A line that is not stored (another market, no stock
// code, a value a day record cannot hold, a full stock table) changes nothing.
void GroupStore::storeLine(HeldOutput& held, const DailyLine& line, int position) {
  const Converted& v = line.v;
  if (!(v.market >= 801.0)) return;
  if (!isStorableCode(v.code)) return;
  // A NaN fits no range.
  if (!layout_.holdsPrice(v.open) || !layout_.holdsPrice(v.high) || !layout_.holdsPrice(v.low) ||
      !layout_.holdsPrice(v.close) || !layout_.holdsPrice(v.change) ||
      !std::isfinite(line.volume)) {
    show(held, StoreLineKind::Skipped, Red, StorePriceSkipY,
         format(SJ("価格が範囲外のため格納しません: ｺｰﾄﾞ%4g").c_str(),
                static_cast<double>(v.code)));
    return;
  }
  held.codeEcho(v.code);

  StockTable& t = *table_;
  const int code = static_cast<int>(v.code);
  const marketdb::StockCode stockCode = marketdb::codeFromNumber(v.code);
  int index = t.findStock(stockCode);
  if (index < 0) index = addedByCode_[static_cast<std::size_t>(code)];

  DayRecord rec;
  rec.date = line.date;
  rec.open = static_cast<std::int32_t>(v.open);
  rec.high = static_cast<std::int32_t>(v.high);
  rec.low = static_cast<std::int32_t>(v.low);
  rec.close = static_cast<std::int32_t>(v.close);
  rec.change = static_cast<std::int32_t>(v.change);
  rec.volume = line.volume;
  const int section = marketdb::sectionOfMarketCode(displayInt(v.market));

  if (index >= 0) {
    putRecord(index, position, rec);
    std::memcpy(t.kmeiidx[index], line.name, 15);
    if (section != 0) t.ksijo[index] = section;
    t.kchumoku[index] = percentChange(v, line.volume);
    return;
  }

  if (readCount_ + addedCount_ >= layout_.maxStocks) {
    if (!refusedSeen_[static_cast<std::size_t>(code)]) {
      refusedSeen_[static_cast<std::size_t>(code)] = true;
      refusedNew_.push_back(code);
    }
    return;
  }
  index = readCount_ + addedCount_;
  ++addedCount_;
  addedByCode_[static_cast<std::size_t>(code)] = index;
  t.ksakujo[index] = 0;
  t.ksijo[index] = section;
  t.kcodeidx[index] = stockCode;
  std::memcpy(t.kmeiidx[index], line.name, 15);
  t.krecordi[index] = ++largestSlot_;
  t.kchumoku[index] = percentChange(v, line.volume);
  t.kcodeidx[index + 1] = marketdb::StockCodeEnd;
  putRecord(index, position, rec);
}

}  // namespace

StoreRun storeDailyFiles(const std::vector<std::string>& paths, StoreOutput& out,
                         int groupFiles) {
  StoreRun total;
  const std::size_t group = static_cast<std::size_t>(std::max(groupFiles, 1));
  for (std::size_t first = 0; first < paths.size(); first += group) {
    const std::size_t last = std::min(paths.size(), first + group);
    GroupStore store(out);
    // The .bak files keep the state from before the whole command, not from between groups.
    store.keepBakGeneration(first > 0);
    const StoreRun run =
        store.run(std::vector<std::string>(paths.begin() + static_cast<long>(first),
                                           paths.begin() + static_cast<long>(last)));
    total.result = run.result;
    total.storedFiles += run.storedFiles;
    if (run.result != StoreResult::Stored) break;
  }
  return total;
}

StoreResult storeDailyFile(const std::string& path, StoreOutput& out) {
  return storeDailyFiles({path}, out, 1).result;
}

bool dailyFileMatchesKind(const std::string& path, int databaseKind) {
  const std::string name = std::filesystem::path(path).filename().string();
  if (name.empty()) return false;
  return (name[0] == 'W' && databaseKind == 0) || (name[0] == 'N' && databaseKind == 1);
}

const std::string& otherMarketMessage() {
  return SJ("他市場の日々株価データを格納しようとした、ＷＮを確認！もう一度");
}

}  // namespace dbprogram
