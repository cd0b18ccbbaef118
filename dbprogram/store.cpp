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
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "dbprogram/daily_parser.h"
#include "dbprogram/wide_daily_parser.h"
#include "marketdb/bytes.h"
#include "marketdb/files.h"
#include "marketdb/index_check.h"
#include "marketdb/journal.h"
#include "marketdb/layout.h"
#include "marketdb/wide_header.h"
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
  double volume = 0;
  std::int32_t date = 0;  // yyyymmdd
  marketdb::StockCode code = marketdb::NoStockCode;  // NoStockCode: a line that is not stored
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
int percentChange(const Converted& v, double volume) {
  if (volume == 0.0) return 0;
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
  void codeEcho(marketdb::StockCode code) { items_.push_back({Item::Echo, code, 0}); }
  void replay(StoreOutput& out, const marketdb::DatabaseLayout& layout) const {
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
          echo.text = format("%6s", layout.formatCode(item.code).c_str());
          out.line(echo);
          break;
      }
    }
  }

 private:
  struct Item {
    enum What : unsigned char { Line, Bell, Echo } what;
    marketdb::StockCode code;  // Echo
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
    held.replay(out_, layout_);
    return {StoreResult::Refused, 0};
  }
  StoreRun fileFailure(const std::string& message) {
    out_.fileMessage(message, marketdb::fileCaption());
    return {StoreResult::Failed, 0};
  }
  StoreResult check(DailyFile& file, std::int32_t& running);
  StoreResult checkWide(DailyFile& file, std::int32_t& running);
  StoreResult refuseDate(DailyFile& file, std::int32_t date, std::int32_t running);
  StoreResult linesRead(DailyFile& file);
  bool writeRows();
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
  std::unordered_map<marketdb::StockCode, int> addedByCode_;  // code -> index of an added stock
  marketdb::WideHeader header_;  // the wide price file's header, read under the lock
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
  std::vector<marketdb::StockCode> refusedNew_;
  std::unordered_set<marketdb::StockCode> refusedSeen_;
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
    files.front().shown.replay(out_, layout_);
    return {StoreResult::Refused, 0};
  }

  // Without a database there is nothing to lock.
  if (::access(layout_.systemFile, F_OK) != 0)
    return fileFailure(marketdb::missingFileMessage(layout_.systemFile));
  if (!change_.lock()) return refuseGroup(StoreStatusY, change_.message());

  // A wide file that is not one this program reads is refused as a daily file would be:
  // nothing is written.
  const std::string& damaged = marketdb::damagedFileMessage();
  FileStatus status = marketdb::readSystemFile(sys_);
  if (status == FileStatus::Damaged) return refuseGroup(StoreStatusY, damaged);
  if (status != FileStatus::Ok) return fileFailure(marketdb::missingFileMessage(layout_.systemFile));
  status = marketdb::readStockTable(*table_);
  if (status == FileStatus::Damaged) return refuseGroup(StoreStatusY, damaged);
  if (status != FileStatus::Ok) return fileFailure(marketdb::missingFileMessage(layout_.indexFile));
  // The price file must already exist: creating it here would give the stocks of the index
  // histories of zeros.
  if (!change_.openPrices()) return fileFailure(marketdb::missingFileMessage(layout_.priceFile));
  if (layout_.kind == marketdb::DatabaseKind::Wide) {
    // The header places every record and gives the next record slot; the index check holds the
    // index against it.
    const marketdb::WideCheck header = marketdb::readWideHeader(layout_.priceFile, header_);
    if (!header.ok) return refuseGroup(StoreStatusY, header.message);
    const marketdb::IndexCheck index = marketdb::checkIndexFile();
    if (!index.ok) return refuseGroup(StoreStatusY, index.message);
  } else {
    std::string indexText;
    readWholeText(layout_.indexFile, indexText);
    const marketdb::IndexCheck index =
        marketdb::checkIndexText(indexText, change_.originalPriceSize());
    if (!index.ok) return refuseGroup(StoreStatusY, index.message);
  }
  if (sys_.storePosition < 0 || sys_.storePosition >= marketdb::HistoryDays) {
    return refuseGroup(StoreStatusY,
                       format(SJ("%s の格納位置%dが異常なので格納処理しません").c_str(),
                              layout_.systemFile, sys_.storePosition));
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

  for (const DailyFile& file : files) file.shown.replay(out_, layout_);
  if (accepted < static_cast<int>(paths.size()) && stop == StoreResult::Stored)
    stop = StoreResult::Refused;  // a file that could not be read
  return {stop, accepted};
}

