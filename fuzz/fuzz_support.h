// Shared by the fuzz targets: a private working folder (on a memory file system when there is
// one, so the database writers' flushes cost nothing) and a small database that each input
// starts from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzsupport {

// Makes a fresh folder and enters it; called once per process (the first call wins).
void enterWorkFolder();

// Writes bytes to a file of the working folder, replacing it.
void writeFile(const char* name, const std::uint8_t* data, std::size_t size);
void writeFile(const char* name, const std::string& bytes);
std::string readFile(const char* name);

// The four files of a database of kind W holding two days of three stocks (ring slots 1
// and 2), built once and written back by restore().
class Database {
 public:
  Database();
  void restore() const;

 private:
  std::string sys_, win_, idx_, dat_;
};

}  // namespace fuzzsupport
