#include "dbprogram/batch.h"

namespace dbprogram {

int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return -1;
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "init") return batchInit(rest, out, err);
  if (args[0] == "store") return batchStore(rest, out, err);
  if (args[0] == "analyze") return batchAnalyze(rest, out, err);
  if (args[0] == "import") return batchImport(rest, out, err);
  return -1;
}

}  // namespace dbprogram
