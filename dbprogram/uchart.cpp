#include "dbprogram/uchart.h"

#include <cstdio>

#include "marketdb/journal.h"
#include "marketdb/layout.h"
#include "platform/text/cp932.h"

namespace dbprogram {

namespace {

bool isArrowCommand(int command) {
  return command == CmdUp || command == CmdDown || command == CmdLeft || command == CmdRight;
}

// Commands the ranking display acts on.
bool isRankingCommand(int command) {
  return isDigitCommand(command) || isArrowCommand(command) || command == CmdFirst ||
         command == CmdLast || command == CmdFileOutput || command == CmdFileOutputDone;
}

}  // namespace

UCHART::UCHART() = default;

// A folder without a database is said at once, with where the program looked and how to make
// one; otherwise the user would learn it only from the first command's missing-file message.
void UCHART::SetupWindow() {
  TWindow::SetupWindow();
  const std::string unsupported = marketdb::unsupportedDatabaseMessage();
  if (!unsupported.empty())
    MessageBox(unsupported, marketdb::fileCaption(), MB_OK);
  else if (marketdb::noDatabaseInFolder())
    MessageBox(marketdb::noDatabaseMessage(), marketdb::fileCaption(), MB_OK);
}

// ---------------------------------------------------------------------------------------------
// Menu commands: each stores its command code and companion fields, then invalidates; the work
// happens in Paint.

void UCHART::kakuno() {
  command = CmdStore;
  screenMode = 0;
  entryScreen = 0;
  entryLength = -1;
  Invalidate();
}

void UCHART::bunseki() {
  command = CmdAnalysis;
  screenMode = 0;
  entryScreen = 20;
  entryLength = -1;
  Invalidate();
}

void UCHART::bunhyoji1() {
  command = CmdDigit0;
  screenMode = 30;
  entryScreen = 0;
  displayReload = 1;
  Invalidate();
}

void UCHART::bunhyoji2() {
  command = CmdDigit0;
  screenMode = 40;
  entryScreen = 0;
  displayReload = 1;
  Invalidate();
}

void UCHART::kiteichi() {
  command = CmdSettings;
  screenMode = 50;
  entryScreen = 50;
  entryLength = -1;
  Invalidate();
}

void UCHART::kakunonaosi() {
  command = CmdRestore;
  screenMode = 0;
  entryLength = -1;
  Invalidate();
}

void UCHART::jokenserch() {
  command = CmdSearch;
  Invalidate();
}

void UCHART::dbseiri() {
  command = CmdTidy;
  Invalidate();
}

void UCHART::yobi() {
  command = CmdReserve;
  Invalidate();
}

void UCHART::ue() {
  command = CmdUp;
  Invalidate();
}

void UCHART::sita() {
  command = CmdDown;
  Invalidate();
}

void UCHART::hidari() {
  command = CmdLeft;
  Invalidate();
}

void UCHART::migi() {
  command = CmdRight;
  Invalidate();
}

void UCHART::saisyo() {
  command = CmdFirst;
  Invalidate();
}

void UCHART::saigo() {
  command = CmdLast;
  Invalidate();
}

void UCHART::digit(int d) {
  if (d < 0 || d > 9) return;
  command = CmdDigit0 + 10 * d;
  lastKey = command;
  Invalidate();
}

void UCHART::w() {
  command = CmdW;
  Invalidate();
}

void UCHART::n() {
  command = CmdN;
  Invalidate();
}

void UCHART::y() {
  command = CmdY;
  Invalidate();
}

void UCHART::c() {
  command = CmdC;
  lastKey = CmdC;
  Invalidate();
}

void UCHART::e() {
  command = CmdE;
  lastKey = CmdE;
  Invalidate();
}

void UCHART::kamma() {
  command = CmdT;
  Invalidate();
}

void UCHART::bunsekiout() {
  command = CmdFileOutput;
  Invalidate();
}

bool UCHART::EvCommand(int id) {
  if (id >= IdS0 && id <= IdS0 + 9) {
    digit(id - IdS0);
    return true;
  }
  switch (id) {
    case IdKakuno: kakuno(); return true;
    case IdBunseki: bunseki(); return true;
    case IdBunhyoji1: bunhyoji1(); return true;
    case IdBunhyoji2: bunhyoji2(); return true;
    case IdKiteichi: kiteichi(); return true;
    case IdKakunonaosi: kakunonaosi(); return true;
    case IdJokenserch: jokenserch(); return true;
    case IdDbseiri: dbseiri(); return true;
    case IdYobi: yobi(); return true;
    case IdUe: ue(); return true;
    case IdSita: sita(); return true;
    case IdHidari: hidari(); return true;
    case IdMigi: migi(); return true;
    case IdSaisyo: saisyo(); return true;
    case IdSaigo: saigo(); return true;
    case IdW: w(); return true;
    case IdN: n(); return true;
    case IdY: y(); return true;
    case IdC: c(); return true;
    case IdE: e(); return true;
    case IdKamma: kamma(); return true;
    case IdBunsekiout: bunsekiout(); return true;
    default: return TWindow::EvCommand(id);
  }
}

// ---------------------------------------------------------------------------------------------
// Keys, size and mouse.

void UCHART::EvKeyDown(unsigned key, unsigned repeatCount, unsigned flags) {
  TWindow::EvKeyDown(key, repeatCount, flags);
  if (helpKey(key)) return;
  if (key >= '0' && key <= '9') {
    digit(static_cast<int>(key - '0'));
    return;
  }
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) {
    digit(static_cast<int>(key - VK_NUMPAD0));
    return;
  }
  switch (key) {
    case VK_F1: kakuno(); break;
    case VK_F2: bunseki(); break;
    case VK_F3: bunhyoji1(); break;
    case VK_F4: bunhyoji2(); break;
    case VK_F5: kiteichi(); break;
    case VK_F6: kakunonaosi(); break;
    case VK_F7: jokenserch(); break;
    case VK_F8: dbseiri(); break;
    case VK_F9: yobi(); break;
    case VK_F11: bunsekiout(); break;
    case VK_UP: ue(); break;
    case VK_DOWN: sita(); break;
    case VK_LEFT: hidari(); break;
    case VK_RIGHT: migi(); break;
    case VK_BACK: saisyo(); break;
    case VK_SPACE: saigo(); break;
    case 'W': w(); break;
    case 'N': n(); break;
    case 'Y': y(); break;
    case VK_HOME: c(); break;
    case VK_RETURN: e(); break;
    case 'T': kamma(); break;
    default: break;  // F10, F12 and every other key: nothing of ours
  }
}

