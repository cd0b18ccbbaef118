#include "dbprogram/uchart.h"

namespace dbprogram {

void UCHART::analysisPrompt(TDC&) {}
void UCHART::bunsekis(TDC&) {}

}  // namespace dbprogram
