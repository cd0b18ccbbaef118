#include "tests/support/test_support.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testsupport {

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
