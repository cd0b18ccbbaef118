#include "dbprogram/store.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "marketdb/files.h"
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

// One read of the daily file's line format. The targets live across reads, as a partial read
// leaves the fields it did not reach as the previous line left them.
struct ReadFields {
  char openMark[2] = {};
  char name[15] = {};
  char closeMark[2] = {};
  float open = 0, high = 0, low = 0, close = 0, change = 0, volume = 0, date = 0, market = 0,
        code10 = 0;
};

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
  float date = 0;
  Converted v;
};

enum class ReadStatus { Line, End, Malformed };

ReadStatus readLine(std::FILE* f, ReadFields& r) {
  const int n = std::fscanf(f, "%1s%14s%1s,%f,%f,%f,%f,%f,%f,%f,%f,%f", r.openMark, r.name,
                            r.closeMark, &r.open, &r.high, &r.low, &r.close, &r.change,
                            &r.volume, &r.date, &r.market, &r.code10);
  if (n == 12) return ReadStatus::Line;
  // Only a read that converts nothing at the end of the file ends it; a read error or a line
  // cut short (also at the very end) is a malformed line.
  if (n == EOF && !std::ferror(f)) return ReadStatus::End;
  return ReadStatus::Malformed;
}

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

bool fitsInt16(double v) { return v >= -32768.0 && v <= 32767.0; }  // false for NaN

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

class Store {
 public:
  Store(const std::string& path, StoreOutput& out) : path_(path), out_(out) {}
  StoreResult run();

 private:
  void show(StoreLineKind kind, COLORREF colour, int y, const std::string& text) {
    StoreLine line;
    line.kind = kind;
    line.text = text;
    line.colour = colour;
    line.x = 0;
    line.y = y;
    out_.line(line);
  }
  StoreResult refuse(int y, const std::string& text) {
    out_.bell();
    show(StoreLineKind::Refusal, Red, y, text);
    return StoreResult::Refused;
  }
  StoreResult fileFailure(const std::string& message) {
    out_.fileMessage(message, marketdb::fileCaption());
    return StoreResult::Failed;
  }
  StoreResult readAndCheck(std::FILE* f);
  StoreResult refuseMalformed(const ReadFields& r, const Converted& last);
  StoreResult writeAll();
  bool storeLine(const DailyLine& line, int position);

  std::string path_;
  StoreOutput& out_;
  SystemFile sys_;
  std::unique_ptr<StockTable> table_ = std::make_unique<StockTable>();
  marketdb::PriceFile dat_;
  std::vector<DailyLine> lines_;
  int readCount_ = 0;   // stocks read from pelinoru.idx
  int addedCount_ = 0;  // stocks added by this store
  int largestSlot_ = -1;
};

StoreResult Store::run() {
  // Only a regular file is a daily file: a folder, a FIFO or a device is refused at once.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> daily(marketdb::openRegularFile(path_),
                                                        std::fclose);
  if (!daily) return refuse(StoreStatusY, SJ("目的のW(N)yymmddﾌｧｲﾙがありません"));

  if (marketdb::readSystemFile(sys_) != FileStatus::Ok)
    return fileFailure(marketdb::missingFileMessage(marketdb::SystemFileName));
  if (marketdb::readStockTable(*table_) != FileStatus::Ok)
    return fileFailure(marketdb::missingFileMessage(marketdb::IndexFileName));
  // pelinoru.dat must already exist: creating it here would give the stocks of pelinoru.idx
  // histories of zeros.
  if (!dat_.openForReading())
    return fileFailure(marketdb::missingFileMessage(marketdb::PriceFileName));
  dat_.close();

  if (sys_.storePosition < 0 || sys_.storePosition >= marketdb::HistoryDays) {
    return refuse(StoreStatusY,
                  format(SJ("pelinoru.sys の格納位置%dが異常なので格納処理しません").c_str(),
                         sys_.storePosition));
  }

  const StoreResult checked = readAndCheck(daily.get());
  daily.reset();
  if (checked != StoreResult::Stored) return checked;
  return writeAll();
}

// Reads the whole daily file and checks every line and every date step; nothing is written.
StoreResult Store::readAndCheck(std::FILE* f) {
  ReadFields r;
  Converted last;
  float running = sys_.lastStoreDate;
  float previousDate = 0;
  for (;;) {
    const ReadStatus status = readLine(f, r);
    if (status == ReadStatus::End) break;
    if (status == ReadStatus::Malformed) return refuseMalformed(r, last);
    last = convert(r);
    if (!isWholeDate(r.date)) return refuseMalformed(r, last);
    if (r.date != previousDate) {
      // Each new date must be later than the last stored one and than the file's previous
      // date.
      if (!marketdb::dateLater(r.date, running)) {
        return refuse(
            StoreStatusY,
            format(SJ("前回格納日付は%06g＞今回格納日付%06gなので格納処理しません").c_str(),
                   static_cast<double>(running), static_cast<double>(r.date)));
      }
      running = r.date;
      previousDate = r.date;
    }
    DailyLine line;
    std::memcpy(line.name, r.name, sizeof line.name);
    line.name[14] = '\0';
    line.volume = r.volume;
    line.date = r.date;
    line.v = last;
    lines_.push_back(line);
  }
  if (lines_.empty()) {
    return refuse(StoreStatusY, SJ("日々株価データに株価の行がないので格納処理しません"));
  }
  return StoreResult::Stored;
}

