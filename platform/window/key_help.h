// The key help overlay both programs show on '?': a framed box in the middle of the client area
// listing the keys and mouse actions of the current screen, two columns per row. Drawn over
// the screen by the window's PaintOverlay; the window closes it on the next key.
#pragma once

#include <string>
#include <vector>

#include "platform/gdi/tdc.h"

struct KeyHelpRow {
  std::string keys;    // CP932
  std::string action;  // CP932
};

struct KeyHelpColours {
  COLORREF text;
  COLORREF keys;
  COLORREF frame;
  COLORREF fill;
};

// Draws the box in the logical space `area` (the window's mapping is the caller's) with a title
// row; rows that do not fit in the area are left out.
void drawKeyHelpBox(TDC& dc, const TSize& area, const std::string& titleCp932,
                    const std::vector<KeyHelpRow>& rows, const KeyHelpColours& colours);
