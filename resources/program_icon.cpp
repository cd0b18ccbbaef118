#include "resources/program_icon.h"

#include <cstdlib>

namespace {

constexpr int Side = 32;
constexpr std::uint32_t Clear = 0x00000000;
constexpr std::uint32_t Backdrop = 0xFF1A2333;
constexpr std::uint32_t Rim = 0xFF3A4A66;
constexpr std::uint32_t Rising = 0xFFE8453C;
constexpr std::uint32_t Falling = 0xFF3CA8E8;

struct Candle {
  int left;        // body columns left .. left + 4
  int wickTop;     // wick rows wickTop .. wickBottom (inclusive)
  int bodyTop;     // body rows bodyTop .. bodyBottom (inclusive)
  int bodyBottom;
  int wickBottom;
  std::uint32_t colour;
};

// A square with corners rounded off by a radius of 4 pixels.
bool insideRoundedSquare(int x, int y) {
  constexpr int r = 4;
  int cx = x < r ? r : (x >= Side - r ? Side - r - 1 : x);
  int cy = y < r ? r : (y >= Side - r ? Side - r - 1 : y);
  int dx = x - cx;
  int dy = y - cy;
  return dx * dx + dy * dy <= r * r;
}

}  // namespace

Icon programIcon() {
  Icon icon;
  icon.width = Side;
  icon.height = Side;
  icon.rgba.assign(Side * Side, Clear);
  auto at = [&icon](int x, int y) -> std::uint32_t& { return icon.rgba[y * Side + x]; };

  for (int y = 0; y < Side; ++y) {
    for (int x = 0; x < Side; ++x) {
      if (!insideRoundedSquare(x, y)) continue;
      bool edge = !insideRoundedSquare(x - 1, y) || !insideRoundedSquare(x + 1, y) ||
                  !insideRoundedSquare(x, y - 1) || !insideRoundedSquare(x, y + 1);
      at(x, y) = edge ? Rim : Backdrop;
    }
  }

  static const Candle candles[] = {
      {3, 16, 19, 25, 28, Rising},
      {10, 11, 13, 20, 23, Falling},
      {17, 8, 10, 17, 20, Rising},
      {24, 3, 5, 12, 15, Rising},
  };
  for (const Candle& c : candles) {
    for (int y = c.wickTop; y <= c.wickBottom; ++y) at(c.left + 2, y) = c.colour;
    for (int y = c.bodyTop; y <= c.bodyBottom; ++y)
      for (int x = c.left; x < c.left + 5; ++x) at(x, y) = c.colour;
  }
  return icon;
}
