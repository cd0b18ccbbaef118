#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "marketdb/files.h"
#include "marketdb/layout.h"
#include "marketdb/settings.h"

namespace fuzzsupport {

void enterWorkFolder() {
  static const bool entered = [] {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                        ? fs::path("/dev/shm")
                        : fs::temp_directory_path();
    std::string tmpl = (base / "pelinor-fuzz-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    fs::current_path(tmpl);
    static const std::string folder = tmpl;
    // The folder goes with the process (a crash leaves it, beside the input that caused it).
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::current_path("/", ignored);
      std::filesystem::remove_all(folder, ignored);
    });
    return true;
  }();
  (void)entered;
}

void writeFile(const char* name, const std::uint8_t* data, std::size_t size) {
  int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n <= 0) std::abort();
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  ::close(fd);
}

void writeFile(const char* name, const std::string& bytes) {
  writeFile(name, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::string readFile(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

Database::Database() {
  enterWorkFolder();
  using namespace marketdb;
  SystemFile sys;
  SettingsFile win;
  applyDefaults(sys, win);
  sys.lastStoreDate = 19991230;
  sys.storePosition = 2;
  win.codes[0] = marketdb::codeFromNumber(1301);
  win.codes[92] = marketdb::codeFromNumber(7203);
  sys_ = formatSystemFile(sys);
  win_ = formatSettingsFile(win);
  const float codes[3] = {1301, 6758, 7203};
  const char* names[3] = {"KYOKUYO", "SONY", "TOYOTA"};
  const int sections[3] = {1, 1, 3};
  for (int i = 0; i < 3; ++i) idx_ += formatIndexLine(0, sections[i], codeFromNumber(codes[i]), names[i], i, 1);
  dat_.assign(3 * HistoryBlockBytes, '\0');
  for (int i = 0; i < 3; ++i) {
    for (int s = 1; s <= 2; ++s) {
      DayRecord r;
      r.date = s == 1 ? 19991229 : 19991230;
      r.open = static_cast<std::int16_t>(100 * (i + 1));
      r.high = static_cast<std::int16_t>(r.open + 10);
      r.low = static_cast<std::int16_t>(r.open - 10);
      r.close = static_cast<std::int16_t>(r.open + s);
      r.change = static_cast<std::int16_t>(s);
      r.volume = 1000.0f * static_cast<float>(s);
      unsigned char b[DayRecordBytes];
      ClassicLayout.encodeRecord(r, b);
      dat_.replace(static_cast<std::size_t>(i) * HistoryBlockBytes +
                       static_cast<std::size_t>(s) * DayRecordBytes,
                   DayRecordBytes, reinterpret_cast<const char*>(b), DayRecordBytes);
    }
  }
}

void Database::restore() const {
  writeFile(marketdb::SystemFileName, sys_);
  writeFile(marketdb::SettingsFileName, win_);
  writeFile(marketdb::IndexFileName, idx_);
  writeFile(marketdb::PriceFileName, dat_);
}

}  // namespace fuzzsupport
