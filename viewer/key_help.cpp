// The viewer's key help: the keys and mouse actions of the screen shown, for the '?' overlay.
#include <vector>

#include "platform/text/cp932.h"
#include "platform/window/key_help.h"
#include "viewer/chart_pointer.h"
#include "viewer/tchart.h"

namespace viewer {
namespace {

std::vector<KeyHelpRow> helpRows(const TChart& c) {
  std::vector<KeyHelpRow> rows;
  auto add = [&rows](const char* keys, const char* action) {
    rows.push_back({pelinor::text::toCp932(keys), pelinor::text::toCp932(action)});
  };
  const int mode = c.viewMode;
  if (mode == 11 || mode == 6) {
    add("0-9", "数字を入力");
    add("Home", "入力を消す");
    add("Enter", mode == 6 ? "比較を表示" : "銘柄を表示");
    add("クリック", "キーパッドのボタン");
  } else if (mode == 12 || mode == 13 || mode == 14 || mode == 98) {
    add("クリック", "銘柄を選ぶ / 分類を選ぶ");
    add("↑ ↓", "前 / 次の銘柄");
    add("0-9", "銘柄コードを入力");
  } else if (mode == 15 || mode == 16) {
    add("← →", "29日前 / 後");
  }
  if (mode == 97) add("マウス", "十字線と各銘柄の基準日からの%");
  if (TChart::isChartMode(mode)) {
    add("マウス", "十字線と値 (日付・四本値・出来高・各線)");
    if (scrollingView(mode)) {
      add("ホイール/ドラッグ", "表示期間を前後に移動");
      add("Shift+← →", "21日前 / 後へ移動");
      add("End", "最新日に戻る");
      add("長期をダブルクリック", "その日を表示");
    }
    add("ダブルクリック (上段)", "注目登録 / 注目削除");
    add("Insert / Delete", "注目登録 / 注目削除");
    add("↑ ↓", "前 / 次の銘柄");
    add("← →", "株価表");
  }
  add("F1 F2", "情報 / 比較");
  add("F3 F4 F5", "理屈3 / 理屈4 / 理屈5");
  add("F6 F7", "サイン / Sサイン");
  add("F8 F9", "週足 / 日足");
  add("F11 F12", "銘柄コード / 銘柄メニュー");
  add("Enter", "銘柄メニュー");
  add("Ctrl+Q", "終了");
  add("?", "このヘルプ (どれかのキーで閉じる)");
  return rows;
}

}  // namespace

void drawKeyHelp(TChart& c, TDC& dc) {
  const std::string title = SJ("キーとマウス: ") + viewTitle(c.viewMode);
  drawKeyHelpBox(dc, TSize{640, 480}, title, helpRows(c),
                 KeyHelpColours{RGB(255, 255, 255), RGB(255, 255, 0), RGB(128, 128, 128),
                                RGB(c.background[0], c.background[1], c.background[2])});
}

}  // namespace viewer
