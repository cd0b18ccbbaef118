// Monochrome glyph rendering with FreeType and a process-wide cache of rendered glyphs.
#include "platform/gdi/glyph_cache.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/gdi/raster_device.h"

namespace pelinor::gdi {
namespace {

// Sizes beyond this are drawn at this size (clipped to their cell): a glyph larger than any
// screen would only cost memory.
constexpr int kMaxPixelSize = 2048;
// Glyphs up to this size are kept; the cache is emptied when it holds too many.
constexpr int kMaxCachedSize = 512;
constexpr std::size_t kMaxCachedGlyphs = 50000;

using Key = std::tuple<char32_t, int, int, bool>;

class GlyphCache {
 public:
  GlyphCache() {
    const std::string& path = gothicFontPath();
    if (path.empty() || FT_Init_FreeType(&library_) != 0) return;
    if (FT_New_Face(library_, path.c_str(), 0, &face_) != 0) {
      face_ = nullptr;
      return;
    }
    FT_Select_Charmap(face_, FT_ENCODING_UNICODE);
    int ascender = face_->ascender;
    int descender = face_->descender;  // negative below the baseline
    if (ascender > 0 && ascender - descender > 0) {
      ascender_ = ascender;
      extent_ = ascender - descender;
    }
  }
  ~GlyphCache() {
    if (face_ != nullptr) FT_Done_Face(face_);
    if (library_ != nullptr) FT_Done_FreeType(library_);
  }
  GlyphCache(const GlyphCache&) = delete;
  GlyphCache& operator=(const GlyphCache&) = delete;

  std::shared_ptr<const CellGlyph> get(char32_t cp, int emWidth, int cellHeight, bool bold) {
    if (emWidth <= 0 || cellHeight <= 0) return nullptr;
    emWidth = std::min(emWidth, kMaxPixelSize);
    cellHeight = std::min(cellHeight, kMaxPixelSize);
    std::lock_guard<std::mutex> lock(mutex_);
    if (face_ == nullptr) return nullptr;
    Key key{cp, emWidth, cellHeight, bold};
    auto found = glyphs_.find(key);
    if (found != glyphs_.end()) return found->second;
    std::shared_ptr<const CellGlyph> glyph = render(cp, emWidth, cellHeight, bold);
    if (emWidth <= kMaxCachedSize && cellHeight <= kMaxCachedSize) {
      if (glyphs_.size() >= kMaxCachedGlyphs) glyphs_.clear();
      glyphs_.emplace(key, glyph);
    }
    return glyph;
  }

 private:
  // Renders with the cache's lock held (a FreeType face is not safe to share across threads).
  std::shared_ptr<const CellGlyph> render(char32_t cp, int emWidth, int cellHeight, bool bold) {
    auto glyph = std::make_shared<CellGlyph>();
    if (FT_Set_Pixel_Sizes(face_, static_cast<FT_UInt>(emWidth), static_cast<FT_UInt>(cellHeight)) != 0)
      return glyph;
    if (FT_Load_Char(face_, cp, FT_LOAD_TARGET_MONO) != 0) return glyph;
    FT_GlyphSlot slot = face_->glyph;
    if (bold && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      // Heavier strokes: one device pixel wider for every 24 pixels of full-width cell.
      FT_Pos strength = std::max<FT_Pos>(64, static_cast<FT_Pos>(emWidth) * 64 / 24);
      FT_Outline_EmboldenXY(&slot->outline, strength, 0);
    }
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0)
      return glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    int baseline = static_cast<int>((static_cast<long long>(cellHeight) * ascender_ + extent_ / 2) /
                                    extent_);
    glyph->left = slot->bitmap_left;
    glyph->top = baseline - slot->bitmap_top;
    glyph->width = static_cast<int>(bitmap.width);
    glyph->height = static_cast<int>(bitmap.rows);
    glyph->ink.assign(static_cast<std::size_t>(glyph->width) * glyph->height, 0);
    int pitch = bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch;
    for (int row = 0; row < glyph->height; ++row) {
      // With a negative pitch the buffer starts with the bottom row.
      const unsigned char* src =
          bitmap.buffer + static_cast<std::ptrdiff_t>(bitmap.pitch < 0 ? glyph->height - 1 - row : row) * pitch;
      for (int col = 0; col < glyph->width; ++col) {
        bool on = false;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
          on = (src[col >> 3] & (0x80 >> (col & 7))) != 0;
        else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
          on = src[col] >= 128;
        glyph->ink[static_cast<std::size_t>(row) * glyph->width + col] = on ? 1 : 0;
      }
    }
    return glyph;
  }

