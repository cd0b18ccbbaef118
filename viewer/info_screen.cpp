// The information screen (mode 2): the program's title, and the history of the stock in memory
// with every series the last chart computed for it, written to kabudata.txt at each paint once
// a stock has been shown.
#include <cstdio>
#include <string>

#include "marketdb/exchange_text.h"
#include "marketdb/layout.h"
#include "platform/text/cp932.h"
#include "viewer/tchart.h"

namespace viewer {
namespace {

constexpr const char* ExportFileName = "kabudata.txt";

int at(const std::unique_ptr<int[]>& series, int s) { return series ? series[s] : 0; }
double at(const std::unique_ptr<double[]>& series, int s) { return series ? series[s] : 0.0; }

}  // namespace

std::string TChart::priceHistoryText() const {
  // The stock in memory: index 0 before any chart. A table without stocks has no code or name.
  const bool known = table && currentStock >= 0 && currentStock < stockCount;
  const marketdb::StockCode code = known ? table->kcodeidx[currentStock] : marketdb::NoStockCode;
  const std::string name = known ? std::string(table->kmeiidx[currentStock]) : std::string();

  std::string out;
  out.reserve(marketdb::HistoryDays * 96);
  int s = oldestSlot(storePosition);
  for (int n = 0; n < marketdb::HistoryDays; ++n, s = marketdb::nextSlot(s)) {
    // One line per ring slot: date, code, name, prices, volume, the three averages with their
    // deviations, the four oscillators of the last pane and the sign total.
    out += pelinor::text::format(
        "%s %s %6s %5d %5d %5d %5d %5d %8.1f %5d %3d %5d %3d %5d %3d %3d %3d %3d %3d %5d\n",
        layout->formatDate(at(dates, s), ' ').c_str(),
        marketdb::exchangeCodeText(*layout, code).c_str(), name.c_str(), at(opens, s),
        at(highs, s), at(lows, s), at(closes, s), at(changes, s),
        at(exactVolumes, s), at(maValue1, s), at(maDeviation1, s),
        at(maValue2, s), at(maDeviation2, s), at(maValue3, s), at(maDeviation3, s),
        at(indicator1, s), at(indicator2, s), at(indicator3, s), at(indicator4, s),
        at(signTotal, s));
  }
  return out;
}

void TChart::informationScreen(TDC& dc) {
  dc.SelectObject(chartTextFont());
  dc.SetTextColor(RGB(0, 255, 0));
  dc.TextOut(16, 16, SJ("株価分析［ペリノＣ++］forWIN９５~(32bit版)Ver3.02"));
  dc.SetTextColor(RGB(255, 0, 0));
  if (!chartShown) {
    // Before any chart the columns hold no stock: the file would be 640 lines of zeros, so the
    // export the user may have kept is left alone.
    dc.TextOut(16, 352, SJ("--銘柄が選ばれていないのでkabudata.txtは出力しません。"
                           "先に銘柄を選んでください--"));
    return;
  }
  dc.TextOut(16, 352, SJ("--表示銘柄の過去640日分株価ﾃﾞｰﾀﾃｷｽﾄ出力(kabudata.txt)--"));

  // The whole file is written to a temporary file in the same folder and renamed over the old
  // one, so a failed write leaves the previous export as it was, never half a file.
  if (!marketdb::replaceFileAtomically(ExportFileName, priceHistoryText())) {
    ReportWriteFailure();
    MessageBox(marketdb::unwritableFileMessage(ExportFileName), marketdb::fileCaption(), MB_OK);
    CloseWindow();
  }
}

}  // namespace viewer
