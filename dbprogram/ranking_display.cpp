// The ranking display: reading a ranking file, sorting by a column, paging 28 rows at a time.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "dbprogram/analysis.h"
#include "dbprogram/analysis_numbers.h"
#include "dbprogram/entry_line.h"
#include "marketdb/bytes.h"
#include "marketdb/exchange_text.h"
#include "dbprogram/uchart.h"
#include "platform/text/cp932.h"

namespace dbprogram {
namespace {

using pelinor::text::format;

constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Green = RGB(0, 255, 0);
constexpr COLORREF Cyan = RGB(0, 255, 255);
constexpr COLORREF Magenta = RGB(255, 0, 255);
constexpr COLORREF Black = RGB(0, 0, 0);

// x of each digit key on the column-name line.
constexpr int DigitX[10] = {72, 176, 224, 272, 320, 368, 416, 464, 512, 560};

// Takes one line (through its line feed) and, when the next line is empty, that one too.
std::string takeBlock(const std::string& text, std::size_t& pos) {
  const std::size_t start = pos;
  auto lineEnd = [&](std::size_t from) {
    const std::size_t lf = text.find('\n', from);
    return lf == std::string::npos ? text.size() : lf + 1;
  };
  pos = lineEnd(pos);
  const std::size_t next = lineEnd(pos);
  if (pos < text.size()) {
    const std::string line = text.substr(pos, next - pos);
    if (line.find_first_not_of("\r\n") == std::string::npos) pos = next;
  }
  return text.substr(start, pos - start);
}

}  // namespace

int rankingValueFromFile(float value) { return truncToInt(static_cast<double>(value) * 10.001); }

bool parseRankingLine(const std::string& line, RankingRow& row,
                      const marketdb::DatabaseLayout& layout) {
  int rank = 0;
  int reverseRank = 0;
  char code[16] = {};
  char name[7] = {};
  int close = 0;
  float v[8] = {};
  if (std::sscanf(line.c_str(), "%d %d %15s %6s %d %f %f %f %f %f %f %f %f", &rank, &reverseRank,
                  code, name, &close, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                  &v[7]) != 13)
    return false;
  // A code column that is no code cannot be ordered or shown: the row is passed over.
  const marketdb::StockCode stockCode = marketdb::readExchangeCode(layout, code);
  if (stockCode == marketdb::NoStockCode) return false;
  row = RankingRow{};
  row.code = stockCode;
  std::memcpy(row.name, name, sizeof row.name);
  row.close = close;
  row.riseRate = rankingValueFromFile(v[0]);
  row.volumeChange = rankingValueFromFile(v[1]);
  row.rci3 = rankingValueFromFile(v[2]);
  row.deviation2 = rankingValueFromFile(v[3]);
  row.sign = truncToInt(static_cast<double>(v[4]) * 1.0);
  row.rebound = rankingValueFromFile(v[5]);
  row.range = rankingValueFromFile(v[6]);
  row.sinceDate = rankingValueFromFile(v[7]);
  return true;
}

RankingFileContents parseRankingFile(const std::string& text,
                                     const marketdb::DatabaseLayout& layout) {
  RankingFileContents contents;
  const int rowLimit = marketdb::rankingRowLimit(layout);
  std::size_t pos = 0;
  contents.title = takeBlock(text, pos);
  contents.header = pos < text.size() ? takeBlock(text, pos) : std::string();
  while (pos < text.size()) {
    std::size_t lf = text.find('\n', pos);
    if (lf == std::string::npos) lf = text.size();
    const std::string line = text.substr(pos, lf - pos);
    pos = lf + 1;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    RankingRow row;
    if (!parseRankingLine(line, row, layout)) {
      ++contents.skippedLines;
      continue;
    }
    if (static_cast<int>(contents.rows.size()) == rowLimit) {
      ++contents.droppedRows;
      continue;
    }
    contents.rows.push_back(row);
  }
  return contents;
}

void sortRankingRows(RankingRow* rows, int count, int digit) {
  if (digit <= 0) {
    std::stable_sort(rows, rows + count,
                     [](const RankingRow& a, const RankingRow& b) { return fnc1(a, b) < 0; });
    return;
  }
  const int ss = digit + 1;  // 終値 is word 2, the metrics words 3..10
  std::stable_sort(rows, rows + count,
                   [ss](const RankingRow& a, const RankingRow& b) { return fnc2(a, b, ss) < 0; });
}

namespace {

// Reads the group's file into the rows; false (reported, window closing) when it is missing.
bool readRankingFile(UCHART& w, TDC& dc) {
  selectScreenFont(dc);
  w.marketGroup = w.screenMode == 40 ? 2 : 1;
  w.layout = &marketdb::openLayout();
  drawText(dc, 0, 16, White,
           groupLabel(w.marketGroup) + SJ("読み込み処理中(^^;"));
  const char* fileName = rankingFileName(w.marketGroup);
  std::string bytes;
  if (!marketdb::opened(marketdb::readWholeFile(fileName, bytes, false))) {
    w.MessageBox(marketdb::missingFileMessage(fileName), marketdb::fileCaption(), MB_OK);
    w.CloseWindow(0);
    return false;
  }
  RankingFileContents contents = parseRankingFile(bytes, *w.layout);
  w.titleText = std::move(contents.title);
  w.headerText = std::move(contents.header);
  w.rowCount = static_cast<int>(contents.rows.size());
  w.rowsLeftOut = contents.skippedLines + contents.droppedRows;
  w.rows = std::move(contents.rows);
  w.rows.push_back(RankingRow{});  // the end marker
  w.rows.back().code = marketdb::StockCodeEnd;
  sortRankingRows(w.rows.data(), w.rowCount, 0);
  w.sortDigit = 0;
  w.displayReload = 0;
  w.command = CmdFirst;
  return true;
}

}  // namespace

void UCHART::rankingDisplay(TDC& dc) {
  if (displayReload && !readRankingFile(*this, dc)) return;
  if (command == CmdFileOutput) {
    // The command runs once: a repaint after it writes nothing again.
    analysisFileOutput(dc);
    command = CmdFileOutputDone;
    return;
  }
  if (command == CmdFileOutputDone) return;
  if (isDigitCommand(command)) {
    const int digit = digitOfCommand(command);
    sortRankingRows(rows.data(), rowCount, digit);
    sortDigit = digit;
  }
  lastPaging = command;
  bunhyoji(dc);
}

void UCHART::bunhyoji(TDC& dc) {
  // The previous drawing left topRow one page past its top row.
  switch (lastPaging) {
    case CmdDown: topRow -= 27; break;
    case CmdUp: topRow -= 29; break;
    case CmdRight: break;
    case CmdLeft: topRow -= 56; break;
    case CmdFirst: topRow = 0; break;
    case CmdLast: topRow = rowCount; break;
    default:
      if (isDigitCommand(lastPaging)) topRow = 0;
      break;
  }
  if (topRow > rowCount - 28) topRow = rowCount - 28;
  if (topRow < 0) topRow = 0;
  reverseCounter = rowCount - topRow;

  rankingPageShown = true;
  selectScreenFont(dc);
  // The title without its line feeds.
  const std::string title = titleText.substr(0, titleText.find_first_of("\r\n"));
  drawText(dc, 16, 0, White, title);
  dc.SelectObject(TPen(Black));
  dc.SelectObject(TBrush(Black));
  dc.Rectangle(0, 0, 96, 16);
  drawText(dc, 0, 0, Green, SJ("［ペリノＣ++］Ｗin"));

  dc.Rectangle(0, 15, 303, 32);
  static const struct {
    int x;
    const char* name;
  } columns[] = {{0, "順位"},   {40, "逆位"},  {80, "ｺｰﾄﾞ"},  {120, "銘柄名"}, {184, "終値"},
                 {232, "上率"}, {280, "出変"}, {328, "RCI3"}, {376, "ｶｲﾘ2"},   {424, "sｻｲﾝ"},
                 {472, "戻率"}, {520, "ﾚﾝｼﾞ"}, {568, "指定"}};
  for (const auto& c : columns) drawText(dc, c.x, 16, White, pelinor::text::toCp932(c.name));
  for (int d = 0; d < 10; ++d) drawText(dc, DigitX[d], 16, Cyan, std::string(1, char('0' + d)));
  if (sortDigit >= 0 && sortDigit <= 9)
    drawText(dc, DigitX[sortDigit], 16, Magenta, std::string(1, char('0' + sortDigit)));

  for (int r = 0; r < 28 && topRow + r < rowCount; ++r) {
    const RankingRow& row = rows[topRow + r];
    const int y = 32 + 16 * r;
    char name[7] = {};
    std::memcpy(name, row.name, 6);
    drawText(dc, 0, y, White, format("%4d", topRow + r + 1));
    drawText(dc, 40, y, White, format("%4d", reverseCounter - r));
    drawText(dc, 80, y, White, marketdb::exchangeCodeText(*layout, row.code));
    drawText(dc, 120, y, White, format("%6s", name));
    drawText(dc, 180, y, White, format("%5d", row.close));
    drawText(dc, 220, y, White, format("%6.1f", row.riseRate / 10.0));
    drawText(dc, 268, y, White, format("%6.1f", row.volumeChange / 10.0));
    drawText(dc, 316, y, White, format("%6.1f", row.rci3 / 10.0));
    drawText(dc, 364, y, White, format("%6.1f", row.deviation2 / 10.0));
    drawText(dc, 412, y, White, format("%7d", row.sign));
    drawText(dc, 460, y, White, format("%6.1f", row.rebound / 10.0));
    drawText(dc, 508, y, White, format("%6.1f", row.range / 10.0));
    drawText(dc, 556, y, White, format("%6.1f", row.sinceDate / 10.0));
  }
  pageTop = topRow;
  topRow += 28;
  reverseCounter -= 28;
}

}  // namespace dbprogram
