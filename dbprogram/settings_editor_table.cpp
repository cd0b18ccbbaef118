#include "dbprogram/settings_editor_table.h"

#include <string>
#include <vector>

#include "dbprogram/entry_line.h"
#include "marketdb/settings.h"
#include "platform/text/cp932.h"

namespace dbprogram {
namespace {

using pelinor::text::format;

// Labels converted to CP932 once, in the order of marketdb::settingItems().
const std::vector<std::string>& itemLabels() {
  static const std::vector<std::string> labels = [] {
    std::vector<std::string> out;
    for (const marketdb::SettingItem& item : marketdb::settingItems())
      out.push_back(pelinor::text::toCp932(item.label));
    return out;
  }();
  return labels;
}

COLORREF paletteColour(int number) {
  int red = 0, green = 0, blue = 0;
  marketdb::setpal(number, red, green, blue);
  return RGB(red, green, blue);
}

// Draws one item: its label and its value, each where the item's group places them.
void drawItem(TDC& dc, const UCHART& w, const marketdb::SettingItem& item,
              const std::string& label) {
  const int n = item.number;
  const int value = marketdb::settingValue(w.sys, w.win, n);
  if (n >= 1 && n <= 19) {
    const int* rgb = w.colourRgb[n - 1];
    drawText(dc, 0, 16 * n, ColourBody, label);
    drawText(dc, 152, 16 * n, RGB(rgb[0], rgb[1], rgb[2]), format("%2d", value));
  } else if (n >= 20 && n <= 35) {
    const int y = 16 * (n - 19);
    drawText(dc, 200, y, ColourBody, label);
    drawText(dc, 310, y, ColourBody, format("%3d", value));
  } else if (n >= 41 && n <= 43) {
    static constexpr COLORREF valueColour[3] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
    const int y = 288 + 16 * (n - 41);
    drawText(dc, 200, y, ColourBody, label);
    drawText(dc, 376, y, valueColour[n - 41], format("%3d", value));
  } else if (n >= 50 && n <= 60) {
    const int y = 16 * (n - 49);
    drawText(dc, 358, y, ColourBody, label);
    drawText(dc, 468, y, ColourBody, format("%3d", value));
  }
}

// The 16 colour numbers, each drawn in its own colour over the swatch.
void drawLegend(TDC& dc) {
  for (int number = 0; number < 16; ++number) {
    int x, y;
    if (number < 8) {
      x = 372 + 16 * number;
      y = 352;
    } else if (number < 10) {
      x = 372 + 16 * (number - 8);
      y = 384;
    } else {
      x = 400 + 16 * (number - 10);
      y = 384;
    }
    drawText(dc, x, y, paletteColour(number), format("%d", number));
  }
}

}  // namespace

void refreshColourComponents(UCHART& w) {
  for (int i = 0; i < 19; ++i) {
    int number = w.win.colours[i];
    marketdb::setpal(number, w.colourRgb[i][0], w.colourRgb[i][1], w.colourRgb[i][2]);
  }
}

void drawSettingsTable(TDC& dc, const UCHART& w) {
  drawText(dc, 0, 0, ColourTitle, SJ("［ペリノＣ++］設定値"));

  const auto& items = marketdb::settingItems();
  const auto& labels = itemLabels();
  for (std::size_t i = 0; i < items.size(); ++i) drawItem(dc, w, items[i], labels[i]);

  const int* bg = w.win.background;
  dc.FillRect(TRect{356, 336, 516, 414}, TBrush(RGB(bg[0], bg[1], bg[2])));
  drawLegend(dc);

  drawText(dc, 0, 336, ColourList, SJ("全てを既定値に設定する.....77T77E"));
  drawText(dc, 0, 352, ColourList, SJ("設定を変更する.............項目番号T値E"));
  drawText(dc, 0, 368, ColourList, SJ("設定を終了する.............99T99E"));
  drawText(dc, 0, 384, ColourEcho, SJ("処理入力(2ﾂﾉｽｳｼﾞｦTﾃﾞｸｷﾞﾙE)→"));
  echoEntry(dc, w, SettingsEchoX, SettingsEchoY);
}

}  // namespace dbprogram
