// The comparison-date entry and the analysis run on the window.
#include <cstdlib>
#include <cstring>

#include "dbprogram/analysis.h"
#include "dbprogram/entry_line.h"
#include "dbprogram/uchart.h"
#include "marketdb/layout.h"
#include "platform/text/cp932.h"

namespace dbprogram {
namespace {

using pelinor::text::format;

constexpr int MaxDateDigits = 7;  // the entry holds seven digits; E is taken after six at most
// A wide database's dates are whole yyyymmdd: nine digits held, E taken after eight at most.
constexpr int MaxWideDateDigits = 9;
constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Yellow = RGB(255, 255, 0);
constexpr COLORREF Black = RGB(0, 0, 0);

// Draws the run's progress and end on the window; file failures become message boxes followed
// by the close request, refusals and warnings red lines below the end message.
class ScreenReporter : public AnalysisReporter {
 public:
  ScreenReporter(UCHART& window, TDC& dc) : window_(window), dc_(dc) {}

  void started() override {
    dc_.SetBkMode(OPAQUE);
    // Opaque text overwrites the previous progress count on the black window.
    dc_.SetBkColor(Black);
    selectScreenFont(dc_);
    drawText(dc_, 0, 48, White, SJ("処理中(^^;"));
  }
  void progress(int, int number, int listLength) override {
    drawText(dc_, 64, 48, Yellow, format("%4d", number));
    drawText(dc_, 96, 48, White, "/");
    drawText(dc_, 104, 48, Yellow, format("%4d", listLength));
  }
  void fileMessage(const std::string& text, const std::string& caption) override {
    window_.MessageBox(text, caption, MB_OK);
    window_.CloseWindow(0);
  }
  void warning(const std::string& text) override {
    Bell();
    drawText(dc_, 0, 96 + 16 * redLines_++, ColourError, text);
  }
  void finished(const std::string& text) override { drawText(dc_, 0, 80, White, text); }

 private:
  UCHART& window_;
  TDC& dc_;
  int redLines_ = 0;
};

}  // namespace

// The prompt owns its own buffer of at most seven digits. Its input is lastKey (set only by the
// digits, C and E), applied again on every repaint like the other entry screens' keys.
void UCHART::analysisPrompt(TDC& dc) {
  const bool wide = marketdb::openLayout().kind == marketdb::DatabaseKind::Wide;
  selectScreenFont(dc);
  drawText(dc, 0, 16, White,
           wide ? SJ("比較する年月日(yyyymmdd)を入力→") : SJ("比較する年月日(yymmdd)を入力→"));
  if (entryLength < 0 || entryLength > (wide ? MaxWideDateDigits : MaxDateDigits) - 1) {
    // A fresh prompt, or a key after the seventh digit: the entry starts again, the key is
    // dropped.
    std::memset(dateEntry, 0, sizeof dateEntry);
    entryLength = 0;
  } else if (isDigitCommand(lastKey)) {
    dateEntry[entryLength] = static_cast<char>('0' + digitOfCommand(lastKey));
    ++entryLength;
    dateEntry[entryLength] = '\0';
  } else if (lastKey == CmdC) {
    std::memset(dateEntry, 0, sizeof dateEntry);
    entryLength = 0;
  } else if (lastKey == CmdE) {
    // At most six digits get here (E after a seventh digit empties the entry), so the date
    // always fits the six digits of the ranking files' title.
    // (Eight digits are beyond a float's exact whole numbers: a wide date is read whole.)
    comparisonDate = wide ? std::strtod(dateEntry, nullptr) : std::strtof(dateEntry, nullptr);
    screenMode = CmdAnalysis;
  }
  if (wide)
    drawText(dc, 240, 16, Yellow, format("%08.0f", std::strtod(dateEntry, nullptr)));
  else
    drawText(dc, 224, 16, Yellow,
             format("%06g", static_cast<double>(std::strtof(dateEntry, nullptr))));
  bunsekis(dc);
}

void UCHART::bunsekis(TDC& dc) {
  if (screenMode != CmdAnalysis) return;
  ScreenReporter reporter(*this, dc);
  const AnalysisOutcome outcome = runAnalysis(comparisonDate, sys, win, reporter);
  if (outcome.writeFailed) ReportWriteFailure();
  // Without pelinoru.sys the run stops where it is; the window is closing.
  if (outcome.result != AnalysisResult::NoSystemFile) screenMode = 0;
}

}  // namespace dbprogram
