// The key-entry line shared by the entry screens of the database program (store prompt,
// re-store setup, settings editor). On every repaint while a screen owns the line, the screen
// applies the current command to it: the line is emptied (and the key dropped) when
// entryLength is outside 0 .. limit-1; a digit or an accepted letter is appended; E confirms;
// C empties the line (the screen then blanks its echo area).
#pragma once

#include "dbprogram/uchart.h"

namespace dbprogram {

struct EntryRules {
  int limit = 8;         // characters the line may hold
  bool letterW = false;  // W and N (store prompt)
  bool letterN = false;
  bool letterT = false;  // T (settings editor)
};

enum class EntryResult {
  Nothing,    // the command is not a key of the line
  Emptied,    // the line was emptied and the key dropped (length out of range)
  Appended,   // a character was appended
  Confirmed,  // E: the line is complete
  Cleared,    // C: the line was emptied; the caller blanks its echo area
};

// Copies `command` into `lastKey` and applies it to `entryText` / `entryLength`.
EntryResult applyEntryKey(UCHART& w, const EntryRules& rules);

// Echoes the line in yellow at (x, y).
void echoEntry(TDC& dc, const UCHART& w, int x, int y);

// Selects the screens' font ("MSｺﾞｼｯｸ", height 16, width 6, normal weight, Shift-JIS).
void selectScreenFont(TDC& dc);

// Draws a CP932 text in a colour at (x, y) with the current background mode.
void drawText(TDC& dc, int x, int y, COLORREF colour, const std::string& cp932);

// Fixed colours of the database program's screens.
constexpr COLORREF ColourBody = RGB(192, 192, 192);
constexpr COLORREF ColourTitle = RGB(0, 255, 0);
constexpr COLORREF ColourEcho = RGB(255, 255, 0);
constexpr COLORREF ColourError = RGB(255, 0, 0);
constexpr COLORREF ColourList = RGB(255, 255, 255);

}  // namespace dbprogram