StoreResult Store::refuseMalformed(const ReadFields& r, const Converted& last) {
  char name[15];
  std::memcpy(name, r.name, sizeof name);
  name[14] = '\0';
  show(StoreLineKind::Refusal, Red, StoreCodeY,
       format("%s%5d%5d%5d%5d%5d%7g%7g%4d%6g", name, displayInt(last.open),
              displayInt(last.high), displayInt(last.low), displayInt(last.close),
              displayInt(last.change), static_cast<double>(r.volume),
              static_cast<double>(r.date), displayInt(last.market),
              static_cast<double>(last.code)));
  return refuse(StoreMalformedY,
                SJ("入力株価データが異常です、ﾃﾞｰﾀﾍﾞｰｽは変更せずに異常処理終了しました。"));
}

StoreResult Store::writeAll() {
  StockTable& t = *table_;
  readCount_ = t.count;
  for (int i = 0; i < readCount_; ++i) {
    t.kchumoku[i] = 0;
    if (t.krecordi[i] > largestSlot_) largestSlot_ = t.krecordi[i];
  }
  if (!dat_.openForWriting())
    return fileFailure(marketdb::unwritableFileMessage(marketdb::PriceFileName));

  int position = sys_.storePosition;
  float previousDate = 0;
  for (const DailyLine& line : lines_) {
    if (line.date != previousDate) {
      previousDate = line.date;
      sys_.lastStoreDate = line.date;
      position = marketdb::nextSlot(position);
      show(StoreLineKind::Progress, LightGrey, StoreStatusY,
           format(SJ("格納中%06g位置%3d").c_str(), static_cast<double>(line.date), position));
    }
    if (!storeLine(line, position))
      return fileFailure(marketdb::unwritableFileMessage(marketdb::PriceFileName));
  }
  if (!dat_.sync()) return fileFailure(marketdb::unwritableFileMessage(marketdb::PriceFileName));
  dat_.close();

  sys_.storePosition = position;
  t.count = readCount_ + addedCount_;
  t.kcodeidx[t.count] = marketdb::EndCode;
  if (marketdb::writeStockTable(t) != FileStatus::Ok)
    return fileFailure(marketdb::unwritableFileMessage(marketdb::IndexFileName));
  if (marketdb::writeSystemFile(sys_) != FileStatus::Ok)
    return fileFailure(marketdb::unwritableFileMessage(marketdb::SystemFileName));

  show(StoreLineKind::Completed, White, StoreCodeY,
       SJ("正常に格納処理終了しました。時々pelinoru.(sys idx dat win)をﾊﾞｯｸｱｯﾌﾟしましょう"));
  return StoreResult::Stored;
}

// Stores one line at ring slot `position`; false when pelinoru.dat could not be written. A line
// that is not stored (another market, no stock code, a value a day record cannot hold, a full
// stock table) returns true.
bool Store::storeLine(const DailyLine& line, int position) {
  const Converted& v = line.v;
  if (!(v.market >= 801.0)) return true;
  if (!isStorableCode(v.code)) return true;
  if (!fitsInt16(v.open) || !fitsInt16(v.high) || !fitsInt16(v.low) || !fitsInt16(v.close) ||
      !fitsInt16(v.change) || !std::isfinite(line.volume)) {
    show(StoreLineKind::Skipped, Red, StorePriceSkipY,
         format(SJ("価格が範囲外のため格納しません: ｺｰﾄﾞ%4g").c_str(),
                static_cast<double>(v.code)));
    return true;
  }
  show(StoreLineKind::CodeEcho, Red, StoreCodeY, format("%6g", static_cast<double>(v.code)));

  StockTable& t = *table_;
  int index = t.findStock(v.code);
  if (index < 0) {
    for (int i = readCount_; i < readCount_ + addedCount_; ++i) {
      if (t.kcodeidx[i] == v.code) {
        index = i;
        break;
      }
    }
  }

  DayRecord rec;
  rec.date = line.date;
  rec.open = static_cast<std::int16_t>(v.open);
  rec.high = static_cast<std::int16_t>(v.high);
  rec.low = static_cast<std::int16_t>(v.low);
  rec.close = static_cast<std::int16_t>(v.close);
  rec.change = static_cast<std::int16_t>(v.change);
  rec.volume = line.volume;
  const int section = marketdb::sectionOfMarketCode(displayInt(v.market));

  if (index >= 0) {
    if (!dat_.writeDay(t.krecordi[index], position, rec)) return false;
    std::memcpy(t.kmeiidx[index], line.name, 15);
    if (section != 0) t.ksijo[index] = section;
    t.kchumoku[index] = percentChange(v, line.volume);
    return true;
  }

  if (readCount_ + addedCount_ >= marketdb::MaxStocks - 1) {
    show(StoreLineKind::Skipped, Red, StoreFullSkipY,
         format(SJ("銘柄数が上限の3019なので新しい銘柄を追加しません: ｺｰﾄﾞ%4g").c_str(),
                static_cast<double>(v.code)));
    return true;
  }
  index = readCount_ + addedCount_;
  ++addedCount_;
  const int slot = ++largestSlot_;
  t.ksakujo[index] = 0;
  t.ksijo[index] = section;
  t.kcodeidx[index] = v.code;
  std::memcpy(t.kmeiidx[index], line.name, 15);
  t.krecordi[index] = slot;
  t.kchumoku[index] = percentChange(v, line.volume);
  t.kcodeidx[index + 1] = marketdb::EndCode;
  if (!dat_.initHistory(slot)) return false;
  return dat_.writeDay(slot, position, rec);
}

}  // namespace

StoreResult storeDailyFile(const std::string& path, StoreOutput& out) {
  Store store(path, out);
  return store.run();
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
