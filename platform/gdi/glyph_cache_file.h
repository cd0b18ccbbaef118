// Rendered glyphs kept on disk between runs, the way font caches keep them: one file in the
// user's cache folder, read whole at the first glyph and checked in full before any glyph of it
// is used. A file that is damaged, cut short, of another format or made from another font or
// renderer is ignored as a whole, and replaced when new glyphs are written.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/gdi/glyph_cache.h"

namespace pelinor::gdi {

struct GlyphKey {
  char32_t cp = 0;
  int emWidth = 0;
  int cellHeight = 0;
  bool bold = false;
  auto operator<=>(const GlyphKey&) const = default;
};

// Name of the file in the cache folder; the number changes with the format.
inline constexpr const char* kGlyphFileName = "glyphs-1.bin";
// Files larger than this are neither read nor written: a cache grown beyond it starts afresh.
inline constexpr std::size_t kMaxGlyphFileBytes = 4u << 20;

// The glyphs of one file's bytes.
class GlyphFile {
 public:
  // The file's glyphs when the bytes are whole and were written for this identity; nothing
  // when any check fails.
  static std::optional<GlyphFile> parse(std::string bytes, std::string_view identity);

  std::size_t size() const { return count_; }
  GlyphKey keyAt(std::size_t i) const;
  // The glyph of the key; false when the file does not hold it (or holds it damaged).
  bool find(const GlyphKey& key, ReadyGlyph& glyph) const;
  bool glyphAt(std::size_t i, ReadyGlyph& glyph) const;

 private:
  std::string bytes_;
  std::size_t count_ = 0;
  std::size_t index_ = 0;  // offset of the first index entry
  std::size_t runs_ = 0;   // offset of the first run
  std::size_t runCount_ = 0;
};

// The bytes of a file holding the glyphs (keys strictly increasing); glyphs whose bitmap does not
// fit the format's 16-bit fields are left out.
std::string formatGlyphFile(std::string_view identity,
                            const std::vector<std::pair<GlyphKey, ReadyGlyph>>& glyphs);

// The file after a run: the glyphs of the stored file (when there is one) and those rendered in
// the run (missing from it; in key order); when that exceeds the limit, the run's alone. Empty
// when even those exceed it.
std::string mergedGlyphFile(std::string_view identity, const GlyphFile* stored,
                            std::vector<std::pair<GlyphKey, ReadyGlyph>> fresh,
                            std::size_t limit = kMaxGlyphFileBytes);

// The identity of the file a process may use: the format, the font file (path, size, time of
// change), the renderer's version and settings. Empty when the font file cannot be examined.
std::string glyphFileIdentity(const std::string& fontPath);

// The cache folder ($XDG_CACHE_HOME/pelinor, else $HOME/.cache/pelinor), empty when neither
// names an absolute folder or PELINOR_GLYPH_CACHE is 0.
std::string glyphCacheFolder();

// The whole file, when it exists and is not larger than the limit; empty otherwise.
std::string readGlyphFile(const std::string& path);
// Replaces the file with the bytes through a temporary file in its folder (made when missing);
// false on any failure, which leaves the old file as it was.
bool writeGlyphFile(const std::string& folder, const std::string& bytes);

}  // namespace pelinor::gdi
