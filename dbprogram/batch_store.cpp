#include <algorithm>

#include "dbprogram/batch.h"
#include "dbprogram/store.h"
#include "marketdb/files.h"
#include "marketdb/layout.h"
#include "platform/text/cp932.h"

namespace dbprogram {

namespace {

using pelinor::text::toUtf8;

// Prints the store's lines, one per text line in UTF-8. The code of every stored line would
// flood the terminal and is left out; progress comes once per stored date. The bell is not
// printed.
class PrintedStoreOutput : public StoreOutput {
 public:
  explicit PrintedStoreOutput(std::ostream& out) : out_(out) {}
  void line(const StoreLine& line) override {
    if (line.kind == StoreLineKind::CodeEcho) return;
    out_ << toUtf8(line.text) << '\n';
  }
  void bell() override {}
  bool wantsCodeEchoes() const override { return false; }
  void fileMessage(const std::string& textCp932, const std::string& captionCp932) override {
    out_ << '[' << toUtf8(captionCp932) << "] " << toUtf8(textCp932) << '\n';
  }

 private:
  std::ostream& out_;
};

}  // namespace

// pelinorx store FILE...: stores the daily files in order, as the store prompt does for each,
// in groups of files each stored as one change; stops at the first file that is refused or
// fails. The last line names the last file stored.
int batchStore(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << "usage: pelinorx store FILE...\n"
           "  stores the daily price files (W yymmdd or N yymmdd) in the order given\n";
    return 2;
  }
  PrintedStoreOutput printed(out);
  // The database kind, as the prompt reads it on opening; the files of the other market family
  // end the run before them.
  marketdb::SettingsFile win;
  if (const auto status = marketdb::readSettingsFile(win, 4); status != marketdb::FileStatus::Ok) {
    printed.fileMessage(marketdb::fileStatusMessage(status, marketdb::openLayout().settingsFile),
                        marketdb::fileCaption());
    return 1;
  }
  std::size_t sameKind = 0;
  while (sameKind < args.size() && dailyFileMatchesKind(args[sameKind], win.databaseKind))
    ++sameKind;

  const StoreRun run = storeDailyFiles(
      std::vector<std::string>(args.begin(), args.begin() + static_cast<long>(sameKind)), printed);
  const std::size_t stored = static_cast<std::size_t>(run.storedFiles);
  bool ok = run.result == StoreResult::Stored && stored == sameKind;
  if (ok && sameKind < args.size()) {
    out << toUtf8(otherMarketMessage()) << '\n';
    ok = false;
  }
  if (stored > 0) out << "格納済みの最後のﾌｧｲﾙ: " << args[stored - 1] << '\n';
  if (!ok) {
    err << "pelinorx store: " << args[std::min(stored, args.size() - 1)]
        << " は格納されませんでした\n";
    return 1;
  }
  return 0;
}

}  // namespace dbprogram