// Reads the whole daily file and checks every line and every date step; nothing is written.
StoreResult GroupStore::check(DailyFile& file, std::int32_t& running) {
  // The form is told by the first line: the extended form opens with its own line.
  {
    std::string start(MaxDailyLineBytes + 1, '\0');
    start.resize(std::fread(start.data(), 1, start.size(), file.stream.get()));
    std::rewind(file.stream.get());
    if (isWideDailyText(start)) {
      if (layout_.kind == marketdb::DatabaseKind::Wide) return checkWide(file, running);
      return refuse(file.shown, StoreStatusY,
                    format(SJ("%s の1行目はワイド形式の日々株価データなので格納しません").c_str(),
                           file.name.c_str()));
    }
  }
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
    // The classic form's dates are yymmdd in either kind of database.
    const std::int32_t date = marketdb::dateKey(r.date);
    if (date != previousDate) {
      // Each new date must be later than the last stored one and than the file's previous
      // date.
      if (date <= running) return refuseDate(file, date, running);
      running = date;
      previousDate = date;
    }
    DailyLine line;
    std::memcpy(line.name, r.name, sizeof line.name);
    line.name[14] = '\0';
    line.volume = r.volume;
    line.date = date;
    line.v = last;
    if (isStorableCode(last.code)) line.code = marketdb::codeFromNumber(last.code);
    file.lines.push_back(line);
  }
  return linesRead(file);
}

// The end of a file's check: its stream is done with, and a file without a price line is
// refused.
StoreResult GroupStore::linesRead(DailyFile& file) {
  file.stream.reset();
  if (file.lines.empty()) {
    return refuse(file.shown, StoreStatusY,
                  SJ("日々株価データに株価の行がないので格納処理しません"));
  }
  return StoreResult::Stored;
}

StoreResult GroupStore::refuseDate(DailyFile& file, std::int32_t date, std::int32_t running) {
  return refuse(file.shown, StoreStatusY,
                format(SJ("今回格納日付%sが前回格納日付%sより後でないので格納処理しません").c_str(),
                       layout_.formatDate(date).c_str(), layout_.formatDate(running).c_str()));
}

// The extended form: every line is checked by its reader, which refuses the whole file at the
// first line it cannot take, naming the file and the line.
StoreResult GroupStore::checkWide(DailyFile& file, std::int32_t& running) {
  WideDailyStreamReader reader(file.stream.get(), pelinor::text::toCp932(file.name));
  WideDailyLine r;
  std::int32_t previousDate = 0;
  for (;;) {
    const WideDailyRead status = reader.next(r);
    if (status == WideDailyRead::End) break;
    if (status == WideDailyRead::Refused) {
      if (reader.readError())
        return refuse(file.shown, StoreStatusY,
                      format(SJ("%s が読めません(%s)").c_str(), file.name.c_str(),
                             std::strerror(EIO)));
      return refuse(file.shown, StoreStatusY, reader.message());
    }
    if (r.date != previousDate) {
      if (r.date <= running) return refuseDate(file, r.date, running);
      running = r.date;
      previousDate = r.date;
    }
    DailyLine line;
    std::memcpy(line.name, r.name, sizeof line.name);
    line.name[14] = '\0';
    line.volume = r.volume;
    line.date = r.date;
    line.code = r.code;
    line.v.open = static_cast<double>(r.open);
    line.v.high = static_cast<double>(r.high);
    line.v.low = static_cast<double>(r.low);
    line.v.close = static_cast<double>(r.close);
    line.v.change = static_cast<double>(r.change);
    line.v.market = static_cast<double>(r.market);
    file.lines.push_back(line);
  }
  return linesRead(file);
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
    codes += layout_.formatCode(refusedNew_[i]);
  }
  if (refusedNew_.size() > 5) codes += " ...";
  show(held, StoreLineKind::Skipped, Red, StoreFullSkipY,
       format(SJ("銘柄数が上限の%dなので新しい銘柄%d件を追加しません: ｺｰﾄﾞ%s").c_str(),
              layout_.maxStocks, static_cast<int>(refusedNew_.size()), codes.c_str()));
  for (marketdb::StockCode code : refusedNew_) refusedSeen_.erase(code);
  refusedNew_.clear();
}

