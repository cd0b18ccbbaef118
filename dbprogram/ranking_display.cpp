#include "dbprogram/uchart.h"

namespace dbprogram {

void UCHART::rankingDisplay(TDC&) {}
void UCHART::bunhyoji(TDC&) {}

}  // namespace dbprogram
