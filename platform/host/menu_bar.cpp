#include "platform/host/menu_bar.h"

#include "platform/text/cp932.h"

namespace {

constexpr int CharWidth = 7;   // pixels per half-width character of the bar's font
constexpr int ItemPadding = 7;  // pixels left and right of an item's text
constexpr int TextTop = 2;
constexpr COLORREF BarColour = RGB(212, 208, 200);
constexpr COLORREF TextColour = RGB(0, 0, 0);
constexpr COLORREF LineColour = RGB(128, 128, 128);

}  // namespace

std::vector<MenuBarItem> layoutMenuBar(const Menu& menu, int windowWidth) {
  std::vector<MenuBarItem> items;
  int x = 0;
  int row = 0;
  for (const MenuItem& item : menu.items) {
    const int w = pelinor::text::cellCount(item.text) * CharWidth + 2 * ItemPadding;
    if (x > 0 && x + w > windowWidth) {
      x = 0;
      ++row;
    }
    MenuBarItem placed;
    placed.id = item.id;
    placed.rect = {x, row * MenuBarRowHeight, x + w, (row + 1) * MenuBarRowHeight};
    items.push_back(placed);
    x += w;
  }
  return items;
}

int menuBarHeight(const Menu& menu, int windowWidth) {
  if (menu.items.empty()) return 0;
  return layoutMenuBar(menu, windowWidth).back().rect.bottom;
}

int menuBarHit(const Menu& menu, int windowWidth, int x, int y) {
  for (const MenuBarItem& item : layoutMenuBar(menu, windowWidth)) {
    if (x >= item.rect.left && x < item.rect.right && y >= item.rect.top &&
        y < item.rect.bottom) {
      return item.id;
    }
  }
  return 0;
}

void drawMenuBar(const Menu& menu, RasterDevice& device) {
  TDC dc(device);
  device.clear(BarColour);
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(TextColour);
  dc.SelectObject(TFont(SJ("MSｺﾞｼｯｸ"), 16, CharWidth));
  const std::vector<MenuBarItem> items = layoutMenuBar(menu, device.width());
  for (std::size_t i = 0; i < items.size(); ++i) {
    dc.TextOut(items[i].rect.left + ItemPadding, items[i].rect.top + TextTop,
               menu.items[i].text);
  }
  dc.SelectObject(TPen(LineColour));
  const int bottom = device.height() - 1;
  dc.MoveTo(0, bottom);
  dc.LineTo(device.width(), bottom);
}