// Writes the accepted files as one change: the records of every file into pelinoru.dat, one
// flush, then pelinoru.idx and pelinoru.sys replaced once.
bool GroupStore::write(std::vector<DailyFile>& files, int count) {
  StockTable& t = *table_;
  readCount_ = t.count;
  for (int i = 0; i < readCount_; ++i) largestSlot_ = std::max(largestSlot_, t.krecordi[i]);
  // A wide database gives out its record slots in turn and never twice.
  if (layout_.kind == marketdb::DatabaseKind::Wide)
    largestSlot_ = std::max(largestSlot_, static_cast<int>(header_.recordsAssigned) - 1);

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
    const std::string stem(layout_.systemFile, std::strcspn(layout_.systemFile, "."));
    show(file.shown, StoreLineKind::Completed, White, StoreCodeY,
         format(SJ("正常に格納処理終了しました。時々%s.(sys idx dat win)をﾊﾞｯｸｱｯﾌﾟしましょう").c_str(),
                stem.c_str()));
  }
  sys_.storePosition = position;
  t.count = readCount_ + addedCount_;
  t.kcodeidx[t.count] = marketdb::StockCodeEnd;
  if (!layout_.blocksContiguous()) return writeRows();
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

// The wide price file holds the records of a few neighbouring ring slots of each record slot
// together in a tile, and the tiles of those ring slots side by side in a tile row: the group
// writes, for every tile row it stores into, the one run of the tiles of record slots 0..n-1
// (n the record slots given out, new stocks' included), its ring slots replaced and the others
// as they were, and the header when it gave out new slots.
bool GroupStore::writeRows() {
  StockTable& t = *table_;
  const int slots = largestSlot_ + 1;
  const int tileDays = layout_.tileDays;
  const std::size_t recordBytes = static_cast<std::size_t>(layout_.recordBytes);
  const std::size_t tileBytes = static_cast<std::size_t>(layout_.tileBytes());
  const std::size_t runBytes = static_cast<std::size_t>(slots) * tileBytes;
  // Every record slot below `slots` is a stock of the table, so every record of a row comes
  // from one pending block.
  std::vector<const unsigned char*> blockOf(static_cast<std::size_t>(slots), nullptr);
  for (const PendingBlock& block : pending_)
    if (block.slot >= 0 && block.slot < slots)
      blockOf[static_cast<std::size_t>(block.slot)] = bytes_.data() + block.at * blockBytes_;

  // The tile rows the group's ring slots fall into, each once (a lap of 640 from the middle of
  // a tile comes back to it).
  std::vector<int> tiles;
  std::vector<bool> touched(static_cast<std::size_t>(layout_.tileRows()), false);
  for (int k = 0; k < rangeDays_; ++k) {
    const int tile = (rangeStart_ + k) % marketdb::HistoryDays / tileDays;
    if (!touched[static_cast<std::size_t>(tile)]) tiles.push_back(tile);
    touched[static_cast<std::size_t>(tile)] = true;
  }
  original_.assign(tiles.size() * runBytes, 0);
  std::vector<marketdb::PriceRead> reads;
  std::vector<marketdb::PriceRegion> regions;
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    const std::int64_t at = layout_.recordOffset(0, tiles[i] * tileDays);
    unsigned char* original = original_.data() + i * runBytes;
    reads.push_back({at, original, runBytes});
    regions.push_back({at, static_cast<std::int64_t>(runBytes), original});
  }
  if (!change_.readPricesGathered(reads)) return false;
  std::string header;
  if (slots > static_cast<int>(header_.recordsAssigned)) {
    marketdb::WideHeader grown = header_;
    grown.recordsAssigned = static_cast<std::uint32_t>(slots);
    header = marketdb::encodeWideHeader(grown);
    regions.push_back({0, static_cast<std::int64_t>(header.size()), nullptr});
  }
  std::sort(regions.begin(), regions.end(),
            [](const marketdb::PriceRegion& a, const marketdb::PriceRegion& b) {
              return a.offset < b.offset;
            });
  if (!change_.begin(regions, {layout_.indexFile, layout_.systemFile})) return false;

  std::vector<unsigned char> row(runBytes);
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    std::memcpy(row.data(), original_.data() + i * runBytes, runBytes);
    for (int k = 0; k < rangeDays_; ++k) {
      const int ring = (rangeStart_ + k) % marketdb::HistoryDays;
      if (ring / tileDays != tiles[i]) continue;
      unsigned char* to = row.data() + static_cast<std::size_t>(ring % tileDays) * recordBytes;
      for (int slot = 0; slot < slots; ++slot, to += tileBytes) {
        const unsigned char* from = blockOf[static_cast<std::size_t>(slot)];
        if (from)
          std::memcpy(to, from + static_cast<std::size_t>(k) * recordBytes, recordBytes);
        else
          std::memset(to, 0, recordBytes);
      }
    }
    if (!change_.writePrices(layout_.recordOffset(0, tiles[i] * tileDays), row.data(),
                             row.size()))
      return false;
  }
  if (!header.empty() &&
      !change_.writePrices(0, reinterpret_cast<const unsigned char*>(header.data()), header.size()))
    return false;
  if (!change_.startPriceFlush()) return false;
  return change_.commit({{layout_.indexFile, marketdb::formatStockTable(t)},
                         {layout_.systemFile, marketdb::formatSystemFile(sys_)}});
}

