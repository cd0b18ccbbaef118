#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "dbprogram/batch.h"
#include "marketdb/files.h"
#include "marketdb/settings.h"
#include "platform/text/cp932.h"

namespace dbprogram {

namespace {

using pelinor::text::toUtf8;

void usage(std::ostream& err) {
  err << "usage: pelinorx init W|N\n"
         "  W: a database of the daily files W yymmdd, N: of the daily files N yymmdd\n";
}

// Creates an empty file; false when it exists already or cannot be created.
bool createEmptyFile(const char* name) {
  const int fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

}  // namespace

// pelinorx init W|N: an empty database with the default settings. An existing database file
// is never overwritten.
int batchInit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1 || (args[0] != "W" && args[0] != "N")) {
    usage(err);
    return 2;
  }
  const int kind = args[0] == "W" ? 0 : 1;

  const char* names[] = {marketdb::SystemFileName, marketdb::SettingsFileName,
                         marketdb::IndexFileName, marketdb::PriceFileName};
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
  for (float& code : win.codes) code = 0;
  win.scratch = 0;

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
  out << "空のデータベースを作成しました（日々株価ﾌｧｲﾙ名は" << args[0] << "yymmdd）\n";
  return 0;
}

}  // namespace dbprogram
