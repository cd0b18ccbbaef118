#include "dbprogram/uchart.h"

namespace dbprogram {

void UCHART::openRestorePrompt() {}
void UCHART::restorePrompt(TDC&) {}
void UCHART::restoreSearch(TDC&) {}

}  // namespace dbprogram
