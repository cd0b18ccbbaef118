#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "dbprogram/batch.h"
#include "marketdb/db_lock.h"
#include "marketdb/files.h"
#include "marketdb/layout.h"
#include "marketdb/settings.h"
#include "marketdb/wide_header.h"
#include "marketdb/wide_index.h"
#include "marketdb/wide_text.h"
#include "platform/text/cp932.h"

namespace dbprogram {

namespace {

using pelinor::text::toUtf8;

void usage(std::ostream& err) {
  err << "usage: pelinorx init W|N [--wide]\n"
         "  W: a database of the daily files W yymmdd, N: of the daily files N yymmdd\n"
         "  --wide: the wide kind, for the whole market: up to 10,000 stocks, codes with letters,\n"
         "          prices above 32,767 yen, full dates\n";
}

// Creates an empty file; false when it exists already or cannot be created.
bool createEmptyFile(const char* name) {
  const int fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

// Makes `name` with `contents`, whole or not at all, and only when no file of that name exists:
// the contents go to a temporary file first, which is then linked under the name (a link never
// replaces an existing name).
bool createFileWith(const char* name, const std::string& contents) {
  const std::string temp = std::string(name) + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  for (std::size_t at = 0; ok && at < contents.size();) {
    const ssize_t n = ::write(fd, contents.data() + at, contents.size() - at);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) at += static_cast<std::size_t>(n);
  }
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::link(temp.c_str(), name) == 0;
  ::unlink(temp.c_str());
  return ok;
}

void flushFolder() {
  const int dir = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  (void)::fsync(dir);
  ::close(dir);
}

// The files of a wide database in the order they are made: the index and the price file
// first, the system file last, so that a folder is taken for a wide database only once all of
// them are there. Whatever was made is removed again when a later one cannot be.
int createWide(const marketdb::SystemFile& sys, const marketdb::SettingsFile& win,
               const std::string& fileLetter, std::ostream& out) {
  marketdb::WideSystem wideSys;
  wideSys.sys = sys;
  wideSys.lastStoreDate = 0;
  marketdb::WideSettings wideWin;
  wideWin.win = win;
  const struct {
    const char* name;
    std::string contents;
  } files[] = {
      {marketdb::WideIndexFileName, marketdb::formatWideIndex({})},
      {marketdb::WidePriceFileName, marketdb::encodeWideHeader(marketdb::WideHeader{})},
      {marketdb::WideSettingsFileName, marketdb::formatWideSettingsFile(wideWin)},
      {marketdb::WideSystemFileName, marketdb::formatWideSystemFile(wideSys)},
  };
  std::vector<const char*> made;
  for (const auto& f : files) {
    if (!createFileWith(f.name, f.contents)) {
      out << toUtf8(marketdb::unwritableFileMessage(f.name)) << '\n';
      for (auto it = made.rbegin(); it != made.rend(); ++it) ::unlink(*it);
      flushFolder();
      return 1;
    }
    made.push_back(f.name);
  }
  flushFolder();
  out << "空のワイド形式データベースを作成しました（日々株価ﾌｧｲﾙ名は" << fileLetter
      << "yymmdd）\n";
  return 0;
}

}  // namespace

// pelinorx init W|N [--wide]: an empty database with the default settings. An existing
// database file of either kind is never overwritten.
int batchInit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> words;
  bool wide = false;
  for (const std::string& a : args) {
    if (a == "--wide" && !wide)
      wide = true;
    else
      words.push_back(a);
  }
  if (words.size() != 1 || (words[0] != "W" && words[0] != "N")) {
    usage(err);
    return 2;
  }
  const int kind = words[0] == "W" ? 0 : 1;

  // The wide files are made under the writer lock, so that no other writer of the folder
  // sees them half made.
  marketdb::DatabaseLock lock;
  if (wide && lock.acquire() != marketdb::DatabaseLock::Result::Acquired) {
    out << toUtf8(lock.refusalMessage()) << '\n';
    return 1;
  }

  // Neither kind is made beside a database of the other: a folder holds one.
  const char* names[] = {marketdb::SystemFileName,     marketdb::SettingsFileName,
                         marketdb::IndexFileName,      marketdb::PriceFileName,
                         marketdb::WideSystemFileName, marketdb::WideSettingsFileName,
                         marketdb::WideIndexFileName,  marketdb::WidePriceFileName,
                         marketdb::WideJournalFileName};
  bool exists = false;
  for (const char* name : names) {
    std::error_code ec;
    if (std::filesystem::symlink_status(name, ec).type() !=
        std::filesystem::file_type::not_found) {
      out << name << " が既に存在します\n";
      exists = true;
    }
  }
  if (exists) {
    out << "既存のデータベースは上書きしません、作成を中止しました。\n";
    return 1;
  }

  marketdb::SystemFile sys;
  marketdb::SettingsFile win;
  marketdb::applyDefaults(sys, win);
  sys.reserved = 0;
  sys.lastStoreDate = 0;
  sys.referenceRecord = 0;
  sys.storePosition = 0;
  win.carried = 0;
  win.databaseKind = kind;
  win.background[0] = win.background[1] = win.background[2] = 0;
  win.peakSign = 1;
  for (marketdb::StockCode& code : win.codes) code = marketdb::NoStockCode;
  win.scratch = 0;
  if (wide) return createWide(sys, win, words[0], out);

  // The empty files first: they are created exclusively, so a database that appeared in the
  // meantime is not touched.
  if (!createEmptyFile(marketdb::IndexFileName)) {
    out << toUtf8(marketdb::unwritableFileMessage(marketdb::IndexFileName)) << '\n';
    return 1;
  }
  if (!createEmptyFile(marketdb::PriceFileName)) {
    out << toUtf8(marketdb::unwritableFileMessage(marketdb::PriceFileName)) << '\n';
    return 1;
  }
  if (marketdb::writeSettingsFile(win) != marketdb::FileStatus::Ok) {
    out << toUtf8(marketdb::unwritableFileMessage(marketdb::SettingsFileName)) << '\n';
    return 1;
  }
  if (marketdb::writeSystemFile(sys) != marketdb::FileStatus::Ok) {
    out << toUtf8(marketdb::unwritableFileMessage(marketdb::SystemFileName)) << '\n';
    return 1;
  }
  out << "空のデータベースを作成しました（日々株価ﾌｧｲﾙ名は" << words[0] << "yymmdd）\n";
  return 0;
}

}  // namespace dbprogram
