#include "dbprogram/entry_line.h"

#include <algorithm>

#include "platform/text/cp932.h"

namespace dbprogram {

namespace {

// The character a command appends under the screen's rules, or 0 when it appends none.
char appendedCharacter(int command, const EntryRules& rules) {
  if (isDigitCommand(command)) return static_cast<char>('0' + digitOfCommand(command));
  if (command == CmdW && rules.letterW) return 'W';
  if (command == CmdN && rules.letterN) return 'N';
  if (command == CmdT && rules.letterT) return 'T';
  return 0;
}

constexpr std::size_t MaxEntryBytes = 20;

}  // namespace

EntryResult applyEntryKey(UCHART& w, const EntryRules& rules) {
  w.lastKey = w.command;
  // A fresh screen (entryLength -1) or a full line: the line starts again and this key is
  // dropped, whatever it was.
  const int limit = std::min<int>(rules.limit, MaxEntryBytes);
  if (w.entryLength < 0 || w.entryLength > limit - 1) {
    w.entryText.clear();
    w.entryLength = 0;
    return EntryResult::Emptied;
  }
  // A screen that sets entryLength to 0 on confirmation leaves the old text behind: the count
  // is what the line holds.
  if (w.entryText.size() > static_cast<std::size_t>(w.entryLength)) {
    w.entryText.resize(static_cast<std::size_t>(w.entryLength));
  } else {
    w.entryLength = static_cast<int>(w.entryText.size());
  }
  if (char ch = appendedCharacter(w.command, rules)) {
    w.entryText.push_back(ch);
    ++w.entryLength;
    return EntryResult::Appended;
  }
  if (w.command == CmdE) return EntryResult::Confirmed;
  if (w.command == CmdC) {
    w.entryText.clear();
    w.entryLength = 0;
    return EntryResult::Cleared;
  }
  return EntryResult::Nothing;
}

void echoEntry(TDC& dc, const UCHART& w, int x, int y) {
  if (!w.entryText.empty()) drawText(dc, x, y, ColourEcho, w.entryText);
}

void selectScreenFont(TDC& dc) {
  dc.SelectObject(TFont(SJ("MSｺﾞｼｯｸ"), 16, 6, FW_NORMAL, SHIFTJIS_CHARSET));
}

void drawText(TDC& dc, int x, int y, COLORREF colour, const std::string& cp932) {
  dc.SetTextColor(colour);
  dc.TextOut(x, y, cp932);
}

}  // namespace dbprogram
