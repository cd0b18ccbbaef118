#include "resources/pelinorw_resources.h"

#include "platform/text/cp932.h"
#include "resources/edit_accelerators.h"
#include "resources/program_icon.h"

namespace {

Menu mainMenu() {
  // Bar order; the ids are the chart window's command ids.
  Menu menu;
  menu.items = {
      {1, SJ("情報")},      {101, SJ("比較")},    {2, SJ("理屈3")},     {3, SJ("理屈4")},
      {4, SJ("理屈5")},     {6, SJ("サｲﾝ")},      {16, SJ("Sｻｲﾝ")},     {7, SJ("週足")},
      {8, SJ("日足")},      {103, SJ("銘柄ｺｰﾄﾞ")}, {102, SJ("銘柄ﾒﾆｭｰ")}, {10, SJ("↑")},
      {11, SJ("↓")},       {12, SJ("←")},        {13, SJ("→")},        {14, SJ("予備")},
  };
  return menu;
}

}  // namespace

const ResourceSet& pelinorwResources() {
  static const ResourceSet set = [] {
    ResourceSet s;
    s.menus[100] = mainMenu();
    s.accelerators[100] = editAccelerators();
    s.icons[1001] = programIcon();
    return s;
  }();
  return set;
}

const std::string& pelinorwTitle() { return SJ("株価分析ペリノ ﾁｬｰﾄ v3.02"); }
