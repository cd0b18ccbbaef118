// Helpers shared by the test programs.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// Creates a fresh temporary folder, makes it the working directory for the lifetime of the
// object, and removes it afterwards (the previous working directory is restored).
class TempWorkDir {
 public:
  TempWorkDir();
  ~TempWorkDir();
  TempWorkDir(const TempWorkDir&) = delete;
  TempWorkDir& operator=(const TempWorkDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& p);  // whole file as bytes ("" if missing)
void writeFile(const std::filesystem::path& p, const std::string& bytes);

// Paths of the build and source trees.
std::filesystem::path binaryDir();
std::filesystem::path sourceDir();

}  // namespace testsupport
