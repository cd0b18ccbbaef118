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

namespace {

// The letter block, row by row: 5 cells a row from grid column 9, rows 1 to 4.
constexpr char PadLetters[] = "ACDFGHJKLMNPRSTUWXY";
constexpr int LetterCount = sizeof PadLetters - 1;
constexpr int letterCell(int k) { return (1 + k / 5) * 16 + 9 + k % 5; }

}  // namespace

char letterOfCell(int cell) {
  for (int k = 0; k < LetterCount; ++k)
    if (letterCell(k) == cell) return PadLetters[k];
  return 0;
}

int cellOfLetter(unsigned key) {
  for (int k = 0; k < LetterCount; ++k)
    if (static_cast<unsigned char>(PadLetters[k]) == key) return letterCell(k);
  return -1;
}

bool applyLetterCommand(char letter, int maxDigits, int& state, char* buffer) {
  if (state < 0 || state >= maxDigits) return false;
  if (state == 1 || state == 3) {
    buffer[state] = letter;
    ++state;
    buffer[state] = '\0';
  }
  return true;
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

void drawLetterKeypad(TDC& dc, COLORREF textColour) {
  dc.SelectObject(TPen(RGB(255, 255, 255)));
  for (int y = 40; y <= 200; y += 40) {
    dc.MoveTo(360, y);
    dc.LineTo(560, y);
  }
  for (int x = 400; x <= 560; x += 40) {
    dc.MoveTo(x, 40);
    dc.LineTo(x, 200);
  }
  dc.SetTextColor(textColour);
  for (int k = 0; k < LetterCount; ++k) {
    // The full-width letter, as the digits are labelled.
    const char letter[] = {'\xEF', '\xBC', static_cast<char>('\xA1' + (PadLetters[k] - 'A')), 0};
    dc.TextOut(362 + k % 5 * 40, 42 + k / 5 * 40, pelinor::text::toCp932(letter));
  }
}

namespace {

constexpr COLORREF Yellow = RGB(255, 255, 0);
constexpr int MaxDigits = 6;

bool holdsLetter(const char* buffer) {
  for (const char* p = buffer; *p; ++p)
    if (*p >= 'A' && *p <= 'Z') return true;
  return false;
}

}  // namespace

bool TChart::codeKeypad(TDC& dc) {
  // Enter on another screen opens the stock menu.
  if (keypadCommand == PadEnter && entryState == -2) {
    viewMode = 12;
    requestRepaint();
    return false;
  }

  // Letters are keys of a wide database's codes only; the classic keypad has no letter cells.
  const char letter = wideDatabase ? letterOfCell(keypadCommand) : 0;
  const bool entered =
      !(letter && applyLetterCommand(letter, MaxDigits, entryState, entryBuffer)) &&
      applyEntryCommand(keypadCommand, MaxDigits, entryState, entryBuffer);
  const bool lettered = holdsLetter(entryBuffer);
  const float value = lettered ? 0.0f : std::strtof(entryBuffer, nullptr);
  const bool category = !lettered && value > 9 && value < 32;
  if (entered) {
    if (category)
      selectCategory(static_cast<int>(value));
    else
      selectCode(lettered ? marketdb::codeFromText(entryBuffer) : marketdb::codeFromNumber(value));
    viewMode = 9;
  }

  if (entered && category) {
    // 10..31 opens that menu category; the menu is painted in place of the keypad.
    menuCategory = static_cast<int>(value);
    viewMode = 12;
    requestRepaint();
    return false;
  }

  if (entered && (!table || table->findStock(selection.code) < 0)) {
    // A code the index does not hold would show an empty screen: the menu comes back with a
    // line that says so, and the stock in memory stays the one a view key shows.
    notice = lettered ? pelinor::text::format(SJ("銘柄コード%sはデータベースにありません").c_str(),
                                              entryBuffer)
                      : pelinor::text::format(SJ("銘柄コード%gはデータベースにありません").c_str(),
                                              static_cast<double>(value));
    viewMode = 12;
    requestRepaint();
    return false;
  }

  drawEntryKeypad(dc, SJ("銘柄コード入力"), Yellow);
  if (wideDatabase) drawLetterKeypad(dc, Yellow);
  dc.SetTextColor(Yellow);
  dc.TextOut(242, 2, lettered ? pelinor::text::format("%6s", entryBuffer)
                              : pelinor::text::format("%6g", static_cast<double>(value)));

  if (entered && selection.code != marketdb::NoStockCode && menuCategory == 31) {
    linkPosition = marketdb::ChartLinkCount;
    for (int p = 0; p < marketdb::ChartLinkCount; ++p) {
      if (codes[marketdb::ChartLinkFirst + p] == selection.code) {
        linkPosition = p;
        break;
      }
    }
  }

  if (viewMode == 9) fillBackground(dc);
  return true;
}

}  // namespace viewer
