// The glyph file: glyphs read back equal glyphs rendered afresh; a file made for another font or
// damaged in any byte or cut anywhere is refused whole or still gives the same glyphs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdi/glyph_cache_file.h"
#include "platform/gdi/raster_device.h"
#include "tests/support/test_support.h"

namespace {

using pelinor::gdi::GlyphFile;
using pelinor::gdi::GlyphKey;
using pelinor::gdi::ReadyGlyph;
using Glyphs = std::vector<std::pair<GlyphKey, ReadyGlyph>>;

// Rendered afresh, in key order.
Glyphs rendered(const std::vector<GlyphKey>& keys) {
  Glyphs glyphs;
  for (const GlyphKey& key : keys) {
    auto cell = pelinor::gdi::renderedGlyph(key.cp, key.emWidth, key.cellHeight, key.bold);
    EXPECT_TRUE(cell) << static_cast<unsigned>(key.cp);
    if (cell) glyphs.emplace_back(key, pelinor::gdi::readyGlyph(*cell));
  }
  std::sort(glyphs.begin(), glyphs.end(), [](auto& a, auto& b) { return a.first < b.first; });
  return glyphs;
}

class GlyphFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (gothicFontPath().empty()) GTEST_SKIP() << "no font installed";
    identity_ = pelinor::gdi::glyphFileIdentity(gothicFontPath());
    ASSERT_FALSE(identity_.empty());
  }
  std::string identity_;
};

TEST_F(GlyphFileTest, GlyphsReadBackEqualGlyphsRenderedAfresh) {
  // ASCII with a descender, a digit, half-width kana, kana and kanji of the stock menu, and a
  // code point the font lacks; cells of the menu, the chart at two window sizes, and odd ones.
  std::vector<GlyphKey> keys;
  for (char32_t cp : {U'A', U'g', U'7', U'ｶ', U'ﾟ', U'あ', U'銘', U'柄', U'\uE000'})
    for (auto [em, cell] : {std::pair{12, 16}, {16, 16}, {36, 48}, {7, 3}, {200, 256}})
      for (bool bold : {false, true}) keys.push_back({cp, em, cell, bold});
  const Glyphs fresh = rendered(keys);
  const std::string bytes = pelinor::gdi::formatGlyphFile(identity_, fresh);

  auto file = GlyphFile::parse(bytes, identity_);
  ASSERT_TRUE(file);
  ASSERT_EQ(file->size(), keys.size());
  int inked = 0;
  for (const auto& [key, glyph] : fresh) {
    ReadyGlyph read;
    ASSERT_TRUE(file->find(key, read)) << static_cast<unsigned>(key.cp) << " " << key.emWidth;
    EXPECT_EQ(read, glyph) << static_cast<unsigned>(key.cp) << " " << key.emWidth << " bold " << key.bold;
    auto cell = pelinor::gdi::renderedGlyph(key.cp, key.emWidth, key.cellHeight, key.bold);
    EXPECT_EQ(pelinor::gdi::cellGlyph(read), *cell) << static_cast<unsigned>(key.cp) << " " << key.emWidth;
    inked += !glyph.runs.empty();
  }
  EXPECT_GT(inked, static_cast<int>(keys.size()) / 2);  // the comparison is of real ink
  ReadyGlyph none;
  EXPECT_FALSE(file->find({U'銘', 13, 16, false}, none));
  EXPECT_FALSE(file->find({U'B', 12, 16, false}, none));

  // The glyph cache of the process, filled from anywhere, gives the same bitmaps.
  for (const auto& [key, glyph] : fresh)
    EXPECT_EQ(*pelinor::gdi::glyphForCell(key.cp, key.emWidth, key.cellHeight, key.bold),
              pelinor::gdi::cellGlyph(glyph));
}

