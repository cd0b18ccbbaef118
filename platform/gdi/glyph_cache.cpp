// Monochrome glyph rendering with FreeType and a process-wide cache of rendered glyphs, filled
// from the glyph file of earlier runs before anything is rendered.
#include "platform/gdi/glyph_cache.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

#include "platform/gdi/glyph_cache_file.h"
#include "platform/gdi/raster_device.h"

namespace pelinor::gdi {
namespace {

// Sizes beyond this are drawn at this size (clipped to their cell): a glyph larger than any
// screen would only cost memory.
constexpr int kMaxPixelSize = 2048;
// Glyphs up to this size are kept; the cache is emptied when it holds too many.
constexpr int kMaxCachedSize = 512;
constexpr std::size_t kMaxCachedGlyphs = 50000;

// Glyphs up to this size are kept on disk between runs.
constexpr int kMaxStoredSize = 256;

using Key = std::tuple<char32_t, int, int, bool>;

// Sizes as rendered: null when the glyph has no size, large ones at the largest size.
bool normalise(int& emWidth, int& cellHeight) {
  if (emWidth <= 0 || cellHeight <= 0) return false;
  emWidth = std::min(emWidth, kMaxPixelSize);
  cellHeight = std::min(cellHeight, kMaxPixelSize);
  return true;
}

class GlyphCache {
 public:
  // Reads the glyph file of an earlier run; FreeType is started only when a glyph is missing
  // from it.
  GlyphCache() : fontPath_(gothicFontPath()) {
    if (fontPath_.empty()) return;
    folder_ = glyphCacheFolder();
    if (folder_.empty()) return;
    identity_ = glyphFileIdentity(fontPath_);
    if (identity_.empty()) return;
    stored_ = GlyphFile::parse(readGlyphFile(folder_ + "/" + kGlyphFileName), identity_);
  }
  ~GlyphCache() {
    save();
    if (face_ != nullptr) FT_Done_Face(face_);
    if (library_ != nullptr) FT_Done_FreeType(library_);
  }
  GlyphCache(const GlyphCache&) = delete;
  GlyphCache& operator=(const GlyphCache&) = delete;

  // The ready glyph, straight from the glyph file when it holds it.
  ReadyGlyph ready(char32_t cp, int emWidth, int cellHeight, bool bold) {
    if (fontPath_.empty() || !normalise(emWidth, cellHeight)) return {};
    ReadyGlyph glyph;
    // The file is only read after construction, so no lock is needed.
    if (stored_ && stored_->find({cp, emWidth, cellHeight, bold}, glyph)) return glyph;
    auto rendered = get(cp, emWidth, cellHeight, bold);
    return rendered ? readyGlyph(*rendered) : ReadyGlyph{};
  }

  std::shared_ptr<const CellGlyph> get(char32_t cp, int emWidth, int cellHeight, bool bold) {
    if (fontPath_.empty() || !normalise(emWidth, cellHeight)) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    Key key{cp, emWidth, cellHeight, bold};
    auto found = glyphs_.find(key);
    if (found != glyphs_.end()) return found->second;
    std::shared_ptr<const CellGlyph> glyph;
    if (ReadyGlyph stored; stored_ && stored_->find({cp, emWidth, cellHeight, bold}, stored)) {
      glyph = std::make_shared<CellGlyph>(cellGlyph(stored));
    } else {
      if (!openFace()) return nullptr;
      bool complete = false;
      glyph = render(cp, emWidth, cellHeight, bold, complete);
      // A glyph FreeType failed on is drawn empty now, but not kept for later runs.
      if (complete) keep({cp, emWidth, cellHeight, bold}, *glyph);
    }
    if (emWidth <= kMaxCachedSize && cellHeight <= kMaxCachedSize) {
      if (glyphs_.size() >= kMaxCachedGlyphs) glyphs_.clear();
      glyphs_.emplace(key, glyph);
    }
    return glyph;
  }

  std::shared_ptr<const CellGlyph> rendered(char32_t cp, int emWidth, int cellHeight, bool bold) {
    if (fontPath_.empty() || !normalise(emWidth, cellHeight)) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!openFace()) return nullptr;
    bool complete = false;
    return render(cp, emWidth, cellHeight, bold, complete);
  }

