#include "dbprogram/uchart.h"

namespace dbprogram {

void UCHART::kakuno(TDC&) {}

}  // namespace dbprogram
