// The stock menu: its bookkeeping, the ↑/↓ stepping, the drawing and the click on it.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/text/cp932.h"
#include "viewer/tchart.h"

namespace viewer {

namespace {

using marketdb::WatchListEnd;
using marketdb::ChartLinkCount;
using marketdb::ChartLinkFirst;

constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Yellow = RGB(255, 255, 0);
constexpr COLORREF Magenta = RGB(255, 0, 255);
constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF Cyan = RGB(0, 255, 255);
constexpr COLORREF Green = RGB(0, 255, 0);

// Cells of the menu below its header: 29 rows of 8. A classic page is drawn whole; a wide
// database's page with more stocks scrolls through MenuScreenRows rows at a time.
constexpr int MenuCells = 29 * 8;
bool menuScrolls(bool wide, int listed) { return wide && listed > MenuCells; }

// Name colour by the newest day's change in percent.
COLORREF changeColour(int percent) {
  if (percent >= 8) return Red;
  if (percent >= 4) return Magenta;
  if (percent <= -8) return Cyan;
  if (percent <= -4) return Green;
  return White;
}

}  // namespace

// The first six bytes of a name, without cutting a double-byte character in half.
std::string_view shortName(const char* name) {
  std::string_view s(name, strnlen(name, 14));
  std::size_t end = 0;
  while (end < s.size()) {
    std::size_t next = end + static_cast<std::size_t>(pelinor::text::decodeAt(s, end).bytes);
    if (next > 6) break;
    end = next;
  }
  return s.substr(0, end);
}

void TChart::menuBookkeeping() {
  selectCategory(menuCategory);
  menuShown = 1;
}

int TChart::linkListLength() const {
  if (!table) return 0;
  int n = 0;
  while (n < ChartLinkCount && findCode(codes[ChartLinkFirst + n]) >= 0) ++n;
  return n;
}

void TChart::stepSelection(int direction) {
  if (menuShown == 1) {
    int category = static_cast<int>(menuCategory);
    if (direction < 0)
      category = category <= 10 ? 31 : category - 1;
    else
      category = category >= 31 ? 10 : category + 1;
    selectCategory(category);
    return;
  }
  if (!table) return;

  // A code of the index or of the chart-link list (a number there; one that is no code
  // selects nothing, and the chart screen shows no stock).
  auto choose = [this](marketdb::StockCode code) {
    selectCode(code);
    viewMode = 9;
  };
  if (stepReference < 0 || stepReference >= std::max(stockCount, 1)) stepReference = 0;
  const auto atIndexEnd = [this, direction] {
    return direction < 0 ? listPosition <= 0 : listPosition >= stockCount - 1;
  };

  // At an end of the index the same stock again, in every category: this rule comes before
  // the walk through the chart-link list.
  if (atIndexEnd()) {
    choose(codeOf(stepReference));
    return;
  }

  if (menuCategory == 31) {
    // The chart-link list, stopping at its ends (its end is the first code not in the index).
    int length = linkListLength();
    int last = std::max(length - 1, 0);
    if (direction < 0) {
      if (linkPosition > last) linkPosition = last + 1;
      if (linkPosition > 0) --linkPosition;
    } else {
      if (linkPosition < last) ++linkPosition;
      else linkPosition = last;
    }
    choose(codes[ChartLinkFirst + linkPosition]);
    return;
  }

  const int section = table->ksijo[stepReference];
  // Every round moves listPosition one step towards an end of the table, so the walk ends
  // after at most stockCount rounds; the bound on the rounds only guards a damaged position.
  for (int round = 0; round <= stockCount + 1; ++round) {
    if (atIndexEnd()) break;
    listPosition += direction;
    if (menuCategory == 30 && table->ksakujo[listPosition] == 1) {
      choose(codeOf(listPosition));
      return;
    }
    if (menuCategory < 30 && table->ksijo[listPosition] == section) {
      choose(codeOf(listPosition));
      return;
    }
  }
  // At an end of the table (or of the list): the same stock again.
  choose(codeOf(stepReference));
}

int TChart::listedStocks(int category, int* out, int capacity) const {
  if (!table) return 0;
  int n = 0;
  auto add = [&](int index) {
    if (n < capacity) out[n++] = index;
  };
  if (category == 30) {
    for (int i = std::max(pageStart[0], 0); i < stockCount; ++i)
      if (table->ksakujo[i] == 1) add(i);
  } else if (category == 31) {
    for (int p = 0; p < ChartLinkCount; ++p) {
      int index = findCode(codes[ChartLinkFirst + p]);
      if (index < 0) break;
      add(index);
    }
  } else if (category >= 10 && category <= 29) {
    const int page = category < 20 ? category - 10 : category - 20;
    const int first = std::max(pageStart[page], 0);
    const int end = std::min(pageStart[page + 1], stockCount);
    for (int i = first; i < end; ++i) {
      const bool partOne = table->ksijo[i] < 3;
      if (category < 20 ? partOne : !partOne) add(i);
    }
  }
  return n;
}

void TChart::markWatchList() {
  std::fill(table->ksakujo.begin(), table->ksakujo.end(), 0);
  codes[WatchListEnd] = marketdb::NoStockCode;
  for (int p = 0; p <= WatchListEnd; ++p) {
    int index = findCode(codes[p]);
    if (index < 0) break;
    table->ksakujo[index] = 1;
  }
}

bool TChart::rereadSettings() {
  if (marketdb::readSettingsFile(settingsImage, 12) == marketdb::FileStatus::Missing) {
    MessageBox(marketdb::missingFileMessage(marketdb::SettingsFileName), marketdb::fileCaption(),
               MB_OK);
    CloseWindow();
    return false;
  }
  // The colour numbers are refreshed, their components stay as converted at start.
  applySettings(settingsImage);
  return true;
}

void TChart::drawMenu(TDC& dc) {
  if (!(selection.category > 9 && selection.category < 32)) return;
  menuCategory = selection.category;

  // Header: the categories, the current one again in magenta.
  dc.SetTextColor(White);
  for (int c = 10; c <= 29; ++c) dc.TextOut((c - 10) * 28, 0, pelinor::text::format("%2d", c));
  dc.TextOut(560, 0, SJ("注目"));
  dc.TextOut(600, 0, SJ("連動"));
  dc.SetTextColor(Magenta);
  if (menuCategory == 30)
    dc.TextOut(560, 0, SJ("注目"));
  else if (menuCategory == 31)
    dc.TextOut(600, 0, SJ("連動"));
  else
    dc.TextOut(menuCategory * 28 - 280, 0, pelinor::text::format("%2d", menuCategory));

  if (!table) return;
  if (menuCategory == 30 || menuCategory == 31) {
    if (!rereadSettings()) return;
    if (menuCategory == 30) markWatchList();
  }

  std::vector<int> listed(table->kcodeidx.size());
  const int n = listedStocks(menuCategory, listed.data(), static_cast<int>(listed.size()));
  if (menuRowsCategory != menuCategory) {
    menuRowsCategory = menuCategory;
    menuFirstRow = 0;
  }
  int first = 0;
  int end = n;
  if (menuScrolls(wideDatabase, n)) {
    const int rows = (n + 7) / 8;
    menuFirstRow = std::clamp(menuFirstRow, 0, std::max(rows - MenuScreenRows, 0));
    first = menuFirstRow * 8;
    end = std::min(n, first + MenuScreenRows * 8);
    dc.SetTextColor(White);
    dc.TextOut(0, 464, pelinor::text::format(SJ("%d-%d／%d銘柄　PageUp・PageDownで移動").c_str(),
                                             first + 1, end, n));
  } else {
    menuFirstRow = 0;
  }
  int x = 0;
  int y = 16;
  for (int k = first; k < end; ++k) {
    const int i = listed[k];
    dc.SetTextColor(Yellow);
    dc.TextOut(x, y, marketdb::codeText(table->kcodeidx[static_cast<std::size_t>(i)]));
    dc.SetTextColor(changeColour(table->kchumoku[i]));
    dc.TextOut(x + 32, y, shortName(table->kmeiidx[i]));
    if (x == 560) {
      x = 0;
      y += 16;
    } else {
      x += 80;
    }
  }

  // The watch and link pages looked codes up; the next chart screen reads its stock again.
  if (menuCategory == 30 || menuCategory == 31) lookupFailed = true;
}

void TChart::scrollMenu(int rows) {
  // drawMenu keeps the first row inside the page.
  menuFirstRow = std::max(menuFirstRow + rows, 0);
  viewMode = 12;
  requestRepaint();
}

void TChart::menuClick() {
  const double width = clientPixels.cx;
  const double height = clientPixels.cy;
  const double rowHeight = height * 16.0 / 480.0;
  const double x = clickPoint.x;
  const double y = clickPoint.y;
  if (width <= 0 || height <= 0) {
    viewMode = 12;
    return;
  }

  if (y > rowHeight) {
    // A cell of the list: 8 per row below the header.
    const long row = static_cast<long>(std::trunc((y - rowHeight) / rowHeight));
    long cell = row * 8 + static_cast<long>(std::trunc(x / (width / 8.0)));
    std::vector<int> listed(table->kcodeidx.size());
    const int n = listedStocks(menuCategory, listed.data(), static_cast<int>(listed.size()));
    if (menuScrolls(wideDatabase, n)) {
      if (row >= MenuScreenRows) {  // the foot line of a scrolling page chooses nothing
        viewMode = 12;
        requestRepaint();
        return;
      }
      cell += std::int64_t{menuFirstRow} * 8;
    }
    if (cell >= 0 && cell < n) {
      selectCode(table->kcodeidx[static_cast<std::size_t>(listed[static_cast<std::size_t>(cell)])]);
      if (menuCategory == 31) linkPosition = static_cast<int>(cell);
    } else {
      selectCode(marketdb::NoStockCode);  // below the last listed stock: an empty chart screen
    }
    viewMode = 9;
    return;
  }

  // The header: categories 10..29 are 28 units wide; right of them 注目 and 連動, split at 600.
  const double headerWidth = width - width * 80.0 / 640.0;
  int category = static_cast<int>(std::trunc(x / (headerWidth / 20.0))) + 10;
  if (category > 29) category = x - (headerWidth + width * 40.0 / 640.0) > 0 ? 31 : 30;
  if (category < 10) category = 10;
  menuCategory = category;
  viewMode = 12;
  requestRepaint();
}

}  // namespace viewer