  // Replaces the glyph file with its glyphs and those rendered since.
  void save() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fresh_.size() == savedCount_ || folder_.empty() || identity_.empty()) return;
    savedCount_ = fresh_.size();
    const std::string bytes = mergedGlyphFile(identity_, stored_ ? &*stored_ : nullptr,
                                              {fresh_.begin(), fresh_.end()});
    if (!bytes.empty()) writeGlyphFile(folder_, bytes);
  }

 private:
  // Notes a glyph rendered in this run for the glyph file, as long as the file could hold it.
  void keep(const GlyphKey& key, const CellGlyph& glyph) {
    if (key.emWidth > kMaxStoredSize || key.cellHeight > kMaxStoredSize || folder_.empty() ||
        identity_.empty() || freshBytes_ > kMaxGlyphFileBytes)
      return;
    ReadyGlyph& ready = fresh_[key] = readyGlyph(glyph);
    freshBytes_ += 40 + 6 * ready.runs.size();  // its index entry and runs in the file
  }

  // The face of the font file, opened at the first glyph that has to be rendered.
  bool openFace() {
    if (faceTried_) return face_ != nullptr;
    faceTried_ = true;
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      return false;
    }
    if (FT_New_Face(library_, fontPath_.c_str(), 0, &face_) != 0) {
      face_ = nullptr;
      return false;
    }
    FT_Select_Charmap(face_, FT_ENCODING_UNICODE);
    int ascender = face_->ascender;
    int descender = face_->descender;  // negative below the baseline
    if (ascender > 0 && ascender - descender > 0) {
      ascender_ = ascender;
      extent_ = ascender - descender;
    }
    return true;
  }

  // Renders with the cache's lock held (a FreeType face is not safe to share across threads).
  // Whatever changes the pixels made here must change kRenderRules of the glyph file too.
  std::shared_ptr<const CellGlyph> render(char32_t cp, int emWidth, int cellHeight, bool bold,
                                          bool& complete) {
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
    complete = true;
    return glyph;
  }

  std::mutex mutex_;
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  long long ascender_ = 7;  // fallback proportions: baseline at 7/8 of the cell
  long long extent_ = 8;
  std::map<Key, std::shared_ptr<const CellGlyph>> glyphs_;
  bool faceTried_ = false;
  const std::string fontPath_;
  std::string folder_;    // of the glyph file; empty when there is no cache
  std::string identity_;  // of the glyph file this run may use
  std::optional<GlyphFile> stored_;  // as read at the start; never changed afterwards
  std::map<GlyphKey, ReadyGlyph> fresh_;  // rendered in this run
  std::size_t freshBytes_ = 0;            // about what fresh_ takes in the file
  std::size_t savedCount_ = 0;            // of fresh_, written already
};

std::atomic<bool> cacheMade{false};

GlyphCache& cache() {
  static GlyphCache instance;  // created on first use, thread-safely
  cacheMade.store(true, std::memory_order_release);
  return instance;
}

}  // namespace

std::shared_ptr<const CellGlyph> glyphForCell(char32_t cp, int emWidth, int cellHeight, bool bold) {
  return cache().get(cp, emWidth, cellHeight, bold);
}

std::shared_ptr<const CellGlyph> renderedGlyph(char32_t cp, int emWidth, int cellHeight, bool bold) {
  return cache().rendered(cp, emWidth, cellHeight, bold);
}

void saveGlyphCache() {
  // A run that drew no text has nothing to save and need not read the file.
  if (cacheMade.load(std::memory_order_acquire)) cache().save();
}

ReadyGlyph readyGlyph(const CellGlyph& glyph) {
  ReadyGlyph ready;
  ready.left = glyph.left;
  ready.top = glyph.top;
  ready.width = glyph.width;
  ready.height = glyph.height;
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

CellGlyph cellGlyph(const ReadyGlyph& glyph) {
  CellGlyph cell;
  cell.left = glyph.left;
  cell.top = glyph.top;
  cell.width = glyph.width;
  cell.height = glyph.height;
  cell.ink.assign(static_cast<std::size_t>(glyph.width) * glyph.height, 0);
  for (const InkRun& run : glyph.runs)
    std::fill(cell.ink.begin() + static_cast<std::ptrdiff_t>(run.row) * glyph.width + run.from,
              cell.ink.begin() + static_cast<std::ptrdiff_t>(run.row) * glyph.width + run.to, 1);
  return cell;
}

namespace {
// Sizes and characters kept per device before its sets are emptied and filled anew: a window
// draws a handful of sizes, and a resize brings new ones.
constexpr std::size_t kMaxSets = 8;
constexpr std::size_t kMaxGlyphsPerSet = 20000;

ReadyGlyph readyFor(char32_t cp, int emWidth, int cellHeight, bool bold) {
  return cache().ready(cp, emWidth, cellHeight, bold);
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
