// The chart viewer's client window. A menu command, key or click only stores a view mode (and
// sometimes a keypad command or a click position) and invalidates; Paint dispatches on the view
// mode and does the work: reading files, computing, drawing, writing the watch list.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "marketdb/files.h"
#include "marketdb/layout.h"
#include "platform/window/window.h"
#include "viewer/chart_screen_state.h"
#include "viewer/indicators/sign_total.h"
#include "viewer/panes/daily_chart.h"

namespace viewer {

struct OscillatorWork;  // lines of the oscillator panes (viewer/panes/oscillator_panes.h)
struct ChartPointer;    // crosshair, readout, scroll and help (viewer/chart_pointer.h)

// Menu ids of resource 100.
enum : int {
  IdMado = 1,
  IdRikutu3 = 2,
  IdRikutu4 = 3,
  IdRikutu5 = 4,
  IdSign = 6,
  IdSyuasi = 7,
  IdHiasi = 8,
  IdUe = 10,
  IdSita = 11,
  IdHidari = 12,
  IdMigi = 13,
  IdSykyo = 14,
  IdSigns = 16,
  IdHikaku = 101,
  IdMeimenu = 102,
  IdMeicode = 103,
};

// Keypad cells (row * 16 + column of a 16 x 12 grid) and key commands.
enum : int {
  PadClear = 71,
  PadEnter = 72,
  PadInsert = 998,
  PadDelete = 999,
  PadHandled = 1000,
};
// Rows of menu cells a screen shows while a wide database's page scrolls; the foot row below
// them says which stocks of the page are shown.
inline constexpr int MenuScreenRows = 28;
// Keypad cell of each digit 0..9.
inline constexpr int PadDigit[10] = {70, 54, 55, 56, 38, 39, 40, 22, 23, 24};

// A colour setting: its number and the components setpal made of it.
struct ColourSetting {
  int number = 0;
  int red = 0;
  int green = 0;
  int blue = 0;
};

// The colour of a setting, at full and at half intensity.
inline COLORREF fullColour(const ColourSetting& c) { return RGB(c.red, c.green, c.blue); }
inline COLORREF halfColour(const ColourSetting& c) { return halfColour(c.red, c.green, c.blue); }

class TChart : public TWindow {
 public:
  TChart();  // reads the shared files and allocates the arrays of one stock's history
  ~TChart() override;

  // Messages.
  void SetupWindow() override;
  void Paint(TDC& dc, bool erase, TRect& rect) override;
  void EvKeyDown(unsigned key, unsigned repeatCount, unsigned flags) override;
  void EvLButtonDown(unsigned modKeys, const TPoint& point) override;
  void EvLButtonDblClk(unsigned modKeys, const TPoint& point) override;
  void EvSize(unsigned sizeType, const TSize& size) override;
  bool EvCommand(int id) override;
  // The mouse over the charts and the help overlay (viewer/chart_pointer.cpp).
  void EvMouseMove(unsigned modKeys, const TPoint& point) override;
  void EvMouseWheel(unsigned modKeys, int notches, const TPoint& point) override;
  void EvLButtonUp(unsigned modKeys, const TPoint& point) override;
  void EvMouseLeave() override;
  void PaintOverlay(TDC& dc) override;
  bool pointerKey(unsigned key, unsigned flags);  // help, End, Shift+arrows; true: key used
  void pointerDoubleClick(const TPoint& point);   // a day chosen on the long-term chart
  void keepScrollForStock();                      // the scroll by date for the stock loaded
  std::unique_ptr<ChartPointer> pointer;

  // Menu command handlers.
  void MADO();
  // Every view of a chart screen: after the stock menu the view is of the stock in memory.
  void showView(int mode);
  void RIKUTU3();
  void RIKUTU4();
  void RIKUTU5();
  void SIGN();
  void SIGNS();
  void SYUASI();
  void HIASI();
  void HIKAKU();
  void MEICODE();
  void MEIMENU();
  void UE();
  void SITA();
  void HIDARI();
  void MIGI();
  void SYKYO();

  // Pane methods of the chart screen's upper area.
  void f3(TDC& dc);
  void f3LongTerm(TDC& dc);  // its part on the long-term chart
  void f4(TDC& dc);
  void f5(TDC& dc);
  void f6(TDC& dc);
  void f8(TDC& dc);
  void f9(TDC& dc);
  void signView(TDC& dc);  // modes 7 and 77

