#include "dbprogram/entry_line.h"
#include "dbprogram/store.h"
#include "dbprogram/uchart.h"

namespace dbprogram {

namespace {

// Draws the store's lines into the window: each line with an opaque (black) background, so a
// progress line covers the one before it.
class WindowStoreOutput : public StoreOutput {
 public:
  WindowStoreOutput(UCHART& window, TDC& dc) : window_(window), dc_(dc) {}

  void line(const StoreLine& line) override {
    dc_.SetBkMode(line.opaque ? OPAQUE : TRANSPARENT);
    drawText(dc_, line.x, line.y, line.colour, line.text);
  }
  void bell() override { Bell(); }
  // Every file message of the store means the day was not stored.
  void fileMessage(const std::string& textCp932, const std::string& captionCp932) override {
    window_.ReportWriteFailure();
    window_.MessageBox(textCp932, captionCp932, MB_OK);
    window_.CloseWindow(0);
  }

 private:
  UCHART& window_;
  TDC& dc_;
};

}  // namespace

// The store of the daily file named by the key-entry line.
void UCHART::kakuno(TDC& dc) {
  selectScreenFont(dc);
  const int previousMode = dc.GetBkMode();
  WindowStoreOutput output(*this, dc);
  // A day that was not stored is a write the user asked for that did not happen.
  if (storeDailyFile(entryText, output) != StoreResult::Stored) ReportWriteFailure();
  dc.SetBkMode(previousMode);
}

}  // namespace dbprogram
