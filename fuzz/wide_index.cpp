// The wide index check and reader: whatever passes is whole (one entry per line that is not
// blank), in strictly rising code order with codes of the grammar, its slots exactly
// 0..n-1, and written back it reads as the same entries. The first byte picks the records
// assigned the check is given (-1: no header at hand).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "marketdb/wide_index.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::int64_t assigned = data[0] == 0xFF ? -1 : data[0] % 16;
  const std::uint32_t capacity = 1 + data[0] % 32;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<marketdb::WideIndexEntry> entries;
  const marketdb::WideCheck check = marketdb::parseWideIndex(text, capacity, assigned, entries);
  if (!check.ok) {
    if (check.message.empty() || !entries.empty()) __builtin_trap();
    return 0;
  }
  std::vector<bool> used(entries.size(), false);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const marketdb::WideIndexEntry& e = entries[i];
    if (!marketdb::isValidCode(e.code)) __builtin_trap();
    if (i > 0 && entries[i - 1].code >= e.code) __builtin_trap();
    if (e.slot < 0 || static_cast<std::size_t>(e.slot) >= entries.size() || used[e.slot])
      __builtin_trap();
    used[e.slot] = true;
  }
  if (assigned >= 0 && static_cast<std::int64_t>(entries.size()) != assigned) __builtin_trap();
  std::vector<marketdb::WideIndexEntry> again;
  if (!marketdb::parseWideIndex(marketdb::formatWideIndex(entries), capacity, assigned, again).ok ||
      again.size() != entries.size())
    __builtin_trap();
  for (std::size_t i = 0; i < again.size(); ++i) {
    const marketdb::WideIndexEntry& a = again[i];
    const marketdb::WideIndexEntry& b = entries[i];
    if (a.code != b.code || a.slot != b.slot || a.deleted != b.deleted || a.section != b.section ||
        a.change != b.change || a.name != b.name)
      __builtin_trap();
  }
  return 0;
}
