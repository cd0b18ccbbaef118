#include "dbprogram/uchart.h"

namespace dbprogram {

void UCHART::settingsEditor(TDC&) {}

}  // namespace dbprogram
