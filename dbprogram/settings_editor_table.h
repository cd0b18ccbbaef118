// Drawing of the settings editor's table: every item with its label and value, the background
// swatch, the colour legend, the command lines and the entry prompt.
#pragma once

#include "dbprogram/uchart.h"

namespace dbprogram {

// Echo position of the settings editor's key-entry line.
constexpr int SettingsEchoX = 192;
constexpr int SettingsEchoY = 384;

// Fills each colour item's red, green and blue from its colour number (a number outside the
// palette leaves the item's components as they were).
void refreshColourComponents(UCHART& w);

// Draws the whole table from the working copy, ending with the prompt and the echo.
void drawSettingsTable(TDC& dc, const UCHART& w);

}  // namespace dbprogram
