// The top-row buttons of a chart screen (double-click) and Insert/Delete: registering the shown
// stock in the watch list or removing it, and rewriting pelinoru.win.
#include <algorithm>
#include <string>

#include "marketdb/journal.h"
#include "platform/text/cp932.h"
#include "viewer/tchart.h"

namespace viewer {

namespace {

using marketdb::WatchListEnd;
constexpr int RegisterButton = 8;
constexpr int DeleteButton = 9;

enum class WatchOutcome { Registered, AlreadyThere, Full, Removed, NotThere };

// The short line that tells the user what a register or delete did (CP932).
std::string watchNotice(WatchOutcome outcome, float code) {
  using pelinor::text::format;
  const double c = code;
  switch (outcome) {
    case WatchOutcome::Registered: return format(SJ("%gを注目に登録しました").c_str(), c);
    case WatchOutcome::AlreadyThere: return format(SJ("%gは注目に登録済みです").c_str(), c);
    case WatchOutcome::Full:
      return format(SJ("注目が満杯(%d銘柄)なので%gは登録できません").c_str(), WatchListEnd, c);
    case WatchOutcome::Removed: return format(SJ("%gを注目から削除しました").c_str(), c);
    case WatchOutcome::NotThere: return format(SJ("%gは注目にありません").c_str(), c);
  }
  return {};
}

}  // namespace

void TChart::topRowButtons() {
  int command = -1;
  if (keypadCommand == PadInsert) {
    command = RegisterButton;
  } else if (keypadCommand == PadDelete) {
    command = DeleteButton;
  } else if (clickPending && clientPixels.cy > 0 &&
             clickPoint.y < clientPixels.cy * 16.0 / 480.0) {
    const int columnWidth = clientPixels.cx / 10;
    if (columnWidth > 0) command = clickPoint.x / columnWidth;
  }

  if (command == RegisterButton || command == DeleteButton) {
    if (!writeWatchList(command)) CloseWindow();
  }

  // The command and the click are used up.
  keypadCommand = PadHandled;
  clickPending = false;
  clickPoint = TPoint{0, 0};
}

bool TChart::writeWatchList(int command) {
  // Only a stock of the index can be registered: a code that is not in it would end the list
  // early and hide every code after it.
  const float code = static_cast<float>(marketdb::codeNumber(selection.code));
  if (!table || findCode(code) < 0) {
    notice = SJ("表示中の銘柄がないので注目は変わりません");
    return true;
  }

  // Start from the file as it stands now, so that settings or chart-link codes the database
  // program wrote since they were read here are kept; the writer lock keeps them from changing
  // until the list is written. While another program writes, the edit is refused and says so.
  marketdb::DatabaseChange change;
  if (!change.lock()) {
    ReportWriteFailure();
    MessageBox(change.message(), SJ("ﾌｧｲﾙ使用状況"), MB_OK);
    return true;
  }
  marketdb::SettingsFile win = settingsImage;
  if (marketdb::readSettingsFile(win, 12) != marketdb::FileStatus::Ok) win = settingsImage;

  // The lists are kept as codes in the file and as numbers on this screen.
  const marketdb::StockCode shown = selection.code;
  marketdb::StockCode* list = win.codes;
  // What the user is told once the file is written.
  WatchOutcome outcome = WatchOutcome::Full;
  if (command == RegisterButton) {
    for (int p = 0; p < WatchListEnd; ++p) {
      if (list[p] == shown) {
        outcome = WatchOutcome::AlreadyThere;
        break;
      }
      if (list[p] == marketdb::NoStockCode) {
        list[p] = shown;
        outcome = WatchOutcome::Registered;
        break;
      }
    }
  } else {
    outcome = WatchOutcome::NotThere;
    for (int p = 0; p <= WatchListEnd; ++p) {
      if (list[p] == shown) {
        list[p] = marketdb::NoStockCode;
        outcome = WatchOutcome::Removed;
        break;
      }
    }
    // One pass moves every code after the gap up by one position.
    for (int p = 0; p < WatchListEnd; ++p) {
      if (list[p] == marketdb::NoStockCode) {
        list[p] = list[p + 1];
        list[p + 1] = marketdb::NoStockCode;
      }
    }
  }

  if (!change.replaceTexts({{marketdb::SettingsFileName, marketdb::formatSettingsFile(win)}})) {
    ReportWriteFailure();
    MessageBox(change.message(), marketdb::fileCaption(), MB_OK);
    return false;
  }
  settingsImage = win;
  for (int i = 0; i < 120; ++i) codes[i] = static_cast<float>(marketdb::codeNumber(win.codes[i]));
  notice = watchNotice(outcome, code);
  return true;
}

}  // namespace viewer
