// The database program's key help ('?') and the name of its screen in the title bar.
#include <vector>

#include "dbprogram/uchart.h"
#include "platform/text/cp932.h"
#include "platform/window/key_help.h"

namespace dbprogram {
namespace {

std::string screenTitle(const UCHART& w) {
  if (w.entryScreen == 10) return SJ("格納");
  if (w.entryScreen == 20) return SJ("分析");
  if (w.entryScreen == 60 || w.screenMode == 60) return SJ("格納やり直し");
  if (w.screenMode == 50) return SJ("既定値変更");
  if (w.screenMode == 30) return SJ("分析表示１部");
  if (w.screenMode == 40) return SJ("分析表示２部");
  return {};
}

std::vector<KeyHelpRow> helpRows(const UCHART& w) {
  std::vector<KeyHelpRow> rows;
  auto add = [&rows](const char* keys, const char* action) {
    rows.push_back({pelinor::text::toCp932(keys), pelinor::text::toCp932(action)});
  };
  if (w.screenMode == 30 || w.screenMode == 40) {
    add("↑ ↓", "1行前 / 後");
    add("← →", "1ページ前 / 後");
    add("BackSpace / Space", "最初 / 最後のページ");
    add("0-9", "その列で並べ替え");
    add("F11", "分析ファイル出力");
  } else if (w.entryScreen != 0 || w.screenMode == 50) {
    add("0-9", "数字を入力");
    add("W / N", "日付ファイルの文字");
    add("T", "項目番号と値の区切り (既定値変更)");
    add("Home", "入力を消す");
    add("Enter", "入力を確定");
  }
  add("F1 F2", "格納 / 分析");
  add("F3 F4", "分析表示１部 / ２部");
  add("F5 F6", "既定値変更 / 格納やり直し");
  add("Ctrl+Q", "終了");
  add("?", "このヘルプ (どれかのキーで閉じる)");
  return rows;
}

}  // namespace

bool UCHART::helpKey(unsigned key) {
  if (helpShown) {
    helpShown = false;
    InvalidateOverlay();
    return true;
  }
  if (key != VK_HELP) return false;
  helpShown = true;
  InvalidateOverlay();
  return true;
}

void UCHART::PaintOverlay(TDC& dc) {
  if (!helpShown) return;
  const TRect client = GetClientRect();
  if (client.Width() <= 0 || client.Height() <= 0) return;
  dc.SetMapMode(MM_ANISOTROPIC);
  dc.SetWindowExt({640, 480});
  dc.SetViewportExt({client.Width(), client.Height()});
  dc.SetViewportOrg({0, 0});
  std::string title = SJ("キー");
  if (std::string screen = screenTitle(*this); !screen.empty()) title += ": " + screen;
  drawKeyHelpBox(dc, TSize{640, 480}, title, helpRows(*this),
                 KeyHelpColours{RGB(255, 255, 255), RGB(255, 255, 0), RGB(128, 128, 128),
                                RGB(0, 0, 0)});
}

void UCHART::updateTitle() {
  std::string title = screenTitle(*this);
  if (title == shownTitle) return;
  shownTitle = title;
  SetTitleDetail(title);
}

}  // namespace dbprogram
