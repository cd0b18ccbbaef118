// Shared pieces of the oscillator panes (views 4 and 5) and of the sign view (views 7 and 77):
// the working memory of their lines, the pane geometry and scales, and the drawing steps.
#pragma once

#include "platform/gdi/tdc.h"
#include "viewer/indicators/oscillators.h"
#include "viewer/indicators/rci.h"
#include "viewer/indicators/sign_total.h"

namespace viewer {

class TChart;

// Lines of one paint, kept with the window so that a paint allocates nothing.
struct OscillatorWork {
  indicators::OscillatorLine line[4];
  indicators::RciWork rciWork;
  int averages[RingDays] = {};   // the 2nd average per walk day, for the peak marks
  int y[RingDays] = {};          // screen y per walk day of the line being drawn
};

// The upper area of height H (setting 35): grid rows of r = (H + 2) / 20 units, line 0 at the
// bottom (y = H + 20), line 20 at the top. Points are drawn strictly between y 15 and H + 23.
struct PaneGeometry {
  int h = 0;
  float r = 0.0f;
  explicit PaneGeometry(int upperHeight)
      : h(upperHeight), r(static_cast<float>(upperHeight + 2) / 20.0f) {}
  float base() const { return static_cast<float>(h + 20); }
  int gridY(int j) const { return indicators::truncToInt(base() - r * static_cast<float>(j)); }
  // Values around the middle line, 10 % per grid row.
  int percentY(float v) const {
    return indicators::truncToInt(base() - 10.0f * r - v * r / 10.0f);
  }
  // RCI: -100 at line 0, +100 at line 10.
  int rciY(float v) const { return indicators::truncToInt(base() - 5.0f * r - v * r / 20.0f); }
  // Ratios from the bottom, 20 per grid row.
  int ratioY(float v) const { return indicators::truncToInt(base() - v * r / 20.0f); }
  bool inside(int y) const { return y > 15 && y < h + 23; }
};

enum class Scale { Percent, Rci, Ratio };

// The font of the panes' labels.
TFont paneFont();
// The loaded columns of the displayed stock as indicator input.
indicators::RingColumns ringColumns(const TChart& chart);
bool haveRing(const TChart& chart);

// Pane parts.
void drawPaneGrid(TChart& chart, TDC& dc, const PaneGeometry& g);
// Dotted month lines from y `top` to H + 23 at every change of month.
void drawMonthLines(TChart& chart, TDC& dc, int top, int bottom);
// Screen y of every walk day with an entry (0 where none).
void lineYs(const indicators::OscillatorLine& line, const PaneGeometry& g, Scale scale,
            int* ys);
// Segments of a line between days with entries, inside the pane.
void drawOscillator(TDC& dc, const indicators::OscillatorLine& line, const int* ys,
                    const PaneGeometry& g, COLORREF colour);
// The first steps of both panes: their font, indicator1..4 zeroed, the grid and the month lines.
void beginOscillatorPane(TChart& chart, TDC& dc, const PaneGeometry& g);
// One line of a pane: its series stored by ring slot (when `series` is given), its y per walk
// day in `work.y` on the scale, and its segments in the colour.
void plotOscillator(TDC& dc, const indicators::OscillatorLine& line, int oldest, int* series,
                    const PaneGeometry& g, Scale scale, OscillatorWork& work, COLORREF colour);
// The value column at x 0 and the second column at x 32 (`second` gives the value of row j,
// or false where the row has none).
template <typename Second>
void drawAxisLabels(TDC& dc, const PaneGeometry& g, Second second);
void drawAxisLabelRow(TDC& dc, const PaneGeometry& g, int j, int x, int value);

// Sign rows: ticks of one row (its y per walk day on the scale, as the pane would draw it), the
// total added with the row's weight; advances the row top.
void signRow(TChart& chart, TDC& dc, const indicators::OscillatorLine& line, const PaneGeometry& g,
             Scale scale, int row);
// A dotted separator under a row in the half grid colour.
void signSeparator(TChart& chart, TDC& dc, int row);
// The total area at the end of pane 4: its grid, range, peak marks, line and labels.
void signTotalArea(TChart& chart, TDC& dc, const PaneGeometry& g);

template <typename Second>
void drawAxisLabels(TDC& dc, const PaneGeometry& g, Second second) {
  for (int j = 0; j <= 20; ++j) {
    drawAxisLabelRow(dc, g, j, 0, -100 + 10 * j);
    int value = 0;
    if (second(j, value)) drawAxisLabelRow(dc, g, j, 32, value);
  }
}

}  // namespace viewer
