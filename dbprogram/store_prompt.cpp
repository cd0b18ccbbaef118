#include "dbprogram/entry_line.h"
#include "dbprogram/store.h"
#include "dbprogram/uchart.h"
#include "marketdb/layout.h"
#include "platform/text/cp932.h"

namespace dbprogram {

namespace {

constexpr int EchoX = 454;
constexpr int EchoY = 80;
constexpr TRect EchoArea{424, 79, 640, 96};

}  // namespace

// Opening the store prompt: the database kind from pelinoru.win and the store state from
// pelinoru.sys. Without either file the prompt does not open.
void UCHART::openStorePrompt() {
  const marketdb::DatabaseLayout& layout = marketdb::openLayout();
  if (const auto status = marketdb::readSettingsFile(win, 4); status != marketdb::FileStatus::Ok) {
    MessageBox(marketdb::fileStatusMessage(status, layout.settingsFile), marketdb::fileCaption());
    CloseWindow(0);
    return;
  }
  if (const auto status = marketdb::readSystemFile(sys); status != marketdb::FileStatus::Ok) {
    MessageBox(marketdb::fileStatusMessage(status, layout.systemFile), marketdb::fileCaption());
    CloseWindow(0);
    return;
  }
  entryScreen = 10;
}

// The store prompt: the daily file's name through the key-entry line, then the store.
void UCHART::storePrompt(TDC& dc) {
  selectScreenFont(dc);
  dc.SetBkMode(TRANSPARENT);
  drawText(dc, 0, 16, ColourBody, SJ("［ペリノＣ++］形式の日々株価データを格納処理をします"));
  drawText(dc, 0, 48, ColourBody,
           pelinor::text::format(SJ("前回格納日付は%sで格納位置は%4dでした").c_str(),
                                 marketdb::openLayout().formatDate(sys.lastStoreDate).c_str(),
                                 sys.storePosition));
  drawText(dc, 0, 80, ColourBody,
           SJ("今回格納処理する日々株価ﾌｧｲﾙ名(W(N)yymmdd)Eを入力してください→"));

  EntryRules rules;
  rules.limit = 8;
  rules.letterW = true;
  rules.letterN = true;
  const EntryResult result = applyEntryKey(*this, rules);
  if (result == EntryResult::Cleared) dc.FillRect(EchoArea, TBrush(RGB(0, 0, 0)));
  echoEntry(dc, *this, EchoX, EchoY);
  if (result != EntryResult::Confirmed) return;

  if (dailyFileMatchesKind(entryText, win.databaseKind)) {
    entryScreen = 0;
    kakuno(dc);
    return;
  }
  Bell();
  drawText(dc, 0, StoreStatusY, ColourError, otherMarketMessage());
  entryText.clear();
  entryLength = 0;
}

}  // namespace dbprogram
