// Monochrome glyphs of the Japanese gothic, rendered once per size and kept for reuse.
// Private to the raster device: no FreeType type appears here.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace pelinor::gdi {

// Ink of one character placed in its cell: `ink` holds width x height bytes row by row,
// 1 where the glyph is drawn; (left, top) is the offset of the bitmap from the cell's top left
// corner in device pixels (either may be negative; the caller clips to the cell).
struct CellGlyph {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> ink;
};

// The glyph of code point cp for a font whose full-width cell is emWidth x cellHeight device
// pixels, emboldened when bold. Returns null when no font file is available or the size is
// not positive. Safe to call from any thread.
std::shared_ptr<const CellGlyph> glyphForCell(char32_t cp, int emWidth, int cellHeight, bool bold);

}  // namespace pelinor::gdi
