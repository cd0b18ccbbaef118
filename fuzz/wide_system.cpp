// pelwide.sys and pelwide.win read from any bytes: a refusal says why; what is read is
// written back and reads as the same text, with a full date and codes of the grammar.
#include <cstddef>
#include <cstdint>
#include <string>

#include "marketdb/settings.h"
#include "marketdb/wide_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  marketdb::WideSystem sys;
  marketdb::WideSettings win;
  marketdb::applyDefaults(sys.sys, win.win);
  const marketdb::WideCheck s = marketdb::parseWideSystemFile(text, sys);
  if (s.ok) {
    if (sys.lastStoreDate != 0 && !marketdb::isWideDate(sys.lastStoreDate)) __builtin_trap();
    const std::string out = marketdb::formatWideSystemFile(sys);
    marketdb::WideSystem again;
    if (!marketdb::parseWideSystemFile(out, again).ok ||
        marketdb::formatWideSystemFile(again) != out)
      __builtin_trap();
  } else if (s.message.empty()) {
    __builtin_trap();
  }
  // The same bytes as a settings file, under its own magic line.
  const std::string settings = text.rfind("PELWIDE SYS ", 0) == 0 ? "PELWIDE WIN" + text.substr(11) : text;
  const marketdb::WideCheck w = marketdb::parseWideSettingsFile(settings, win);
  if (w.ok) {
    for (marketdb::StockCode c : win.codes)
      if (c != marketdb::NoStockCode && !marketdb::isValidCode(c)) __builtin_trap();
    const std::string out = marketdb::formatWideSettingsFile(win);
    marketdb::WideSettings again;
    if (!marketdb::parseWideSettingsFile(out, again).ok ||
        marketdb::formatWideSettingsFile(again) != out)
      __builtin_trap();
  } else if (w.message.empty()) {
    __builtin_trap();
  }
  return 0;
}
