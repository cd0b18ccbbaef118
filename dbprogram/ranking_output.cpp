// The file output of the ranking display: the ranking file rewritten in the order on screen and
// the codes of the page on screen stored as the chart-link list of pelinoru.win.
#include <algorithm>

#include "dbprogram/analysis.h"
#include "dbprogram/entry_line.h"
#include "dbprogram/uchart.h"
#include "marketdb/journal.h"
#include "platform/text/cp932.h"

namespace dbprogram {
namespace {

using marketdb::ChartLinkFirst;
constexpr int PageRows = marketdb::ChartLinkCount;  // the page on screen fills the list

// The top row index from which the last paging command, given again, draws the page at
// pageTop (the state a click leaves behind).
int topRowRepeating(int lastPaging, int pageTop, int topRow) {
  switch (lastPaging) {
    case CmdDown: return pageTop + 27;
    case CmdUp: return pageTop + 29;
    case CmdLeft: return pageTop + 56;
    case CmdRight: return pageTop;
    default: return topRow;  // 最初, 最後 and the sorts place the page themselves
  }
}

}  // namespace

void UCHART::analysisFileOutput(TDC& dc) {
  selectScreenFont(dc);
  drawText(dc, 456, 0, RGB(255, 0, 0), SJ("ﾁｬｰﾄ連動ｺｰﾄﾞ記憶処理中(^^;"));

  // The chart-link codes are a read-modify-write of pelinoru.win: under the writer lock.
  marketdb::DatabaseChange change;
  if (!change.lock()) {
    MessageBox(change.message(), SJ("ﾌｧｲﾙ使用状況"), MB_OK);
    return;
  }

  const char* fileName = rankingFileName(marketGroup);
  const int count = std::clamp(rowCount, 0, MaxGroupStocks);
  if (rowsLeftOut > 0) {
    // The rows on screen are not the whole file: it is kept, the chart-link codes still stored.
    Bell();
    const int previousMode = dc.SetBkMode(OPAQUE);
    dc.SetBkColor(RGB(0, 0, 0));
    drawText(dc, 0, 464, RGB(255, 0, 0),
             pelinor::text::format(
                 SJ("%sの%d行が表にないため、ファイルは書き換えませんでした").c_str(), fileName,
                 rowsLeftOut));
    dc.SetBkMode(previousMode);
  } else if (!marketdb::replaceFileAtomically(
                 fileName, rankingFileText(titleText, headerText, rows, count))) {
    ReportWriteFailure();
    MessageBox(std::string(fileName) + SJ(" が書き込みできません"), SJ("ﾌｧｲﾙｵｰﾌﾟﾝ状況"), MB_OK);
    CloseWindow(0);
    return;
  }

  // A missing pelinoru.win is reported; the file is then written from the values held here.
  if (marketdb::readSettingsFile(win, 12) == marketdb::FileStatus::Missing) {
    MessageBox(marketdb::missingFileMessage(marketdb::SettingsFileName), marketdb::fileCaption(),
               MB_OK);
    CloseWindow(0);
  }
  // With fewer rows than a page, the remaining positions are 0: the end of the list.
  for (int i = 0; i < PageRows; ++i) {
    const int r = pageTop + i;
    win.codes[ChartLinkFirst + i] = r >= 0 && r < count ? rows[r].code : 0.0f;
  }
  if (!change.replaceTexts({{marketdb::SettingsFileName, marketdb::formatSettingsFile(win)}})) {
    ReportWriteFailure();
    MessageBox(change.message(), marketdb::fileCaption(), MB_OK);
    CloseWindow(0);
    return;
  }

  topRow = topRowRepeating(lastPaging, pageTop, topRow);
  reverseCounter = rowCount - topRow;
}

}  // namespace dbprogram
