// The file output of the ranking display: the ranking file rewritten in the order on screen and
// the codes of the page on screen stored as the chart-link list of pelinoru.win.
#include <algorithm>
#include <string>
#include <vector>

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
  // Only a page on screen is stored: after a key that blanked the ranking, the rows held are
  // not what the user sees.
  if (!rankingPageWasShown) {
    Bell();
    drawText(dc, 0, 464, RGB(255, 0, 0),
             SJ("ﾗﾝｷﾝｸﾞのﾍﾟｰｼﾞが表示されていないので記憶しません。ﾍﾟｰｼﾞを表示してからもう一度"));
    return;
  }
  drawText(dc, 456, 0, RGB(255, 0, 0), SJ("ﾁｬｰﾄ連動ｺｰﾄﾞ記憶処理中(^^;"));

  // The ranking file and the chart-link codes are one change: both are written or neither.
  marketdb::DatabaseChange change;
  if (!change.lock()) {
    ReportWriteFailure();
    MessageBox(change.message(), SJ("ﾌｧｲﾙ使用状況"), MB_OK);
    return;
  }

  const char* fileName = rankingFileName(marketGroup);
  const int count = std::clamp(rowCount, 0, static_cast<int>(rows.size()));
  std::vector<marketdb::TextFileChange> texts;
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
  } else {
    texts.push_back({fileName, rankingFileText(titleText, headerText, rows.data(), count, *layout)});
  }

  // A missing pelinoru.win is reported; the file is then written from the values held here.
  if (marketdb::readSettingsFile(win, 12) == marketdb::FileStatus::Missing) {
    MessageBox(marketdb::missingFileMessage(marketdb::SettingsFileName), marketdb::fileCaption(),
               MB_OK);
    CloseWindow(0);
  }
  // With fewer rows than a page, the remaining positions are 0: the end of the list.
  int stored = 0;
  for (int i = 0; i < PageRows; ++i) {
    const int r = pageTop + i;
    win.codes[ChartLinkFirst + i] =
        r >= 0 && r < count ? rows[r].code : marketdb::NoStockCode;
    if (r >= 0 && r < count) ++stored;
  }
  texts.push_back({marketdb::SettingsFileName, marketdb::formatSettingsFile(win)});
  if (!change.replaceTexts(texts)) {
    ReportWriteFailure();
    if (change.failedFile() != nullptr && std::string(change.failedFile()) == fileName)
      MessageBox(std::string(fileName) + SJ(" が書き込みできません"), SJ("ﾌｧｲﾙｵｰﾌﾟﾝ状況"), MB_OK);
    else
      MessageBox(change.message(), marketdb::fileCaption(), MB_OK);
    CloseWindow(0);
    return;
  }

  // The red line of the work in progress gives way to the count stored.
  const int previousMode = dc.SetBkMode(OPAQUE);
  dc.SetBkColor(RGB(0, 0, 0));
  dc.FillRect(TRect{456, 0, 640, 16}, TBrush(RGB(0, 0, 0)));
  drawText(dc, 456, 0, RGB(255, 255, 255),
           pelinor::text::format(SJ("ﾁｬｰﾄ連動ｺｰﾄﾞ%2d件記憶済").c_str(), stored));
  dc.SetBkMode(previousMode);

  topRow = topRowRepeating(lastPaging, pageTop, topRow);
  reverseCounter = rowCount - topRow;
}

}  // namespace dbprogram
