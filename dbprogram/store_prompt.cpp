#include "dbprogram/uchart.h"

namespace dbprogram {

void UCHART::openStorePrompt() {}
void UCHART::storePrompt(TDC&) {}

}  // namespace dbprogram
