#include "platform/window/key_help.h"

#include <algorithm>

#include "platform/text/cp932.h"

void drawKeyHelpBox(TDC& dc, const TSize& area, const std::string& titleCp932,
                    const std::vector<KeyHelpRow>& rows, const KeyHelpColours& colours) {
  constexpr int CharWidth = 6;
  constexpr int RowHeight = 13;
  const TFont font(SJ("MSｺﾞｼｯｸ"), 12, CharWidth, FW_NORMAL, SHIFTJIS_CHARSET);
  std::size_t keyWidth = 0;
  std::size_t actionWidth = titleCp932.size();
  for (const KeyHelpRow& r : rows) {
    keyWidth = std::max(keyWidth, r.keys.size());
    actionWidth = std::max(actionWidth, r.action.size());
  }
  const int maxRows = std::max((area.cy - 12) / RowHeight - 1, 0);
  const int shown = std::min(static_cast<int>(rows.size()), maxRows);
  const int keyColumn = static_cast<int>(keyWidth) * CharWidth + 2 * CharWidth;
  const int width = std::min(keyColumn + static_cast<int>(actionWidth) * CharWidth + 12, area.cx);
  const int height = (shown + 1) * RowHeight + 10;
  const int left = std::max((area.cx - width) / 2, 0);
  const int top = std::max((area.cy - height) / 2, 0);

  dc.SelectObject(TPen(colours.frame));
  dc.SelectObject(TBrush(colours.fill));
  dc.Rectangle(left, top, left + width, top + height);
  dc.SelectObject(font);
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(colours.text);
  dc.TextOut(left + 6, top + 5, titleCp932);
  for (int r = 0; r < shown; ++r) {
    const int y = top + 5 + (r + 1) * RowHeight;
    dc.SetTextColor(colours.keys);
    dc.TextOut(left + 6, y, rows[static_cast<std::size_t>(r)].keys);
    dc.SetTextColor(colours.text);
    dc.TextOut(left + 6 + keyColumn, y, rows[static_cast<std::size_t>(r)].action);
  }
}
