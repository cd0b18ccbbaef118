// Monochrome glyphs of the Japanese gothic, rendered once per size and kept for reuse.
// Private to the raster device: no FreeType type appears here.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
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
  bool operator==(const CellGlyph&) const = default;
};

// The glyph of code point cp for a font whose full-width cell is emWidth x cellHeight device
// pixels, emboldened when bold. Returns null when no font file is available or the size is
// not positive. Safe to call from any thread.
std::shared_ptr<const CellGlyph> glyphForCell(char32_t cp, int emWidth, int cellHeight, bool bold);

// A glyph ready to be drawn: its ink as runs of set pixels [from, to) on a row, offsets from
// the bitmap's top left corner, which lies at (left, top) from the cell's top left corner; the
// bitmap is width x height pixels.
struct InkRun {
  int row = 0;
  int from = 0;
  int to = 0;
  bool operator==(const InkRun&) const = default;
};
struct ReadyGlyph {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::vector<InkRun> runs;
  bool operator==(const ReadyGlyph&) const = default;
};

ReadyGlyph readyGlyph(const CellGlyph& glyph);
// The bitmap of a ready glyph (the inverse of readyGlyph).
CellGlyph cellGlyph(const ReadyGlyph& glyph);

// The glyph rendered afresh, with no cache in memory or on disk: what every cached glyph must
// equal. Null as for glyphForCell.
std::shared_ptr<const CellGlyph> renderedGlyph(char32_t cp, int emWidth, int cellHeight, bool bold);

// Writes the glyphs rendered in this run that the glyph file in the user's cache folder did not
// hold yet; nothing when there are none or the cache is off. Called at the end of a program's
// run and again, for what came later, at its exit. Failures are silent: the cache is only a
// saving.
void saveGlyphCache();

// The ready glyphs of every size a raster device has drawn, each character made once. One
// device draws from one thread at a time, so the lookup takes no lock; only a character met
// for the first time goes to the shared renderer above.
class GlyphSets {
 public:
  // Never null; a glyph with no runs draws nothing.
  const ReadyGlyph* get(char32_t cp, int emWidth, int cellHeight, bool bold);

 private:
  struct Set {
    int emWidth = 0;
    int cellHeight = 0;
    bool bold = false;
    std::array<std::unique_ptr<ReadyGlyph>, 128> ascii;
    std::unordered_map<char32_t, ReadyGlyph> others;  // nodes stay where they are
    std::size_t count = 0;
  };
  Set& set(int emWidth, int cellHeight, bool bold);
  std::vector<std::unique_ptr<Set>> sets_;
  Set* last_ = nullptr;
};

}  // namespace pelinor::gdi
