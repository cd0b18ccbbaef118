// The index check and the index reader alone, thousands of inputs a second: whatever the
// check passes, the reader must take whole: every line that is not blank, with the record
// slots 0..n-1 once each and no code twice.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "marketdb/files.h"
#include "marketdb/index_check.h"
#include "marketdb/text_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const marketdb::IndexCheck check = marketdb::checkIndexText(text, -1);
  if (!check.ok) {
    if (check.message.empty()) __builtin_trap();
    return 0;
  }
  int lines = 0;  // lines holding anything but blanks
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (text.find_first_not_of(" \t\v\f\r", at) < end) ++lines;
    at = end + 1;
  }
  marketdb::TextScanner scanner{std::string(text)};
  std::vector<int> slots;
  std::vector<float> codes;
  for (;;) {
    int deleted = 0, section = 0, slot = 0, change = 0;
    float code = 0;
    char name[15] = {};
    if (scanner.indexLine(deleted, section, code, name, slot, change) != 6) break;
    slots.push_back(slot);
    codes.push_back(code);
    if (slots.size() > static_cast<std::size_t>(marketdb::MaxStocks)) __builtin_trap();
  }
  if (static_cast<int>(slots.size()) != lines) __builtin_trap();
  std::sort(slots.begin(), slots.end());
  for (std::size_t i = 0; i < slots.size(); ++i)
    if (slots[i] != static_cast<int>(i)) __builtin_trap();
  std::sort(codes.begin(), codes.end());
  if (std::adjacent_find(codes.begin(), codes.end()) != codes.end()) __builtin_trap();
  return 0;
}
