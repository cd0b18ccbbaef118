// pelinoru.win: read whole and in part, written back, every settings item taken from it.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "marketdb/files.h"
#include "marketdb/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzsupport::enterWorkFolder();
  fuzzsupport::writeFile(marketdb::SettingsFileName, data, size);
  marketdb::SystemFile sys;
  marketdb::SettingsFile win;
  marketdb::SettingsFile firstLines;
  if (marketdb::readSettingsFile(win, 12) != marketdb::FileStatus::Ok) __builtin_trap();
  marketdb::readSettingsFile(firstLines, 4);
  for (const marketdb::SettingItem& item : marketdb::settingItems()) {
    const int v = marketdb::settingInRange(sys, win, item.number);
    if (v < item.minimum || v > item.maximum) __builtin_trap();
  }
  for (int i = 0; i < 19; ++i) {
    int red = 0, green = 0, blue = 0;
    marketdb::setpal(win.colours[i], red, green, blue);
  }
  const std::string text = marketdb::formatSettingsFile(win);
  fuzzsupport::writeFile(marketdb::SettingsFileName, text);
  marketdb::SettingsFile again;
  marketdb::readSettingsFile(again, 12);
  if (marketdb::formatSettingsFile(again) != text) __builtin_trap();
  return 0;
}
