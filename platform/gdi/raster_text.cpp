// Text on the raster device: each character fills its own cell, mapped from logical units.
#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/gdi/glyph_cache.h"
#include "platform/gdi/int_range.h"
#include "platform/gdi/raster_device.h"
#include "platform/text/cp932.h"

namespace {

using pelinor::gdi::clampToInt;

// Device pixels [left, right) x [top, bottom) of one character cell.
struct Cell {
  int left, top, right, bottom;
};

}  // namespace

void RasterDevice::text(const TDC& dc, int x, int y, std::string_view cp932, COLORREF color) {
  const TFont& font = dc.GetFont();
  const long long unit = font.width;  // logical width of a half-width character
  const int top = dc.LPtoDPy(y);
  const int bottom = dc.LPtoDPy(clampToInt(static_cast<long long>(y) + font.height));
  if (width_ <= 0 || height_ <= 0 || bottom <= top || top >= height_ || bottom <= 0) return;
  const int cellHeight = bottom - top;

  // Glyph size: the device width of a full-width character at this scale, the same for every
  // character of the string (measured over 100 of them, so that the floor of the mapping does
  // not make neighbouring glyphs differ in size).
  const long long span = 200 * unit;
  const double measured =
      (static_cast<double>(dc.LPtoDPx(clampToInt(x + span))) - dc.LPtoDPx(x)) / 100.0;
  const int emWidth = static_cast<int>(std::lround(std::abs(measured)));
  const bool bold = font.weight >= FW_BOLD;
  const std::uint32_t ink = word(color);
  if (!glyphs_) glyphs_ = std::make_unique<pelinor::gdi::GlyphSets>();

  long long units = 0;  // half-width cells before the current character
  for (std::size_t pos = 0; pos < cp932.size();) {
    pelinor::text::Cp932Char ch = pelinor::text::decodeAt(cp932, pos);
    pos += static_cast<std::size_t>(ch.bytes);
    const int span2 = ch.fullWidth ? 2 : 1;
    Cell cell{dc.LPtoDPx(clampToInt(x + units * unit)), top,
              dc.LPtoDPx(clampToInt(x + (units + span2) * unit)), bottom};
    units += span2;
    if (cell.left > cell.right) std::swap(cell.left, cell.right);
    if (cell.right <= 0) continue;
    if (cell.left >= width_) {
      if (unit > 0 && measured > 0) break;  // every later cell lies further right
      continue;
    }
    if (cell.left == cell.right) continue;
    const int cl = std::max(cell.left, 0), cr = std::min(cell.right, width_);
    const int ct = std::max(cell.top, 0), cb = std::min(cell.bottom, height_);

    if (!ch.valid) {
      // A replacement: the outline of a box inset from the cell's edges.
      const int insetX = std::max(1, (cell.right - cell.left) / 6);
      const int insetY = std::max(1, cellHeight / 6);
      const int bl = cell.left + insetX, br = cell.right - 1 - insetX;
      const int bt = cell.top + insetY, bb = cell.bottom - 1 - insetY;
      if (bl > br || bt > bb) continue;
      for (int px = std::max(bl, cl); px <= std::min(br, cr - 1); ++px) {
        put(px, bt, ink);
        put(px, bb, ink);
      }
      for (int py = std::max(bt, ct); py <= std::min(bb, cb - 1); ++py) {
        put(bl, py, ink);
        put(br, py, ink);
      }
      continue;
    }
    if (ch.codePoint <= 0x20 || ch.codePoint == 0x7F) continue;  // blanks and controls
    const pelinor::gdi::ReadyGlyph* glyph = glyphs_->get(ch.codePoint, emWidth, cellHeight, bold);
    const long long originX = static_cast<long long>(cell.left) + glyph->left;
    const long long originY = static_cast<long long>(cell.top) + glyph->top;
    for (const pelinor::gdi::InkRun& run : glyph->runs) {
      const long long py = originY + run.row;
      if (py < ct || py >= cb) continue;
      const long long from = std::max<long long>(originX + run.from, cl);
      const long long to = std::min<long long>(originX + run.to, cr);
      if (from < to)
        std::fill_n(pixels_.data() + static_cast<std::size_t>(py) * width_ + from, to - from, ink);
    }
  }
}
