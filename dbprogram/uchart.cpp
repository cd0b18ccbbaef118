#include "dbprogram/uchart.h"

namespace dbprogram {

UCHART::UCHART() = default;

void UCHART::Paint(TDC&, bool, TRect&) {}
void UCHART::EvKeyDown(unsigned, unsigned, unsigned) {}
void UCHART::EvSize(unsigned, const TSize&) {}
void UCHART::EvLButtonDown(unsigned, const TPoint&) {}
bool UCHART::EvCommand(int) { return false; }

void UCHART::kakuno() {}
void UCHART::bunseki() {}
void UCHART::bunhyoji1() {}
void UCHART::bunhyoji2() {}
void UCHART::kiteichi() {}
void UCHART::kakunonaosi() {}
void UCHART::jokenserch() {}
void UCHART::dbseiri() {}
void UCHART::yobi() {}
void UCHART::ue() {}
void UCHART::sita() {}
void UCHART::hidari() {}
void UCHART::migi() {}
void UCHART::saisyo() {}
void UCHART::saigo() {}
void UCHART::digit(int) {}
void UCHART::w() {}
void UCHART::n() {}
void UCHART::y() {}
void UCHART::c() {}
void UCHART::e() {}
void UCHART::kamma() {}
void UCHART::bunsekiout() {}

}  // namespace dbprogram