// Stores one line at ring slot `position`. A line that is not stored (another market, no stock
// code, a value a day record cannot hold, a full stock table) changes nothing.
void GroupStore::storeLine(HeldOutput& held, const DailyLine& line, int position) {
  const Converted& v = line.v;
  if (!(v.market >= 801.0)) return;
  const marketdb::StockCode stockCode = line.code;
  if (stockCode == marketdb::NoStockCode) return;
  // A NaN fits no range.
  if (!layout_.holdsPrice(v.open) || !layout_.holdsPrice(v.high) || !layout_.holdsPrice(v.low) ||
      !layout_.holdsPrice(v.close) || !layout_.holdsChange(v.change) ||
      !layout_.holdsVolume(line.volume)) {
    show(held, StoreLineKind::Skipped, Red, StorePriceSkipY,
         format(SJ("価格が範囲外のため格納しません: ｺｰﾄﾞ%4s").c_str(),
                layout_.formatCode(stockCode).c_str()));
    return;
  }
  held.codeEcho(stockCode);

  StockTable& t = *table_;
  int index = t.findStock(stockCode);
  if (index < 0) {
    const auto added = addedByCode_.find(stockCode);
    if (added != addedByCode_.end()) index = added->second;
  }

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
    if (refusedSeen_.insert(stockCode).second) refusedNew_.push_back(stockCode);
    return;
  }
  index = readCount_ + addedCount_;
  ++addedCount_;
  addedByCode_[stockCode] = index;
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