  // Chart screen parts. The chart-screen block of Paint loads the stock (drawing the top row
  // once the lookup succeeded), then calls chartScreen: the newest day's figures, the pane of
  // the mode and the long-term chart.
  void chartScreen(TDC& dc);
  void drawTopRow(TDC& dc);      // code, name, market, the two list buttons
  void drawTopFigures(TDC& dc);  // figures of the newest day
  void longTermChart(TDC& dc);
  void priceTable(TDC& dc);      // modes 15 and 16

  // Start-up loading (the constructor) and the stock load of the chart screens.
  void loadSharedFiles();
  void allocateArrays();
  void computeCodePages();
  void convertColours();
  void applySettings(const marketdb::SettingsFile& win);  // colour numbers, line 4, code lists
  bool loadStock(TDC& dc);  // false: the requested code is not in the index
  void readRing();
  // What a read says when it waits for a change of the database to end.
  static std::function<void(const std::string&)> waitNotice();
  void correctPriceScale();
  void computeExtremes();
  void addRecentCode(marketdb::StockCode code);
  // The code of table index `index`; the table index of a code (-1: none).
  marketdb::StockCode codeOf(int index) const;
  int findCode(marketdb::StockCode code) const { return table->findStock(code); }
  void clearDerivedSeries();  // the eleven series computed from the ring, all 0

  // Stock selection: the menu, stepping, the top-row buttons and the code keypad.
  void menuBookkeeping();             // mode 12
  void stepSelection(int direction);  // modes 13 (-1) and 14 (+1)
  void drawMenu(TDC& dc);             // modes 12, 13, 14
  void menuClick();                   // mode 98
  void topRowButtons();               // chart modes: double-click in the top row, Insert, Delete
  bool codeKeypad(TDC& dc);           // mode 11; false ends the paint
  bool rereadSettings();              // pelinoru.win again; false (and a close) when missing
  void markWatchList();               // ksakujo marks from the watch list
  int linkListLength() const;         // chart-link codes up to the first one not in the index
  // Stocks the menu lists for a category, in menu order: table indexes into `out`; returns the
  // count (at most `capacity`).
  int listedStocks(int category, int* out, int capacity) const;
  bool writeWatchList(int command);  // 8 register, 9 delete; false when the file failed

  // The comparison: the base-date keypad (mode 6, may set mode 97); the chart is f6 (mode 97).
  void baseDateKeypad(TDC& dc);
  void refuseBaseDate(double typed);  // a date that is none, or after the newest stored day
  // Reads the history of table index `index` into the columns as the chart load does (price-unit
  // correction and extremes included) and makes it the stock in memory.
  void readStockIntoColumns(int index);

  // The information screen (mode 2) and the export of the stock in memory to kabudata.txt.
  void informationScreen(TDC& dc);
  std::string priceHistoryText() const;  // the whole file, oldest day first

  // Paint helpers.
  void paintOnce(TDC& dc);  // steps of one paint: mapping, background, the mode blocks
  void fillBackground(TDC& dc);
  // The pending notice in red, once: over the newest day's figures on a chart screen, at the
  // foot of other screens.
  void drawNotice(TDC& dc);
  void requestRepaint() { Invalidate(); }  // the next paint follows this one at once
  static bool isChartMode(int mode);

  // State machine (view modes and input).
  int viewMode = 9;
  TPoint clickPoint{};
  int entryState = 0;
  int keypadCommand = 0;
  int arrowPressed = 0;
  int lastPaneMode = 9;
  int firstPaint = 0;
  int menuShown = 1;

  // Selection: what the user chose last, a menu category (10..31) or a stock code, never both.
  struct Selection {
    int category = 0;
    marketdb::StockCode code = marketdb::NoStockCode;
  };
  Selection selection;
  void selectCategory(int category) { selection = {category, marketdb::NoStockCode}; }
  void selectCode(marketdb::StockCode code) { selection = {0, code}; }
  int menuCategory = 10;
  // The first row of the menu's cells shown: a wide database's page may hold more stocks than
  // one screen, and PageUp, PageDown and the wheel move through it (always 0 on a classic one).
  int menuFirstRow = 0;
  int menuRowsCategory = 10;  // the category menuFirstRow belongs to
  void scrollMenu(int rows);  // by `rows` (negative: up), then the menu again
  int listPosition = 0;
  int stepReference = 0;
  int linkPosition = 0;
  char entryBuffer[10] = {};
  bool clickPending = false;  // a double-click in a chart screen waits for the top-row block

