#include "viewer/tchart.h"

namespace viewer {

TChart::TChart() {}
TChart::~TChart() = default;

void TChart::SetupWindow() {}
void TChart::Paint(TDC&, bool, TRect&) {}
void TChart::EvKeyDown(unsigned, unsigned, unsigned) {}
void TChart::EvLButtonDown(unsigned, const TPoint&) {}
void TChart::EvLButtonDblClk(unsigned, const TPoint&) {}
void TChart::EvSize(unsigned, const TSize&) {}
bool TChart::EvCommand(int) { return false; }

void TChart::MADO() {}
void TChart::RIKUTU3() {}
void TChart::RIKUTU4() {}
void TChart::RIKUTU5() {}
void TChart::SIGN() {}
void TChart::SIGNS() {}
void TChart::SYUASI() {}
void TChart::HIASI() {}
void TChart::HIKAKU() {}
void TChart::MEICODE() {}
void TChart::MEIMENU() {}
void TChart::UE() {}
void TChart::SITA() {}
void TChart::HIDARI() {}
void TChart::MIGI() {}
void TChart::SYKYO() {}

}  // namespace viewer
