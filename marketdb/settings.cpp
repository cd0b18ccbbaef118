#include "marketdb/settings.h"

namespace marketdb {

const std::array<SettingItem, SettingCount>& settingItems() {
  static const std::array<SettingItem, SettingCount> items{};
  return items;
}
const SettingItem* findSettingItem(int) { return nullptr; }
int settingValue(const SystemFile&, const SettingsFile&, int) { return 0; }
void setSettingValue(SystemFile&, SettingsFile&, int, int) {}
void applyDefaults(SystemFile&, SettingsFile&) {}
void setpal(int&, int&, int&, int&) {}

}  // namespace marketdb
