// pelinoru.idx as the store's table reader and the analysis read it: every input is the file.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "dbprogram/analysis.h"
#include "fuzz/fuzz_support.h"
#include "marketdb/files.h"

namespace {

class Quiet : public dbprogram::AnalysisReporter {
 public:
  void progress(int, int, int) override {}
  void fileMessage(const std::string&, const std::string&) override {}
  void warning(const std::string&) override {}
  void finished(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzzsupport::Database database;
  database.restore();
  fuzzsupport::writeFile(marketdb::IndexFileName, data, size);

  auto table = std::make_unique<marketdb::StockTable>();
  if (marketdb::readStockTable(*table) != marketdb::FileStatus::Ok) __builtin_trap();
  if (table->count < 0 || table->count >= marketdb::MaxStocks) __builtin_trap();
  for (int i = 0; i < table->count; ++i) (void)table->findStock(table->kcodeidx[i]);
  (void)marketdb::writeStockTable(*table);

  database.restore();
  fuzzsupport::writeFile(marketdb::IndexFileName, data, size);
  marketdb::SystemFile sys;
  marketdb::SettingsFile win;
  Quiet quiet;
  dbprogram::runAnalysis(991229, sys, win, quiet);
  return 0;
}
