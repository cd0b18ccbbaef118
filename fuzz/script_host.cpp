// The script host driving the database program's window over a small database: every input is
// a script. Lines that write files where the script says (snapshot, dump) or that resize the
// frame to a huge raster are left out, so the fuzzer neither writes outside its folder nor
// measures memory instead of code.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "dbprogram/uchart.h"
#include "fuzz/fuzz_support.h"
#include "platform/host/script_host.h"
#include "resources/pelinorx_resources.h"

namespace {

std::string keptLines(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::string kept;
  int lines = 0;
  for (std::string line; std::getline(in, line) && lines < 64; ++lines) {
    const std::size_t first = line.find_first_not_of(" \t\r\v\f");
    if (first != std::string::npos) {
      const std::string word = line.substr(first, line.find_first_of(" \t\r\v\f", first) - first);
      if (word == "snapshot" || word == "dump" || word == "size") continue;
    }
    kept += line;
    kept += '\n';
  }
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzzsupport::Database database;
  database.restore();
  fuzzsupport::writeFile("W991231",
                         "\"TOYOTA        \",100,110,90,105,5,10,991231,811,72030\n");
  std::istringstream script(keptLines(data, size));
  std::ostringstream out;
  std::ostringstream err;
  SDIDecFrame frame("pelinorx", std::make_unique<dbprogram::UCHART>(), pelinorxResources());
  frame.AssignMenu(100);
  ScriptHost host(script, "fuzz", TSize{640, 480}, out, err);
  host.run(frame);
  return 0;
}