TEST_F(GlyphFileTest, AFileOfAnotherFontOrFormatIsRefused) {
  const std::string bytes = pelinor::gdi::formatGlyphFile(identity_, rendered({{U'株', 16, 16, false}}));
  ASSERT_TRUE(GlyphFile::parse(bytes, identity_));
  EXPECT_FALSE(GlyphFile::parse(bytes, identity_ + "x"));
  EXPECT_FALSE(GlyphFile::parse(bytes, ""));

  // The identity follows the font file's contents, size and time of change.
  testsupport::TempWorkDir dir;
  std::filesystem::copy_file(gothicFontPath(), "font.ttf");
  const std::string before = pelinor::gdi::glyphFileIdentity((dir.path() / "font.ttf").string());
  std::filesystem::last_write_time("font.ttf", std::filesystem::last_write_time("font.ttf") -
                                                   std::chrono::seconds(5));
  EXPECT_NE(pelinor::gdi::glyphFileIdentity((dir.path() / "font.ttf").string()), before);
  EXPECT_EQ(pelinor::gdi::glyphFileIdentity((dir.path() / "missing.ttf").string()), "");
}

TEST_F(GlyphFileTest, ARunAddsItsGlyphsToTheFileUntilItsLimit) {
  const Glyphs old = rendered({{U'A', 12, 16, false}, {U'銘', 16, 16, true}, {U'ﾁ', 8, 16, false}});
  const Glyphs fresh = rendered({{U'B', 12, 16, false}, {U'銘', 16, 16, false}});
  auto stored = GlyphFile::parse(pelinor::gdi::formatGlyphFile(identity_, old), identity_);
  ASSERT_TRUE(stored);

  auto merged = GlyphFile::parse(pelinor::gdi::mergedGlyphFile(identity_, &*stored, fresh), identity_);
  ASSERT_TRUE(merged);
  EXPECT_EQ(merged->size(), old.size() + fresh.size());
  for (const Glyphs* part : {&old, &fresh})
    for (const auto& [key, glyph] : *part) {
      ReadyGlyph read;
      EXPECT_TRUE(merged->find(key, read) && read == glyph) << static_cast<unsigned>(key.cp);
    }

  // Over the limit the file starts again from the run's glyphs, or is not written at all.
  const std::string own = pelinor::gdi::formatGlyphFile(identity_, fresh);
  EXPECT_EQ(pelinor::gdi::mergedGlyphFile(identity_, &*stored, fresh, own.size()), own);
  EXPECT_EQ(pelinor::gdi::mergedGlyphFile(identity_, &*stored, fresh, own.size() - 1), "");
  EXPECT_EQ(pelinor::gdi::mergedGlyphFile(identity_, nullptr, fresh), own);
}

TEST_F(GlyphFileTest, DamagedFilesAreRefusedOrGiveTheSameGlyphs) {
  const Glyphs fresh = rendered({{U'1', 12, 16, false}, {U'ｱ', 12, 16, true}, {U'値', 16, 16, false}});
  const std::string bytes = pelinor::gdi::formatGlyphFile(identity_, fresh);
  int refused = 0, trials = 0;
  auto check = [&](const std::string& damaged, const std::string& what) {
    ++trials;
    auto file = GlyphFile::parse(damaged, identity_);
    if (!file) {
      ++refused;
      return;
    }
    ASSERT_EQ(file->size(), fresh.size()) << what;
    for (const auto& [key, glyph] : fresh) {
      ReadyGlyph read;
      ASSERT_TRUE(file->find(key, read)) << what;
      EXPECT_EQ(read, glyph) << what;
    }
  };
  for (std::size_t keep = 0; keep < bytes.size(); ++keep)
    check(bytes.substr(0, keep), "cut to " + std::to_string(keep));
  check(bytes + '\0', "one byte more");
  for (std::size_t at = 0; at < bytes.size(); ++at)
    for (unsigned char mask : {0x01, 0x80, 0xFF}) {
      std::string damaged = bytes;
      damaged[at] = static_cast<char>(damaged[at] ^ mask);
      check(damaged, "byte " + std::to_string(at) + " ^ " + std::to_string(mask));
    }
  // A checksum over the whole file notices every one of these.
  EXPECT_EQ(refused, trials);
}

}  // namespace
