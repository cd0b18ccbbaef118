// Reading a chart with the mouse: the crosshair and its readout box, scrolling the daily and
// equilibrium charts back through the ring, and the key help overlay. None of it changes what a
// chart screen draws until the pointer is over it, the wheel turns or help is asked for.
#pragma once

#include <string>

#include "platform/gdi/tdc.h"
#include "viewer/chart_screen_state.h"

namespace viewer {

class TChart;

// One line of a pane as the readout lists it: a value per column where the line has one.
struct ReadoutLine {
  std::string label;  // CP932
  COLORREF colour = 0;
  int decimals = 0;
  bool has[RingDays] = {};
  float value[RingDays] = {};
};

// What a pane shows per column: column c lies at logical x = x0 + dx * c.
struct ReadoutPane {
  static constexpr int MaxLines = 8;
  bool active = false;
  int top = 0;     // logical y band the pane covers, [top, bottom)
  int bottom = 0;
  int x0 = 0;
  int dx = 1;
  int count = 0;
  // The day of each column (a ring slot; for the weekly chart the week's own figures).
  std::int32_t date[RingDays] = {};  // yyyymmdd
  int open[RingDays] = {};
  int high[RingDays] = {};
  int low[RingDays] = {};
  int close[RingDays] = {};
  float volume[RingDays] = {};
  int lineCount = 0;
  ReadoutLine lines[MaxLines];
  // Price at a logical y, where the pane has a price axis: price = base + (zeroY - y) / scale.
  bool priced = false;
  float priceBase = 0;
  float priceZeroY = 0;
  float priceScale = 0;

  void clear() {
    active = false;
    count = 0;
    lineCount = 0;
    priced = false;
  }
  // The column under logical x, or -1.
  int columnAt(int x) const;
  ReadoutLine* addLine(std::string label, COLORREF colour, int decimals);
};

struct ChartPointer {
  bool inside = false;      // the pointer is over the client area
  TPoint pixel{};           // its client pixel
  bool dragging = false;
  int dragStartX = 0;       // logical x where the drag took the chart
  int dragStartScroll = 0;
  bool help = false;        // the key help overlay is shown
  int scroll = 0;           // days the daily charts are moved back from the newest day
  std::int32_t anchorDate = 0;  // newest shown date while scrolled, to keep it for another stock
  int anchorStock = -1;     // table index the scroll was set on
  ReadoutPane upper;        // the pane of the view
  ReadoutPane lower;        // the long-term chart
  std::string title;        // the title detail last given to the host
};

// Days one wheel notch and one Shift+arrow move the daily charts.
constexpr int WheelDays = 5;
constexpr int ShiftArrowDays = 21;
// The farthest back the daily charts go: their oldest shown day is the ring's oldest.
int maxScroll();
// Whether the view scrolls: the daily chart (9) and the equilibrium chart (3). The oscillator,
// sign and weekly views already draw every stored day.
bool scrollingView(int viewMode);

// While alive, the ring of the chart looks as if its newest day were `scroll` days older: the
// newer days are taken out (empty, as days before the oldest are) and put back afterwards. Every
// windowed indicator then has exactly the values of the unscrolled ring for the shown days. Only
// the daily and equilibrium charts draw under it; neither stores series by ring slot, and the
// long-term chart (which does) draws after the ring is whole again.
class ShownRange {
 public:
  ShownRange(TChart& chart, int scroll);
  ~ShownRange();
  ShownRange(const ShownRange&) = delete;
  ShownRange& operator=(const ShownRange&) = delete;

 private:
  TChart& c_;
  int scroll_ = 0;
  float longPriceScale_ = 0;
  std::int32_t dates_[RingDays] = {};
  int opens_[RingDays] = {}, highs_[RingDays] = {}, lows_[RingDays] = {};
  int closes_[RingDays] = {}, changes_[RingDays] = {};
  float volumes_[RingDays] = {};
  double exactVolumes_[RingDays] = {};
};

// Fills the readout of the view's pane (after the pane drew, while its range is shown) and of
// the long-term chart (after it drew).
void readUpperPane(TChart& chart);
void readLowerPane(TChart& chart);
// The comparison chart: its pane, then one line per compared stock while its days are loaded
// (`base` its base close; none when 0 or less).
void beginComparisonReadout(TChart& chart);
void readComparedStock(TChart& chart, marketdb::StockCode code, int base, COLORREF colour);
// The long-term chart's mark of the days the daily chart shows while scrolled.
void markShownRange(TChart& chart, TDC& dc);

// The crosshair, the readout box and the price at the horizontal line; the help overlay.
void drawPointerOverlay(TChart& chart, TDC& dc);

// The key help overlay of the screen shown.
void drawKeyHelp(TChart& chart, TDC& dc);

// The name of a view for the title bar (CP932, "" for none).
std::string viewTitle(int viewMode);
// The title detail of the screen shown: the view's name, and on the chart screens and the price
// table the code and name of the stock they show.
std::string viewTitle(const TChart& chart);

}  // namespace viewer
