// The code keypad (mode 11): a stock code or a menu category typed with keys or clicks; the
// keypad drawing it shares with the comparison's base-date entry.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/text/cp932.h"
#include "viewer/entry_keypad.h"
#include "viewer/tchart.h"

namespace viewer {

char digitOfCell(int cell) {
  for (int d = 0; d < 10; ++d)
    if (PadDigit[d] == cell) return static_cast<char>('0' + d);
  return 0;
}

bool applyEntryCommand(int command, int maxDigits, int& state, char* buffer) {
  if (state < 0 || state >= maxDigits) {
    state = 0;
    buffer[0] = '\0';
  } else if (command == PadEnter) {
    return true;
  } else if (command == PadClear) {
    state = 0;
    buffer[0] = '\0';
  } else if (char digit = digitOfCell(command)) {
    buffer[state] = digit;
    ++state;
    buffer[state] = '\0';
  }
  return false;
}

void drawEntryKeypad(TDC& dc, const std::string& prompt, COLORREF textColour) {
  dc.SetTextColor(textColour);
  dc.TextOut(240, 208, prompt);
  dc.SelectObject(TPen(RGB(255, 255, 255)));
  for (int y = 0; y <= 200; y += 40) {
    dc.MoveTo(240, y);
    dc.LineTo(360, y);
  }
  dc.MoveTo(240, 0);
  dc.LineTo(240, 200);
  dc.MoveTo(360, 0);
  dc.LineTo(360, 200);
  dc.MoveTo(280, 40);
  dc.LineTo(280, 200);
  dc.MoveTo(320, 40);
  dc.LineTo(320, 200);
  static const char* const labels[4][3] = {
      {"７", "８", "９"}, {"４", "５", "６"}, {"１", "２", "３"}, {"０", "Ｃ", "Ｅ"}};
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 3; ++col)
      dc.TextOut(242 + col * 40, 42 + row * 40, pelinor::text::toCp932(labels[row][col]));
}

namespace {

constexpr COLORREF Yellow = RGB(255, 255, 0);
constexpr int MaxDigits = 6;

}  // namespace

bool TChart::codeKeypad(TDC& dc) {
  // Enter on another screen opens the stock menu.
  if (keypadCommand == PadEnter && entryState == -2) {
    viewMode = 12;
    requestRepaint();
    return false;
  }

  const bool entered = applyEntryCommand(keypadCommand, MaxDigits, entryState, entryBuffer);
  const float value = std::strtof(entryBuffer, nullptr);
  if (entered) {
    if (value > 9 && value < 32)
      selectCategory(static_cast<int>(value));
    else
      selectCode(marketdb::codeFromNumber(value));
    viewMode = 9;
  }

  if (entered && value > 9 && value < 32) {
    // 10..31 opens that menu category; the menu is painted in place of the keypad.
    menuCategory = static_cast<int>(value);
    viewMode = 12;
    requestRepaint();
    return false;
  }

  if (entered && (!table || table->findStock(selection.code) < 0)) {
    // A code the index does not hold would show an empty screen: the menu comes back with a
    // line that says so, and the stock in memory stays the one a view key shows.
    notice = pelinor::text::format(SJ("銘柄コード%gはデータベースにありません").c_str(),
                                   static_cast<double>(value));
    viewMode = 12;
    requestRepaint();
    return false;
  }

  drawEntryKeypad(dc, SJ("銘柄コード入力"), Yellow);
  dc.SetTextColor(Yellow);
  dc.TextOut(242, 2, pelinor::text::format("%6g", static_cast<double>(value)));

  if (entered && selection.code != marketdb::NoStockCode && menuCategory == 31) {
    linkPosition = marketdb::ChartLinkCount;
    for (int p = 0; p < marketdb::ChartLinkCount; ++p) {
      if (marketdb::codeFromNumber(codes[marketdb::ChartLinkFirst + p]) == selection.code) {
        linkPosition = p;
        break;
      }
    }
  }

  if (viewMode == 9) fillBackground(dc);
  return true;
}

}  // namespace viewer
