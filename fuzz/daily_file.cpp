// The store of a daily price file into a small database: every input is the file's contents.
#include <cstddef>
#include <cstdint>

#include "dbprogram/store.h"
#include "fuzz/fuzz_support.h"

namespace {

class Quiet : public dbprogram::StoreOutput {
 public:
  void line(const dbprogram::StoreLine&) override {}
  void bell() override {}
  void fileMessage(const std::string&, const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzzsupport::Database database;
  database.restore();
  fuzzsupport::writeFile("W991231", data, size);
  Quiet out;
  dbprogram::storeDailyFile("W991231", out);
  return 0;
}