  // The kind of the folder's database: a wide one has codes with letters. Its layout, taken
  // once at the start, gives the dates their form without the folder being looked at again
  // for each date a screen draws.
  bool wideDatabase = false;
  const marketdb::DatabaseLayout* layout = &marketdb::ClassicLayout;

  // From pelinoru.sys.
  std::int32_t lastStoreDate = 0;  // yyyymmdd
  int storePosition = 0;
  int periods[16] = {};  // settings 20..35
  // From pelinoru.win.
  ColourSetting colours[19];  // settings 1..19
  int databaseKind = 0;
  int background[3] = {};  // settings 41..43
  int ratios[10] = {};     // settings 50..59
  int peakSign = 0;        // setting 60
  // 0..89 watch list, 90 its terminator, 92..119 chart-link list.
  marketdb::StockCode codes[120] = {};
  marketdb::SettingsFile settingsImage;  // pelinoru.win as read, for rewriting it

  // From pelinoru.idx.
  std::unique_ptr<marketdb::StockTable> table;
  int stockCount = 0;
  int pageBound[10] = {};
  int pageStart[11] = {};

  // The displayed stock.
  marketdb::PriceFile priceFile;
  int currentStock = 0;
  bool lookupFailed = true;  // the most recent code lookup found nothing
  bool reloadRing = true;
  int chartMax = 0;
  int chartMin = EmptyLow;
  float volumeMax = 0;
  marketdb::StockCode recentCodes[7] = {};  // the codes shown last, for the comparison
  int recentWrite = 0;
  std::int32_t baseDate = 0;  // the comparison's base date yyyymmdd, as typed
  bool chartShown = false;  // a chart (or the comparison) has put a stock into memory

  // Short lines for the user (CP932): `notice` is shown by the next paint only; the base-date
  // refusal stays on the keypad until the next key on it.
  std::string notice;
  std::string baseDateNotice;

  // The history ring of the displayed stock and its derived series (640 entries each).
  std::unique_ptr<std::int32_t[]> dates;  // yyyymmdd
  std::unique_ptr<int[]> opens, highs, lows, closes, changes;
  // The volumes as the indicators compute with them (single precision) and as the records
  // hold them, for the figures that print a volume.
  std::unique_ptr<float[]> volumes;
  std::unique_ptr<double[]> exactVolumes;
  std::unique_ptr<int[]> maValue1, maValue2, maValue3;
  std::unique_ptr<int[]> maDeviation1, maDeviation2, maDeviation3;
  std::unique_ptr<int[]> indicator1, indicator2, indicator3, indicator4;
  std::unique_ptr<int[]> signTotal;
  std::unique_ptr<int[]> weekly[6];  // 150 entries each
  std::unique_ptr<int[]> upperArea;  // setting 35 + 2 entries

  // Chart screen working values.
  ChartScreenState chart;

  // Oscillator panes and sign view. While signFlag is set (the sign view of modes 7 and 77),
  // f5 and f4 draw tick rows from signParameters instead of their lines; signRowTop moves one
  // unit down after each row.
  std::unique_ptr<OscillatorWork> oscillatorWork;  // allocated with the history arrays
  indicators::SignParameters signParameters = indicators::fixedSignParameters();
  int signFlag = 0;
  int signRowHeight = 0;
  int signRowTop = 20;
  OscillatorWork& oscillators();

  // The last drawn daily chart (f9): its price range and scales (used by f3 too) and the
  // newest values of its three averages (the weekly chart, f8, sets the first two).
  int dailyBase = 0;
  int dailyTop = 0;
  float dailyScale = 0;
  float volumeScale = 0;
  int currentAverages[3] = {};
  PaneArrays panes;  // working arrays of f9, f3 and f8

  // Start-up state.
  bool arraysReady = false;  // the per-stock arrays were allocated
  std::vector<std::pair<std::string, std::string>> startupMessages;  // text, caption (CP932)
  TSize clientPixels{};  // client size at the current paint

  // Settings 20..35 by number.
  int setting(int number) const { return periods[number - 20]; }
  const ColourSetting& colour(int number) const { return colours[number - 1]; }
};

// A stock name cut to at most its first six bytes, never inside a double-byte character.
std::string_view shortName(const char* name);

}  // namespace viewer
