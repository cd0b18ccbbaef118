// The on-screen keypad of the digit entries (the code keypad and the comparison's base date):
// a 3 x 4 grid of cells from x 240 to 360 and y 40 to 200 under a display cell, with a prompt
// below it. On a wide database the code keypad has a second block of 5 x 4 cells right of it
// (x 360 to 560), holding the 19 letters a code may contain.
#pragma once

#include <string>

#include "platform/gdi/tdc.h"

namespace viewer {

// Digit of a keypad cell ('0'..'9'), or 0 for a cell that is no digit.
char digitOfCell(int cell);

// The letter of a cell of the letter block ('A'..'Y'), or 0 for a cell that is no letter; the
// cell of a letter key, or -1 for a key that is none of the 19 letters.
char letterOfCell(int cell);
int cellOfLetter(unsigned key);

// A letter command of the code entry: the letter is appended when it would be the second or
// the fourth character (where a code may hold one) and passed over anywhere else. Returns
// false, leaving the buffer to applyEntryCommand, on a new entry or a full buffer.
bool applyLetterCommand(char letter, int maxDigits, int& state, char* buffer);

// The buffer step of a digit entry for one keypad command. A new entry (`state` below 0) or a
// full buffer (`maxDigits` digits) empties the buffer and discards the command; the clear cell
// empties it; a digit cell appends its digit. Returns true for Enter on a buffer in use, which
// the entry then takes.
bool applyEntryCommand(int command, int maxDigits, int& state, char* buffer);

// The frame in white, the prompt and the cell labels in `textColour`.
void drawEntryKeypad(TDC& dc, const std::string& prompt, COLORREF textColour);
// The letter block of a wide database's code keypad, framed in white, labels in `textColour`.
void drawLetterKeypad(TDC& dc, COLORREF textColour);

}  // namespace viewer
