// The 49 settings items (numbers 1..35, 41..43, 50..60), their labels, places, ranges and
// defaults, and the 16-colour palette.
#pragma once

#include <array>
#include <string>

#include "marketdb/files.h"

namespace marketdb {

enum class SettingPlace {
  Colour,    // pelinoru.sys / pelinoru.win line 2, position `index`
  Period,    // pelinoru.sys line 3, position `index`
  Window4,   // pelinoru.win line 4, value `index` + 1 (background, weights, peak sign)
};

struct SettingItem {
  int number;
  const char* label;  // UTF-8; the editor shows it converted to CP932
  SettingPlace place;
  int index;          // 0-based position within its line
  int minimum;
  int maximum;
  int defaultValue;
  bool belowOneIsZero;  // a typed value below 1 becomes 0 (items 1..19, 29, 30, 41..43, 50..60)
};

constexpr int SettingCount = 49;
const std::array<SettingItem, SettingCount>& settingItems();
const SettingItem* findSettingItem(int number);  // nullptr for numbers that do not exist

// Value of an item in the in-memory files (colours from the pelinoru.win copy).
int settingValue(const SystemFile& sys, const SettingsFile& win, int number);
// The value of an item as a reader uses it: limited to the item's range, so a damaged file can
// never give a computation a period or weight it was not built for.
int settingInRange(const SystemFile& sys, const SettingsFile& win, int number);
void setSettingValue(SystemFile& sys, SettingsFile& win, int number, int value);
// Every item to its default (the colour line of both copies).
void applyDefaults(SystemFile& sys, SettingsFile& win);

// Colour number 0..15 -> red, green, blue; a number outside 0..15 leaves them unchanged.
void setpal(int& colourNumber, int& red, int& green, int& blue);

}  // namespace marketdb
