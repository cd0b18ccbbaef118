#include "dbprogram/uchart.h"

namespace dbprogram {

void UCHART::analysisFileOutput(TDC&) {}

}  // namespace dbprogram
