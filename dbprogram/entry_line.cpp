#include "dbprogram/entry_line.h"

namespace dbprogram {

EntryResult applyEntryKey(UCHART&, const EntryRules&) { return EntryResult::Nothing; }
void echoEntry(TDC&, const UCHART&, int, int) {}
void selectScreenFont(TDC&) {}
void drawText(TDC&, int, int, COLORREF, const std::string&) {}

}  // namespace dbprogram
