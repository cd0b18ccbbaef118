// The re-store setup: moves the store state (lastStoreDate, storePosition) back to an earlier
// trading day, found in the ring of the reference record, so that the following days can be
// stored again. Only the system file changes; the ring keeps its days until stores overwrite them.
#include <memory>
#include <string>

#include "dbprogram/entry_line.h"
#include "dbprogram/uchart.h"
#include "marketdb/index_check.h"
#include "marketdb/journal.h"
#include "marketdb/layout.h"
#include "platform/text/cp932.h"

namespace dbprogram {
namespace {

using pelinor::text::format;

constexpr EntryRules RestoreEntry{.limit = 7};

// Closes the setup, shows the file message and asks the window to close.
void fileFailure(UCHART& w, const std::string& message) {
  w.entryScreen = 0;
  w.screenMode = 0;
  w.entryLength = 0;
  w.MessageBox(message, marketdb::fileCaption(), MB_OK);
  w.CloseWindow(0);
}

// The highest ring slot of the reference record that holds `date`, or -1. Slot dates of 0 are
// empty slots, never a stored day, so the date 0 is never found.
int findStoredDay(const marketdb::StockHistory& history, std::int32_t date) {
  if (date <= 0) return -1;
  int found = -1;
  for (int s = 0; s < marketdb::HistoryDays; ++s)
    if (history.day[s].date == date) found = s;
  return found;
}

}  // namespace

void UCHART::openRestorePrompt() {
  const marketdb::FileStatus status = marketdb::readSystemFile(sys);
  if (status != marketdb::FileStatus::Ok) {
    fileFailure(*this, marketdb::fileStatusMessage(status, marketdb::openLayout().systemFile));
    return;
  }
  entryScreen = CmdRestore;
}

void UCHART::restorePrompt(TDC& dc) {
  selectScreenFont(dc);
  drawText(dc, 0, 16, ColourTitle, SJ("［ペリノ改Ｃ++］格納やり直し設定"));
  drawText(dc, 0, 32, ColourBody, SJ("*格納をやり直す２つの原因*"));
  drawText(dc, 0, 48, ColourBody, SJ("1格納を忘れてた。"));
  drawText(dc, 0, 64, ColourBody,
           SJ(" 対処→忘れた前日まで日付を戻し正しい格納を最新日付まで繰り返す"));
  drawText(dc, 0, 80, ColourBody, SJ("2格納したデータの修正。"));
  drawText(dc, 0, 96, ColourBody,
           SJ(" 対処→修正日前日まで日付を戻し正しい１日分を格納後、最新前日日付に戻す"));
  drawText(dc, 0, 128, ColourError,
           format(SJ("前日日付%sに設定されてます(設定中止はﾒﾆｭｰﾊﾞｰへ戻る)").c_str(),
                  marketdb::openLayout().formatDate(sys.lastStoreDate).c_str()));
  drawText(dc, 0, 150, ColourBody, SJ("忘れた&修正の前日取引日日付(yymmddE)ﾒﾆｭｰﾊﾞｰより入力→"));

  switch (applyEntryKey(*this, RestoreEntry)) {
    case EntryResult::Cleared:
      dc.FillRect(TRect{368, 149, 640, 166}, TBrush(RGB(0, 0, 0)));
      break;
    case EntryResult::Confirmed: {
      entryLength = 0;
      float date = 0;
      for (char ch : entryText) date = date * 10 + static_cast<float>(ch - '0');
      targetDate = date;  // at most 7 digits: exact in a float
      screenMode = CmdRestore;
      break;
    }
    default:
      break;
  }
  echoEntry(dc, *this, 368, 150);
}

void UCHART::restoreSearch(TDC& dc) {
  entryScreen = 0;
  screenMode = 0;
  selectScreenFont(dc);
  const marketdb::DatabaseLayout& layout = marketdb::openLayout();
  const std::int32_t target = layout.readDate(targetDate);
  if (!marketdb::isCalendarDate(target)) {
    Bell();
    drawText(dc, 0, 182, ColourError,
             format(SJ("前日日付%06.0fは日付ではないので設定できません(yymmddで入力、例 261207)")
                        .c_str(),
                    static_cast<double>(targetDate)));
    return;
  }
  // The search and the new store state are one change under the writer lock.
  marketdb::DatabaseChange change;
  if (!change.lock()) {
    Bell();
    drawText(dc, 0, 182, ColourError, change.message());
    return;
  }
  const marketdb::IndexCheck index = marketdb::checkIndexFile();
  if (!index.ok) {
    Bell();
    drawText(dc, 0, 182, ColourError, index.message);
    return;
  }
  marketdb::PriceFile prices;
  if (!prices.openForReading()) {
    fileFailure(*this, marketdb::missingFileMessage(layout.priceFile));
    return;
  }
  auto history = std::make_unique<marketdb::StockHistory>();
  // A reference block beyond the end of the file (an empty database) holds no stored day.
  const bool haveBlock =
      sys.referenceRecord >= 0 && prices.readHistory(sys.referenceRecord, *history);
  prices.close();
  const int slot = haveBlock ? findStoredDay(*history, target) : -1;

  if (slot >= 0) {
    // pelinoru.sys as it stands now: only the store state is set back.
    marketdb::SystemFile updated = sys;
    const marketdb::FileStatus status = marketdb::readSystemFile(updated);
    if (status != marketdb::FileStatus::Ok) {
      fileFailure(*this, marketdb::fileStatusMessage(status, layout.systemFile));
      return;
    }
    updated.lastStoreDate = target;
    updated.storePosition = slot;
    if (!change.replaceTexts({{layout.systemFile, marketdb::formatSystemFile(updated)}})) {
      ReportWriteFailure();
      fileFailure(*this, change.message());
      return;
    }
    sys = updated;
    drawText(dc, 0, 182, ColourBody,
             format(SJ("前日日付%sに設定しました。").c_str(),
                    layout.formatDate(sys.lastStoreDate).c_str()));
  } else {
    Bell();
    drawText(dc, 0, 182, ColourError,
             SJ("前日日付が間違っています、格納やり直し設定はできませんでした。"));
  }
}

}  // namespace dbprogram
