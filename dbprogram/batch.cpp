#include "dbprogram/batch.h"

#include "marketdb/files.h"
#include "marketdb/journal.h"
#include "marketdb/layout.h"
#include "platform/text/cp932.h"

namespace dbprogram {

int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return -1;
  // The commands that read or write a database refuse a folder this version cannot work on,
  // before anything there is read or written.
  if (args[0] == "store" || args[0] == "analyze" || args[0] == "clear-stale" ||
      args[0] == "import") {
    // The analysis and the importer work on either kind; only two kinds in one folder stop them.
    const std::string refusal = args[0] == "analyze" || args[0] == "import"
                                    ? marketdb::folderKind().refusal
                                    : marketdb::unsupportedDatabaseMessage();
    if (!refusal.empty()) {
      out << '[' << pelinor::text::toUtf8(marketdb::fileCaption()) << "] "
          << pelinor::text::toUtf8(refusal) << '\n';
      return 1;
    }
  }
  // An interrupted change of an earlier run is undone before anything is read.
  if (args[0] == "store" || args[0] == "analyze" || args[0] == "clear-stale") {
    const marketdb::Recovery recovery = marketdb::recoverDatabase(
        [&out](const std::string& text) { out << pelinor::text::toUtf8(text) << std::endl; });
    if (recovery.needsSaying()) {
      out << '[' << pelinor::text::toUtf8(marketdb::fileCaption()) << "] "
          << pelinor::text::toUtf8(recovery.message) << '\n';
    }
    if (recovery.status == marketdb::RecoveryStatus::Failed) return 1;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "init") return batchInit(rest, out, err);
  if (args[0] == "store") return batchStore(rest, out, err);
  if (args[0] == "analyze") return batchAnalyze(rest, out, err);
  if (args[0] == "import") return batchImport(rest, out, err);
  if (args[0] == "clear-stale") return batchClearStale(rest, out, err);
  return -1;
}

}  // namespace dbprogram
