// Resources of a program: menus, accelerator tables and icons by id.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct MenuItem {
  int id = 0;
  std::string text;  // CP932
};

struct Menu {
  std::vector<MenuItem> items;  // one level, in bar order
};

struct Accelerator {
  unsigned key = 0;  // virtual key
  bool ctrl = false;
  bool shift = false;
  int command = 0;
};

struct AcceleratorTable {
  std::vector<Accelerator> entries;
};

struct Icon {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> rgba;  // row by row, 0xAARRGGBB
};

struct ResourceSet {
  std::map<int, Menu> menus;
  std::map<int, AcceleratorTable> accelerators;
  std::map<int, Icon> icons;
};
