// The database program's client window. A menu command or key only stores a command code (and
// a few companion fields) and invalidates; Paint dispatches on those fields and does the work.
#pragma once

#include <string>
#include <vector>

#include "dbprogram/ranking_row.h"
#include "marketdb/files.h"
#include "marketdb/layout.h"
#include "platform/window/window.h"

namespace dbprogram {

// Command codes.
enum : int {
  CmdStore = 10,
  CmdAnalysis = 20,
  CmdSettings = 50,
  CmdRestore = 60,
  CmdSearch = 70,
  CmdTidy = 80,
  CmdReserve = 90,
  CmdUp = 100,
  CmdDown = 110,
  CmdLeft = 120,
  CmdRight = 130,
  CmdFirst = 140,
  CmdLast = 150,
  CmdDigit0 = 160,  // digit d is 160 + 10 * d
  CmdT = 260,
  CmdW = 270,
  CmdN = 280,
  CmdY = 290,
  CmdC = 300,
  CmdE = 310,
  CmdFileOutput = 320,
  CmdFileOutputDone = 321,  // after the file output: a repaint does not run it again
};

// Whether a command code is one of the ten digit keys, and the digit it stands for.
inline bool isDigitCommand(int command) {
  return command >= CmdDigit0 && command <= CmdDigit0 + 90 && (command - CmdDigit0) % 10 == 0;
}
inline int digitOfCommand(int command) { return (command - CmdDigit0) / 10; }

// Menu ids of resource 100.
enum : int {
  IdKakuno = 1,
  IdBunseki = 2,
  IdBunhyoji1 = 3,
  IdBunhyoji2 = 4,
  IdKiteichi = 5,
  IdKakunonaosi = 6,
  IdJokenserch = 7,
  IdDbseiri = 8,
  IdYobi = 9,
  IdUe = 10,
  IdSita = 11,
  IdHidari = 12,
  IdMigi = 13,
  IdSaisyo = 14,
  IdSaigo = 15,
  IdS0 = 16,  // digit d is 16 + d
  IdW = 26,
  IdN = 27,
  IdY = 28,
  IdC = 29,
  IdE = 30,
  IdKamma = 31,
  IdBunsekiout = 32,
};

class UCHART : public TWindow {
 public:
  UCHART();

  // Messages.
  void SetupWindow() override;
  void Paint(TDC& dc, bool erase, TRect& rect) override;
  void EvKeyDown(unsigned key, unsigned repeatCount, unsigned flags) override;
  void EvSize(unsigned sizeType, const TSize& size) override;
  void EvLButtonDown(unsigned modKeys, const TPoint& point) override;
  bool EvCommand(int id) override;
  // The key help overlay and the title bar (dbprogram/key_help.cpp).
  void PaintOverlay(TDC& dc) override;
  bool helpKey(unsigned key);  // '?' opens the help, any key closes it; true: key used
  void updateTitle();          // names the screen shown in the title bar
  bool helpShown = false;
  std::string shownTitle;

  // Menu command handlers.
  void kakuno();
  void bunseki();
  void bunhyoji1();
  void bunhyoji2();
  void kiteichi();
  void kakunonaosi();
  void jokenserch();
  void dbseiri();
  void yobi();
  void ue();
  void sita();
  void hidari();
  void migi();
  void saisyo();
  void saigo();
  void digit(int d);
  void s0() { digit(0); }
  void s1() { digit(1); }
  void s2() { digit(2); }
  void s3() { digit(3); }
  void s4() { digit(4); }
  void s5() { digit(5); }
  void s6() { digit(6); }
  void s7() { digit(7); }
  void s8() { digit(8); }
  void s9() { digit(9); }
  void w();
  void n();
  void y();
  void c();
  void e();
  void kamma();
  void bunsekiout();

  // Work of the commands, called from Paint with the paint device context.
  void kakuno(TDC& dc);     // the store
  void bunsekis(TDC& dc);   // the analysis run
  void bunhyoji(TDC& dc);   // one page of the ranking display

  // Dispatcher state.
  int command = 0;
  int entryLength = 0;
  int entryScreen = 0;
  int screenMode = 0;
  int displayReload = 0;
  int lastKey = 0;
  bool recoveryReported = false;  // a journal that could not be written back was reported
  std::string entryText;  // the key-entry line, at most 20 bytes

  // Shared file images.
  marketdb::SystemFile sys;
  marketdb::SettingsFile win;

  // Settings editor: parsed input and colour components of the 19 colour items.
  int settingItem = 0;
  int settingValue = 0;
  int colourRgb[19][3] = {};

  // Re-store setup: the target date as typed (yymmdd).
  float targetDate = 0;

  // Analysis: comparison date as typed (yymmdd) and its own entry buffer (at most 7 digits).
  float comparisonDate = 0;
  char dateEntry[10] = {};

  // Ranking display and file output: the rows read, then the end marker row; the layout of
  // the database whose ranking file they came from.
  std::vector<RankingRow> rows;
  const marketdb::DatabaseLayout* layout = &marketdb::ClassicLayout;
  int rowCount = 0;
  int marketGroup = 1;
  int topRow = 0;
  int reverseCounter = 0;
  int lastPaging = 0;
  int sortDigit = 0;  // digit key of the column the rows are sorted by (0: code)
  // Top row index of the page last drawn (topRow is one page past it after a drawing); the
  // file output stores the codes of this page.
  int pageTop = 0;
  // The title and header of the ranking file as read (each with its empty line), kept whole to
  // be written back.
  std::string titleText;
  std::string headerText;
  // Lines of the ranking file the table does not hold (malformed, or beyond the row array):
  // the file output then leaves the file as it is, since rewriting it would lose them.
  int rowsLeftOut = 0;
  // A ranking page was drawn by the last paint (and so was on screen when this one began).
  bool rankingPageShown = false;
  bool rankingPageWasShown = false;

 private:
  // Screens of the paint dispatcher.
  void openStorePrompt();
  void storePrompt(TDC& dc);
  void openRestorePrompt();
  void restorePrompt(TDC& dc);
  void restoreSearch(TDC& dc);
  void settingsEditor(TDC& dc);
  void analysisPrompt(TDC& dc);
  void rankingDisplay(TDC& dc);
  void analysisFileOutput(TDC& dc);
};

}  // namespace dbprogram
