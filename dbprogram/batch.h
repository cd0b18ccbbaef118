// The batch commands of pelinorx, each running the code of the screen it stands for and
// printing that screen's lines (UTF-8) to `out`:
//   pelinorx init W|N          create an empty database with the default settings
//   pelinorx store FILE...     store daily price files in order
//   pelinorx analyze YYMMDD    run the analysis with that comparison date
//   pelinorx import SOURCE...  turn per-stock CSV price files into daily price files
//   pelinorx clear-stale       empty the records stocks kept from the ring's previous lap
// Exit status: 0 success, 1 refused or failed, 2 usage error.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace dbprogram {

// Returns -1 when args (without the program name) is not a batch command.
int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

int batchInit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int batchStore(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int batchAnalyze(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int batchImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int batchClearStale(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace dbprogram
