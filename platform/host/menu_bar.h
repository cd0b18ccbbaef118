// The one-level menu bar the interactive host draws above the client area. Items are laid out
// left to right and wrap onto further rows when the window is too narrow, as a native menu bar
// does.
#pragma once

#include <vector>

#include "platform/gdi/raster_device.h"
#include "platform/window/resources.h"

struct MenuBarItem {
  int id = 0;
  TRect rect;  // device pixels within the bar
};

constexpr int MenuBarRowHeight = 20;

std::vector<MenuBarItem> layoutMenuBar(const Menu& menu, int windowWidth);
int menuBarHeight(const Menu& menu, int windowWidth);
// The command id under (x, y) of the bar, or 0.
int menuBarHit(const Menu& menu, int windowWidth, int x, int y);
// Draws the bar into a raster device of windowWidth x menuBarHeight pixels.
void drawMenuBar(const Menu& menu, RasterDevice& device);
