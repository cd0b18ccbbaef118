#include "dbprogram/batch.h"
#include "dbprogram/store.h"
#include "marketdb/files.h"
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
  void fileMessage(const std::string& textCp932, const std::string& captionCp932) override {
    out_ << '[' << toUtf8(captionCp932) << "] " << toUtf8(textCp932) << '\n';
  }

 private:
  std::ostream& out_;
};

}  // namespace

// pelinorx store FILE...: stores the daily files in order, as the store prompt does for each;
// stops at the first file that is refused or fails.
int batchStore(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << "usage: pelinorx store FILE...\n"
           "  stores the daily price files (W yymmdd or N yymmdd) in the order given\n";
    return 2;
  }
  PrintedStoreOutput printed(out);
  for (const std::string& path : args) {
    // The database kind, read anew for each file as the prompt reads it on opening.
    marketdb::SettingsFile win;
    if (marketdb::readSettingsFile(win, 4) != marketdb::FileStatus::Ok) {
      printed.fileMessage(marketdb::missingFileMessage(marketdb::SettingsFileName),
                          marketdb::fileCaption());
      return 1;
    }
    if (!dailyFileMatchesKind(path, win.databaseKind)) {
      out << toUtf8(otherMarketMessage()) << '\n';
      err << "pelinorx store: " << path << " は格納されませんでした\n";
      return 1;
    }
    if (storeDailyFile(path, printed) != StoreResult::Stored) {
      err << "pelinorx store: " << path << " は格納されませんでした\n";
      return 1;
    }
  }
  return 0;
}

}  // namespace dbprogram
