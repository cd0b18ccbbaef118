#include "resources/pelinorx_resources.h"

#include "platform/text/cp932.h"
#include "resources/edit_accelerators.h"
#include "resources/program_icon.h"

namespace {

Menu mainMenu() {
  // Bar order; the ids are the database window's command ids.
  Menu menu;
  menu.items = {
      {1, SJ("格納")},
      {2, SJ("分析")},
      {3, SJ("分析表示１部(店頭)")},
      {4, SJ("分析表示２部(大証外国)")},
      {5, SJ("既定値変更")},
      {6, SJ("格納やり直し")},
      {7, SJ("条件検索")},
      {8, SJ("ＤＢ整理")},
      {9, SJ("予備")},
      {10, SJ("↑")},
      {11, SJ("↓")},
      {12, SJ("←")},
      {13, SJ("→")},
      {14, SJ("最初")},
      {15, SJ("最後")},
      {16, SJ("０")},
      {17, SJ("１")},
      {18, SJ("２")},
      {19, SJ("３")},
      {20, SJ("４")},
      {21, SJ("５")},
      {22, SJ("６")},
      {23, SJ("７")},
      {24, SJ("８")},
      {25, SJ("９")},
      {31, SJ("Ｔ")},
      {26, SJ("Ｗ")},
      {27, SJ("Ｎ")},
      {28, SJ("Ｙ")},
      {29, SJ("Ｃ")},
      {30, SJ("Ｅ")},
      {32, SJ("分析ﾌｧｲﾙ出力")},
  };
  return menu;
}

}  // namespace

const ResourceSet& pelinorxResources() {
  static const ResourceSet set = [] {
    ResourceSet s;
    s.menus[100] = mainMenu();
    s.accelerators[100] = editAccelerators();
    s.icons[1001] = programIcon();
    return s;
  }();
  return set;
}

const std::string& pelinorxTitle() { return SJ("株価分析ペリノ 他処理 v3.02"); }
