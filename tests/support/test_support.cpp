#include "tests/support/test_support.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testsupport {
namespace {

// The programs keep rendered glyphs in the user's cache folder between runs. A test program, and
// every program it starts, keeps them in a folder of its own instead, removed at its exit: no
// test reads or changes the user's cache, and each test program starts with none.
class PrivateCacheFolder {
 public:
  PrivateCacheFolder() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      auto candidate = std::filesystem::temp_directory_path() /
                       ("pelinor-test-cache-" + std::to_string(rd()) + "-" + std::to_string(attempt));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) path_ = candidate;
    }
    // Without a folder of its own, a test program keeps no glyphs at all.
    if (path_.empty())
      ::setenv("PELINOR_GLYPH_CACHE", "0", 1);
    else
      ::setenv("XDG_CACHE_HOME", path_.c_str(), 1);
  }
  ~PrivateCacheFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }

 private:
  std::filesystem::path path_;
};
const PrivateCacheFolder privateCacheFolder;

}  // namespace

TempWorkDir::TempWorkDir() : previous_(std::filesystem::current_path()) {
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = std::filesystem::temp_directory_path() /
                     ("pelinor-test-" + std::to_string(rd()) + "-" + std::to_string(attempt));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      std::filesystem::current_path(path_);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempWorkDir::~TempWorkDir() {
  std::error_code ec;
  std::filesystem::current_path(previous_, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::filesystem::path binaryDir() { return PELINOR_BINARY_DIR; }
std::filesystem::path sourceDir() { return PELINOR_SOURCE_DIR; }

}  // namespace testsupport
