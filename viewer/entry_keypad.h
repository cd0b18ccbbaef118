// The on-screen keypad of the digit entries (the code keypad and the comparison's base date):
// a 3 x 4 grid of cells from x 240 to 360 and y 40 to 200 under a display cell, with a prompt
// below it.
#pragma once

#include <string>

#include "platform/gdi/tdc.h"

namespace viewer {

// Digit of a keypad cell ('0'..'9'), or 0 for a cell that is no digit.
char digitOfCell(int cell);

// The buffer step of a digit entry for one keypad command. A new entry (`state` below 0) or a
// full buffer (`maxDigits` digits) empties the buffer and discards the command; the clear cell
// empties it; a digit cell appends its digit. Returns true for Enter on a buffer in use, which
// the entry then takes.
bool applyEntryCommand(int command, int maxDigits, int& state, char* buffer);

// The frame in white, the prompt and the cell labels in `textColour`.
void drawEntryKeypad(TDC& dc, const std::string& prompt, COLORREF textColour);

}  // namespace viewer
