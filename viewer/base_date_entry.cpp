// The comparison's base-date entry (mode 6): the date yymmdd typed with keys or keypad clicks;
// Enter opens the comparison chart (mode 97) from that date.
#include <cstdlib>

#include "platform/text/cp932.h"
#include "viewer/entry_keypad.h"
#include "viewer/tchart.h"

namespace viewer {
namespace {

constexpr COLORREF White = RGB(255, 255, 255);
// Six digits of a date and one more; the command after a full buffer empties it.
constexpr int MaxBaseDigits = 7;

}  // namespace

void TChart::baseDateKeypad(TDC& dc) {
  dc.SelectObject(chartTextFont());
  drawEntryKeypad(dc, SJ("０％基準日yymmdd入力"), White);

  // A digit command stays set: a repaint of the keypad appends the digit again, as on the code
  // keypad.
  if (applyEntryCommand(keypadCommand, MaxBaseDigits, entryState, entryBuffer)) {
    baseDate = std::strtof(entryBuffer, nullptr);
    viewMode = 97;
  }

  // "%06g" shows a date of the years 2001..2009 typed without its leading zero with it.
  dc.SetTextColor(White);
  dc.TextOut(242, 2,
             pelinor::text::format("%06g", static_cast<double>(std::strtof(entryBuffer, nullptr))));

  if (viewMode == 97) fillBackground(dc);
}

}  // namespace viewer