void UCHART::EvSize(unsigned sizeType, const TSize& size) {
  TWindow::EvSize(sizeType, size);
  Invalidate();
}

// A click repaints the screen as it stands. As every repaint applies the command again, the
// ranking display's position is first moved back by the step that repaint will make, so the
// same page comes back. A page step of ↓ moves the top row 27 back from where the last page
// left it (one row further than that page's top) and ↑ 29 back, ← 56 back and → not at all,
// while drawing a page leaves the top 28 rows on: the repeated step is taken back by -1 after
// ↓, +1 after ↑, +28 after ← and -28 after →.
void UCHART::EvLButtonDown(unsigned modKeys, const TPoint& point) {
  TWindow::EvLButtonDown(modKeys, point);
  if (entryScreen == 20) {
    screenMode = 0;
    command = CmdAnalysis;
    entryLength = -1;
  }
  int step = 0;
  switch (command) {
    case CmdDown: step = -1; break;
    case CmdUp: step = 1; break;
    case CmdLeft: step = 28; break;
    case CmdRight: step = -28; break;
    default: break;
  }
  if (step != 0) {
    topRow += step;
    reverseCounter -= step;
  } else if (isDigitCommand(command) && (screenMode == 30 || screenMode == 40)) {
    topRow -= 28;
  }
  Invalidate();
}

// ---------------------------------------------------------------------------------------------
// The dispatcher. Several screens may run in one repaint, always in this order.

void UCHART::Paint(TDC& dc, bool erase, TRect& rect) {
  TWindow::Paint(dc, erase, rect);
  const TRect client = GetClientRect();
  dc.SetMapMode(MM_ANISOTROPIC);
  dc.SetWindowExt({640, 480});
  dc.SetViewportExt({client.Width(), client.Height()});
  dc.SetViewportOrg({0, 0});
  dc.FillRect(TRect{0, 0, 640, 480}, TBrush(RGB(0, 0, 0)));
  dc.SetBkMode(TRANSPARENT);
  // Opaque text (the store's lines) paints black cells on the black screen.
  dc.SetBkColor(RGB(0, 0, 0));
  SetCursor(Cursor::Wait);
  // Whether the screen showed a ranking page before this paint (the file output stores it).
  rankingPageWasShown = rankingPageShown;
  rankingPageShown = false;

  // A database this version cannot work on: every command is refused with one message, and
  // the screen stays empty.
  if (command != 0 || entryScreen != 0 || screenMode != 0) {
    const std::string unsupported = marketdb::unsupportedDatabaseMessage();
    if (!unsupported.empty()) {
      command = 0;
      entryScreen = 0;
      screenMode = 0;
      MessageBox(unsupported, marketdb::fileCaption(), MB_OK);
      SetCursor(Cursor::Arrow);
      updateTitle();
      return;
    }
  }

  // Every screen reads the database files: an interrupted change (of this program or the
  // viewer) is undone first. A journal that cannot be written back is reported once.
  const marketdb::Recovery recovery = marketdb::recoverDatabase(
      [](const std::string& text) { std::fprintf(stderr, "%s\n", pelinor::text::toUtf8(text).c_str()); });
  if (recovery.status == marketdb::RecoveryStatus::Failed ? !recoveryReported
                                                          : recovery.needsSaying()) {
    recoveryReported = recovery.status == marketdb::RecoveryStatus::Failed;
    MessageBox(recovery.message, marketdb::fileCaption(), MB_OK);
  }

  if (command == CmdStore) openStorePrompt();
  if (entryScreen == 10) storePrompt(dc);
  if (command == CmdRestore) openRestorePrompt();
  if (entryScreen == 60) restorePrompt(dc);
  if (screenMode == 60) restoreSearch(dc);
  if (screenMode == 50) settingsEditor(dc);
  if (entryScreen == 20) analysisPrompt(dc);
  if ((screenMode == 30 || screenMode == 40) && isRankingCommand(command)) rankingDisplay(dc);

  SetCursor(Cursor::Arrow);
  updateTitle();
}

}  // namespace dbprogram
