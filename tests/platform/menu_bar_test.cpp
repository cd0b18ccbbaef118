// The menu bar of the interactive host: layout, wrapping on narrow windows, hit testing and
// drawing.
#include <gtest/gtest.h>

#include "platform/host/menu_bar.h"
#include "platform/text/cp932.h"
#include "resources/pelinorx_resources.h"

namespace {

const Menu& dbMenu() { return pelinorxResources().menus.at(100); }

int rowsOf(const std::vector<MenuBarItem>& items) {
  return items.empty() ? 0 : items.back().rect.bottom / MenuBarRowHeight;
}

TEST(MenuBar, ItemsKeepTheBarOrderAndWrapWithinTheWidth) {
  for (int width : {2000, 640, 300, 120}) {
    SCOPED_TRACE(width);
    const std::vector<MenuBarItem> items = layoutMenuBar(dbMenu(), width);
    ASSERT_EQ(items.size(), dbMenu().items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(items[i].id, dbMenu().items[i].id);
      const TRect& r = items[i].rect;
      EXPECT_EQ(r.Height(), MenuBarRowHeight);
      EXPECT_EQ(r.top % MenuBarRowHeight, 0);
      // An item starting a row may be wider than the window; any other fits.
      if (r.left > 0) {
        EXPECT_LE(r.right, width);
      }
      if (i > 0) {
        const TRect& p = items[i - 1].rect;
        if (p.top == r.top) {
          EXPECT_EQ(r.left, p.right);  // side by side, no overlap
        } else {
          EXPECT_EQ(r.top, p.top + MenuBarRowHeight);
          EXPECT_EQ(r.left, 0);
          EXPECT_GT(p.right + r.Width(), width);  // wrapped only because it did not fit
        }
      }
    }
    EXPECT_EQ(menuBarHeight(dbMenu(), width), rowsOf(items) * MenuBarRowHeight);
  }
  EXPECT_EQ(rowsOf(layoutMenuBar(dbMenu(), 2000)), 1);
  EXPECT_LT(rowsOf(layoutMenuBar(dbMenu(), 640)), rowsOf(layoutMenuBar(dbMenu(), 300)));
  EXPECT_EQ(menuBarHeight(Menu{}, 640), 0);
}

TEST(MenuBar, AClickFindsTheItemUnderIt) {
  const int width = 300;
  for (const MenuBarItem& item : layoutMenuBar(dbMenu(), width)) {
    EXPECT_EQ(menuBarHit(dbMenu(), width, item.rect.left, item.rect.top), item.id);
    EXPECT_EQ(menuBarHit(dbMenu(), width, item.rect.right - 1, item.rect.bottom - 1), item.id);
  }
  const int height = menuBarHeight(dbMenu(), width);
  EXPECT_EQ(menuBarHit(dbMenu(), width, 5, height), 0);  // below the bar
  EXPECT_EQ(menuBarHit(dbMenu(), width, -1, 5), 0);
  // Right of the last item of the last row.
  const MenuBarItem last = layoutMenuBar(dbMenu(), width).back();
  EXPECT_EQ(menuBarHit(dbMenu(), width, last.rect.right + 1, last.rect.top + 2), 0);
}

TEST(MenuBar, DrawsEachTextInsideItsItem) {
  const int width = 640;
  const int height = menuBarHeight(dbMenu(), width);
  RasterDevice bar(width, height);
  drawMenuBar(dbMenu(), bar);
  const COLORREF background = bar.pixelAt(width - 1, 0);
  for (const MenuBarItem& item : layoutMenuBar(dbMenu(), width)) {
    int ink = 0;
    for (int y = item.rect.top; y < item.rect.bottom - 1; ++y)
      for (int x = item.rect.left; x < item.rect.right; ++x)
        if (bar.pixelAt(x, y) == RGB(0, 0, 0)) ++ink;
    EXPECT_GT(ink, 10) << "item " << item.id;
  }
  EXPECT_NE(background, RGB(0, 0, 0));
}

}  // namespace
