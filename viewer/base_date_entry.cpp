// The comparison's base-date entry (mode 6): the date yymmdd (yyyymmdd on a wide database) typed
// with keys or keypad clicks; Enter opens the comparison chart (mode 97) from that date.
#include <cstdlib>

#include "marketdb/files.h"
#include "marketdb/layout.h"
#include "platform/text/cp932.h"
#include "viewer/entry_keypad.h"
#include "viewer/tchart.h"

namespace viewer {
namespace {

constexpr COLORREF White = RGB(255, 255, 255);
// The digits of a date and one more; the command after a full buffer empties it.
constexpr int MaxBaseDigits = 7;
constexpr int MaxWideBaseDigits = 9;

}  // namespace

void TChart::baseDateKeypad(TDC& dc) {
  dc.SelectObject(chartTextFont());
  drawEntryKeypad(dc, wideDatabase ? SJ("０％基準日yyyymmdd入力") : SJ("０％基準日yymmdd入力"),
                  White);

  // A digit command stays set: a repaint of the keypad appends the digit again, as on the code
  // keypad.
  if (keypadCommand != PadHandled) baseDateNotice.clear();
  // A full date is read as a double: a float cannot hold every eight-digit number.
  if (applyEntryCommand(keypadCommand, wideDatabase ? MaxWideBaseDigits : MaxBaseDigits,
                        entryState, entryBuffer)) {
    const double typed = std::strtod(entryBuffer, nullptr);
    const std::int32_t date = layout->readDate(typed);
    if (!marketdb::isCalendarDate(date) || date > lastStoreDate) {
      refuseBaseDate(typed);
    } else {
      baseDate = date;
      viewMode = 97;
    }
  }

  // "%06g" shows a date of the years 2001..2009 typed without its leading zero with it.
  dc.SetTextColor(White);
  if (wideDatabase)
    dc.TextOut(242, 2, pelinor::text::format("%08.0f", std::strtod(entryBuffer, nullptr)));
  else
    dc.TextOut(242, 2, pelinor::text::format(
                           "%06g", static_cast<double>(std::strtof(entryBuffer, nullptr))));

  if (!baseDateNotice.empty()) {
    dc.SetTextColor(RGB(255, 0, 0));
    dc.TextOut(0, 232, baseDateNotice);
  }

  if (viewMode == 97) fillBackground(dc);
}

// A base date that names no day, or one after the newest stored day, would draw nothing: the
// keypad stays, emptied, with a line that shows the form expected. The Enter is used up, so a
// repaint shows the same line instead of taking the empty buffer as a date.
void TChart::refuseBaseDate(double typed) {
  const std::int32_t date = layout->readDate(typed);
  const std::int32_t example = marketdb::isCalendarDate(lastStoreDate) ? lastStoreDate : 20261207;
  const char* form = wideDatabase ? "yyyymmdd" : "yymmdd";
  if (marketdb::isCalendarDate(date)) {
    baseDateNotice = pelinor::text::format(
        SJ("%sは最新日付%sより後です。%s(例 %s)で入力してください").c_str(),
        layout->formatDate(date).c_str(), layout->formatDate(lastStoreDate).c_str(), form,
        layout->formatDate(example).c_str());
  } else {
    baseDateNotice = pelinor::text::format(
        SJ("%0*.0fは日付ではありません。%s(例 %s)で入力してください").c_str(),
        wideDatabase ? 8 : 6, typed, form, layout->formatDate(example).c_str());
  }
  entryState = 0;
  entryBuffer[0] = '\0';
  keypadCommand = PadHandled;
}

}  // namespace viewer
