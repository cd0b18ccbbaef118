// The chart window's shell: construction, menu commands, keys, clicks and the paint dispatch.
#include "viewer/tchart.h"

#include <cmath>

#include "viewer/chart_pointer.h"
#include "viewer/entry_keypad.h"
#include "viewer/panes/oscillator_panes.h"

namespace viewer {

TChart::TChart() : pointer(std::make_unique<ChartPointer>()) { loadSharedFiles(); }

TChart::~TChart() { priceFile.close(); }

bool TChart::isChartMode(int mode) {
  switch (mode) {
    case 3: case 4: case 5: case 7: case 77: case 8: case 9:
      return true;
    default:
      return false;
  }
}

void TChart::SetupWindow() {
  TWindow::SetupWindow();
  SetBkgndColor(RGB(background[0], background[1], background[2]));
  // The constructor ran before the window could show anything: its reports are shown now.
  for (const auto& [text, caption] : startupMessages) MessageBox(text, caption, MB_OK);
  startupMessages.clear();
}

// ---- Menu commands ------------------------------------------------------------------------

bool TChart::EvCommand(int id) {
  switch (id) {
    case IdMado: MADO(); return true;
    case IdRikutu3: RIKUTU3(); return true;
    case IdRikutu4: RIKUTU4(); return true;
    case IdRikutu5: RIKUTU5(); return true;
    case IdSign: SIGN(); return true;
    case IdSigns: SIGNS(); return true;
    case IdSyuasi: SYUASI(); return true;
    case IdHiasi: HIASI(); return true;
    case IdHikaku: HIKAKU(); return true;
    case IdMeicode: MEICODE(); return true;
    case IdMeimenu: MEIMENU(); return true;
    case IdUe: UE(); return true;
    case IdSita: SITA(); return true;
    case IdHidari: HIDARI(); return true;
    case IdMigi: MIGI(); return true;
    case IdSykyo: SYKYO(); return true;
    default: return TWindow::EvCommand(id);
  }
}

void TChart::MADO() { viewMode = 2; Invalidate(); }

void TChart::showView(int mode) {
  // While the menu is up, the selection holds its category; the view is of the stock that is
  // in memory (the one shown last, index 0 before any), as if the menu had not been opened.
  if (menuShown == 1 && table && currentStock >= 0 && currentStock < stockCount)
    selectCode(table->kcodeidx[static_cast<std::size_t>(currentStock)]);
  viewMode = mode;
  Invalidate();
}
void TChart::RIKUTU3() { showView(3); }
void TChart::RIKUTU4() { showView(4); }
void TChart::RIKUTU5() { showView(5); }
void TChart::SIGN() { showView(7); }
void TChart::SIGNS() { showView(77); }
void TChart::SYUASI() { showView(8); }
void TChart::HIASI() { showView(9); }
void TChart::HIKAKU() {
  viewMode = 6;
  entryState = -1;
  baseDateNotice.clear();
  Invalidate();
}
void TChart::MEICODE() { viewMode = 11; entryState = -1; Invalidate(); }
void TChart::MEIMENU() { viewMode = 12; Invalidate(); }
void TChart::UE() { viewMode = 13; Invalidate(); }
void TChart::SITA() { viewMode = 14; Invalidate(); }
void TChart::HIDARI() { viewMode = 15; arrowPressed = 1; Invalidate(); }
void TChart::MIGI() { viewMode = 16; arrowPressed = 1; Invalidate(); }
void TChart::SYKYO() {}  // reserved: no action, no repaint

// ---- Keys ---------------------------------------------------------------------------------

namespace {

// Keypad cell of a key in an entry mode, or -1.
int keypadCellOfKey(unsigned key) {
  if (key >= '0' && key <= '9') return PadDigit[key - '0'];
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return PadDigit[key - VK_NUMPAD0];
  if (key == VK_HOME) return PadClear;
  if (key == VK_RETURN) return PadEnter;
  return -1;
}

}  // namespace

void TChart::EvKeyDown(unsigned key, unsigned repeatCount, unsigned flags) {
  TWindow::EvKeyDown(key, repeatCount, flags);
  if (pointerKey(key, flags)) return;

  // 1. Function and arrow keys choose a mode.
  switch (key) {
    case VK_F1: MADO(); break;
    case VK_F2: HIKAKU(); break;
    case VK_F3: RIKUTU3(); break;
    case VK_F4: RIKUTU4(); break;
    case VK_F5: RIKUTU5(); break;
    case VK_F6: SIGN(); break;
    case VK_F7: SIGNS(); break;
    case VK_F8: SYUASI(); break;
    case VK_F9: HIASI(); break;
    case VK_F11: MEICODE(); break;
    case VK_F12: MEIMENU(); break;
    case VK_UP: UE(); break;
    case VK_DOWN: SITA(); break;
    case VK_LEFT: HIDARI(); break;
    case VK_RIGHT: MIGI(); break;
    default: break;
  }

  const bool entryMode = viewMode == 6 || viewMode == 11;

  // 2. Enter outside an entry opens the stock menu (through the code keypad).
  if (key == VK_RETURN && !entryMode) {
    viewMode = 11;
    entryState = -2;
    Invalidate();
  }

  // 3. Insert and Delete act on the stock a chart screen shows; elsewhere there is none.
  if ((key == VK_INSERT || key == VK_DELETE) && isChartMode(viewMode)) {
    keypadCommand = key == VK_INSERT ? PadInsert : PadDelete;
    Invalidate();
  }

  // 4. A digit (or Home) typed on another screen starts a code entry with that key.
  const int cell = keypadCellOfKey(key);
  if (cell >= 0 && viewMode != 6 && viewMode != 11) {
    viewMode = 11;
    entryState = 0;
  }

  // 5. In an entry mode the key is a keypad command.
  if (cell >= 0 && (viewMode == 6 || viewMode == 11)) {
    keypadCommand = cell;
    Invalidate();
  }

  // 6. The letters of a wide database's codes, on its code keypad only.
  if (const int letterCell = cellOfLetter(key);
      letterCell >= 0 && wideDatabase && viewMode == 11) {
    keypadCommand = letterCell;
    Invalidate();
  }

  // 7. A page of a wide database's menu longer than the screen.
  if ((key == VK_PRIOR || key == VK_NEXT) && wideDatabase &&
      (viewMode == 12 || viewMode == 13 || viewMode == 14))
    scrollMenu(key == VK_PRIOR ? -MenuScreenRows : MenuScreenRows);
}

// ---- Mouse --------------------------------------------------------------------------------

void TChart::EvLButtonDown(unsigned modKeys, const TPoint& point) {
  TWindow::EvLButtonDown(modKeys, point);
  const TRect client = GetClientRect();
  const double width = client.Width();
  const double height = client.Height();
  clickPoint = TPoint{0, 0};
  clickPending = false;

  if (viewMode == 12 || viewMode == 13 || viewMode == 14) {
    clickPoint = point;
    viewMode = 98;
    Invalidate();
  }
  if ((viewMode == 11 || viewMode == 6) && width > 0 && height > 0) {
    clickPoint = point;
    keypadCommand = static_cast<int>(std::trunc(point.y / (height / 12.0))) * 16 +
                    static_cast<int>(std::trunc(point.x / (width / 16.0)));
    Invalidate();
  }
}

void TChart::EvLButtonDblClk(unsigned modKeys, const TPoint& point) {
  TWindow::EvLButtonDblClk(modKeys, point);
  clickPoint = TPoint{0, 0};
  clickPending = false;
  if (isChartMode(viewMode)) {
    clickPoint = point;
    clickPending = true;
    pointerDoubleClick(point);
    Invalidate();
  }
}

void TChart::EvSize(unsigned sizeType, const TSize& size) {
  TWindow::EvSize(sizeType, size);
  Invalidate();
}

// ---- Paint --------------------------------------------------------------------------------

void TChart::fillBackground(TDC& dc) {
  dc.FillRect(TRect{0, 0, 640, 480}, TBrush(RGB(background[0], background[1], background[2])));
}

void TChart::drawNotice(TDC& dc) {
  if (notice.empty()) return;
  const COLORREF back = RGB(background[0], background[1], background[2]);
  const bool chartScreen = isChartMode(viewMode);
  const int x = chartScreen ? 184 : 0;
  const int y = chartScreen ? 0 : 464;
  // The figures' strip (up to the list buttons) or the foot row is cleared first, so that no
  // half-covered figure or menu cell stays beside the line.
  dc.FillRect(chartScreen ? TRect{184, 0, 508, 16} : TRect{0, 464, 640, 480}, TBrush(back));
  dc.SelectObject(chartTextFont());
  dc.SetTextColor(RGB(255, 0, 0));
  dc.TextOut(x, y, notice);
  notice.clear();
}

void TChart::Paint(TDC& dc, bool erase, TRect& rect) {
  TWindow::Paint(dc, erase, rect);
  paintOnce(dc);
  SetCursor(Cursor::Arrow);
  if (std::string title = viewTitle(*this); title != pointer->title) {
    pointer->title = title;
    SetTitleDetail(title);
  }
}

void TChart::paintOnce(TDC& dc) {
  const TRect client = GetClientRect();
  clientPixels = TSize{client.Width(), client.Height()};

  dc.SetMapMode(MM_ANISOTROPIC);
  dc.SetWindowExt(TSize{640, 480});
  dc.SetViewportExt(clientPixels);
  dc.SetViewportOrg(TPoint{0, 0});

  fillBackground(dc);
  dc.SetBkMode(TRANSPARENT);
  dc.SelectObject(chartTextFont());
  SetCursor(Cursor::Wait);

  if (firstPaint == 0) {
    firstPaint = 1;
    viewMode = 12;  // the program opens on the stock menu
  }

  // 1. Price table.
  if ((viewMode == 15 || viewMode == 16) && arraysReady) priceTable(dc);

  // 2. Information screen and export.
  if (viewMode == 2) informationScreen(dc);

  // 3. Menu bookkeeping and stepping.
  if (viewMode == 12) menuBookkeeping();
  if (viewMode == 13) stepSelection(-1);
  if (viewMode == 14) stepSelection(+1);

  // 4. The stock menu.
  if (viewMode == 12 || viewMode == 13 || viewMode == 14) drawMenu(dc);

  // 5. A click on the menu.
  if (viewMode == 98) menuClick();

  // 6. Top-row buttons, Insert, Delete.
  if (isChartMode(viewMode)) topRowButtons();

  // 7. Comparison base-date keypad; Enter turns it into the comparison chart of the same paint.
  if (viewMode == 6) baseDateKeypad(dc);

  // 8. Comparison chart.
  if (viewMode == 97) f6(dc);

  // 9. The code keypad; it may end the paint (Enter from another screen opens the menu).
  if (viewMode == 11 && !codeKeypad(dc)) return;

  // 10. Chart screen: load the stock, then the figures, the pane and the long-term chart.
  if (isChartMode(viewMode) && arraysReady) {
    dc.SelectObject(chartTextFont());
    if (loadStock(dc)) chartScreen(dc);
  }

  // 11. A notice of this paint's work (the watch list, a code not found).
  drawNotice(dc);
}

}  // namespace viewer
