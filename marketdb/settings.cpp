// The settings items: where each one lives in the database files, what the editor accepts and
// what "all defaults" restores; and the 16-colour palette.
#include "marketdb/settings.h"

#include <algorithm>

namespace marketdb {
namespace {

constexpr SettingPlace C = SettingPlace::Colour;
constexpr SettingPlace P = SettingPlace::Period;
constexpr SettingPlace W = SettingPlace::Window4;

// Line 4 of pelinoru.win: value 1 is the database kind, 2..4 the background, 5..14 the weights,
// 15 the peak sign. Item indexes are 0-based positions in that line.
constexpr int BackgroundFirst = 1;
constexpr int WeightFirst = 4;
constexpr int PeakSignIndex = 14;

const std::array<SettingItem, SettingCount> kItems = {{
    {1, " 1 日付色", C, 0, 0, 15, 11, true},
    {2, " 2 金額色", C, 1, 0, 15, 14, true},
    {3, " 3 格子色", C, 2, 0, 15, 7, true},
    {4, " 4 陽線色", C, 3, 0, 15, 12, true},
    {5, " 5 陰線色", C, 4, 0, 15, 11, true},
    {6, " 6 出来高色", C, 5, 0, 15, 9, true},
    {7, " 7 移動平均日線１色", C, 6, 0, 15, 10, true},
    {8, " 8 移動平均日線２色", C, 7, 0, 15, 13, true},
    {9, " 9 移動平均日線３色", C, 8, 0, 15, 14, true},
    {10, "10 移動平均週線１色", C, 9, 0, 15, 11, true},
    {11, "11 移動平均週線２色", C, 10, 0, 15, 15, true},
    {12, "12 分布日１色", C, 11, 0, 15, 12, true},
    {13, "13 分布日２色", C, 12, 0, 15, 10, true},
    {14, "14 分布日３色", C, 13, 0, 15, 14, true},
    {15, "15 分布日４色", C, 14, 0, 15, 13, true},
    {16, "16 ＲＣＩ１色", C, 15, 0, 15, 12, true},
    {17, "17 ＲＣＩ２色", C, 16, 0, 15, 11, true},
    {18, "18 ＲＣＩ３色", C, 17, 0, 15, 15, true},
    {19, "19 サイコロ色", C, 18, 0, 15, 9, true},
    {20, "20 移動平均日１", P, 0, 1, 320, 200, false},
    {21, "21 移動平均日２", P, 1, 1, 320, 25, false},
    {22, "22 移動平均日３", P, 2, 1, 320, 75, false},
    {23, "23 移動平均週１", P, 3, 1, 78, 13, false},
    {24, "24 移動平均週２", P, 4, 1, 78, 26, false},
    {25, "25 分布日１", P, 5, 1, 213, 5, false},
    {26, "26 分布日２", P, 6, 1, 213, 25, false},
    {27, "27 分布日３", P, 7, 1, 213, 75, false},
    {28, "28 分布日４", P, 8, 1, 213, 128, false},
    {29, "29 ＲＣＩ日１", P, 9, 0, 320, 13, true},
    {30, "30 ＲＣＩ日２", P, 10, 0, 320, 22, true},
    {31, "31 ＲＣＩ日３", P, 11, 1, 320, 32, false},
    {32, "32 サイコロ日", P, 12, 1, 54, 12, false},
    {33, "33 株価Ｙ位置", P, 13, 2, 25, 18, false},
    {34, "34 株価行数", P, 14, 1, 24, 5, false},
    {35, "35 上側画面幅", P, 15, 24, 416, 260, false},
    {41, "41 背景色(RGB)Ｒ(0-255)", W, BackgroundFirst + 0, 0, 255, 0, true},
    {42, "42 背景色(RGB)Ｇ(0-255)", W, BackgroundFirst + 1, 0, 255, 0, true},
    {43, "43 背景色(RGB)Ｂ(0-255)", W, BackgroundFirst + 2, 0, 255, 0, true},
    {50, "50 サイコロ比", W, WeightFirst + 0, 1, 50, 10, true},
    {51, "51 移動平均日２比", W, WeightFirst + 1, 1, 50, 40, true},
    {52, "52 移動平均３比", W, WeightFirst + 2, 1, 50, 30, true},
    {53, "53 ＲＣＩ１比", W, WeightFirst + 3, 1, 50, 20, true},
    {54, "54 ＲＣＩ２比", W, WeightFirst + 4, 1, 50, 15, true},
    {55, "55 ＲＣＩ３比", W, WeightFirst + 5, 1, 50, 10, true},
    {56, "56 ＲＳＩ比", W, WeightFirst + 6, 1, 50, 10, true},
    {57, "57 ＷＶＲ比", W, WeightFirst + 7, 1, 50, 30, true},
    {58, "58 篠原Ａ比", W, WeightFirst + 8, 1, 50, 15, true},
    {59, "59 篠原Ｂ比", W, WeightFirst + 9, 1, 50, 20, true},
    {60, "60 ピークサイン", W, PeakSignIndex, 0, 1, 1, true},
}};

// The storage cell of an item in the in-memory files (const or not), nullptr for none.
template <typename Sys, typename Win>
auto cellOf(Sys& sys, Win& win, const SettingItem& item) -> decltype(&sys.periods[0]) {
  switch (item.place) {
    case SettingPlace::Colour: return &win.colours[item.index];
    case SettingPlace::Period: return &sys.periods[item.index];
    case SettingPlace::Window4:
      if (item.index == PeakSignIndex) return &win.peakSign;
      if (item.index >= WeightFirst && item.index < WeightFirst + 10)
        return &win.weights[item.index - WeightFirst];
      if (item.index >= BackgroundFirst && item.index < BackgroundFirst + 3)
        return &win.background[item.index - BackgroundFirst];
      return nullptr;
  }
  return nullptr;
}

struct Rgb {
  int red, green, blue;
};
constexpr Rgb kPalette[16] = {
    {0, 0, 0},     {0, 0, 128},     {0, 128, 0},   {0, 128, 128},
    {128, 0, 0},   {128, 0, 128},   {128, 128, 0}, {192, 192, 192},
    {128, 128, 128}, {0, 0, 255},   {0, 255, 0},   {0, 255, 255},
    {255, 0, 0},   {255, 0, 255},   {255, 255, 0}, {255, 255, 255},
};

}  // namespace

const std::array<SettingItem, SettingCount>& settingItems() { return kItems; }

const SettingItem* findSettingItem(int number) {
  for (const SettingItem& item : kItems)
    if (item.number == number) return &item;
  return nullptr;
}

int settingValue(const SystemFile& sys, const SettingsFile& win, int number) {
  const SettingItem* item = findSettingItem(number);
  if (!item) return 0;
  const int* cell = cellOf(sys, win, *item);
  return cell ? *cell : 0;
}

int settingInRange(const SystemFile& sys, const SettingsFile& win, int number) {
  const SettingItem* item = findSettingItem(number);
  if (!item) return 0;
  return std::clamp(settingValue(sys, win, number), item->minimum, item->maximum);
}

void setSettingValue(SystemFile& sys, SettingsFile& win, int number, int value) {
  const SettingItem* item = findSettingItem(number);
  if (!item) return;
  if (int* cell = cellOf(sys, win, *item)) *cell = value;
}

void applyDefaults(SystemFile& sys, SettingsFile& win) {
  for (const SettingItem& item : kItems) {
    setSettingValue(sys, win, item.number, item.defaultValue);
    if (item.place == SettingPlace::Colour) sys.colours[item.index] = item.defaultValue;
  }
}

void setpal(int& colourNumber, int& red, int& green, int& blue) {
  if (colourNumber < 0 || colourNumber > 15) return;
  const Rgb& c = kPalette[colourNumber];
  red = c.red;
  green = c.green;
  blue = c.blue;
}

}  // namespace marketdb