  std::mutex mutex_;
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  long long ascender_ = 7;  // fallback proportions: baseline at 7/8 of the cell
  long long extent_ = 8;
  std::map<Key, std::shared_ptr<const CellGlyph>> glyphs_;
};

GlyphCache& cache() {
  static GlyphCache instance;  // created on first use, thread-safely
  return instance;
}

}  // namespace

std::shared_ptr<const CellGlyph> glyphForCell(char32_t cp, int emWidth, int cellHeight, bool bold) {
  return cache().get(cp, emWidth, cellHeight, bold);
}

ReadyGlyph readyGlyph(const CellGlyph& glyph) {
  ReadyGlyph ready;
  ready.left = glyph.left;
  ready.top = glyph.top;
  for (int row = 0; row < glyph.height; ++row) {
    const std::uint8_t* ink = glyph.ink.data() + static_cast<std::size_t>(row) * glyph.width;
    for (int col = 0; col < glyph.width;) {
      if (!ink[col]) {
        ++col;
        continue;
      }
      int end = col;
      while (end < glyph.width && ink[end]) ++end;
      ready.runs.push_back({row, col, end});
      col = end;
    }
  }
  return ready;
}

namespace {
// Sizes and characters kept per device before its sets are emptied and filled anew: a window
// draws a handful of sizes, and a resize brings new ones.
constexpr std::size_t kMaxSets = 8;
constexpr std::size_t kMaxGlyphsPerSet = 20000;

ReadyGlyph readyFor(char32_t cp, int emWidth, int cellHeight, bool bold) {
  auto glyph = glyphForCell(cp, emWidth, cellHeight, bold);
  return glyph ? readyGlyph(*glyph) : ReadyGlyph{};
}
}  // namespace

GlyphSets::Set& GlyphSets::set(int emWidth, int cellHeight, bool bold) {
  if (last_ && last_->emWidth == emWidth && last_->cellHeight == cellHeight && last_->bold == bold)
    return *last_;
  for (auto& s : sets_) {
    if (s->emWidth == emWidth && s->cellHeight == cellHeight && s->bold == bold) {
      last_ = s.get();
      return *last_;
    }
  }
  if (sets_.size() >= kMaxSets) sets_.clear();
  auto fresh = std::make_unique<Set>();
  fresh->emWidth = emWidth;
  fresh->cellHeight = cellHeight;
  fresh->bold = bold;
  sets_.push_back(std::move(fresh));
  last_ = sets_.back().get();
  return *last_;
}

const ReadyGlyph* GlyphSets::get(char32_t cp, int emWidth, int cellHeight, bool bold) {
  Set& s = set(emWidth, cellHeight, bold);
  if (cp < s.ascii.size()) {
    auto& slot = s.ascii[cp];
    if (!slot) slot = std::make_unique<ReadyGlyph>(readyFor(cp, emWidth, cellHeight, bold));
    return slot.get();
  }
  if (auto found = s.others.find(cp); found != s.others.end()) return &found->second;
  if (s.count >= kMaxGlyphsPerSet) {
    s.others.clear();
    s.count = 0;
  }
  ++s.count;
  return &s.others.emplace(cp, readyFor(cp, emWidth, cellHeight, bold)).first->second;
}

}  // namespace pelinor::gdi
