// The viewer started again and again with its glyph file in a temporary cache folder: the stock
// menu and a chart are the same pixels without the file, when it is written, when it is read,
// and when it is damaged; and a file that is read is really what gets drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi/glyph_cache_file.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"
#include "tools/sample/sample_data.h"

namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the life of the object; programs started meanwhile inherit it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

void storedDatabase() {
  pelinor::sample::SampleOptions options;
  options.outDir = "daily";
  options.writeN = false;
  options.stocks = 40;
  options.days = 30;
  options.seed = 5;
  std::string error;
  ASSERT_TRUE(pelinor::sample::generateSampleData(options, error)) << error;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator("daily")) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::string paths;
  for (const auto& f : files) paths.append(" ").append(f.string());
  ASSERT_EQ(e2e::pelinorx("init W").status, 0);
  ASSERT_EQ(e2e::pelinorx("store" + paths).status, 0);
}

// The stock menu and the first stock's chart, as drawn by one run.
std::vector<std::uint8_t> screens() {
  e2e::writeScript("s.txt", {"snapshot menu.png", "click 20 24", "snapshot chart.png"});
  const e2e::Result r = e2e::pelinorw("--script s.txt --size 640x480");
  EXPECT_EQ(r.status, 0) << r.out;
  e2e::Image menu, chart;
  EXPECT_TRUE(e2e::readPng("menu.png", menu));
  EXPECT_TRUE(e2e::readPng("chart.png", chart));
  fs::remove("menu.png");
  fs::remove("chart.png");
  menu.rgb.insert(menu.rgb.end(), chart.rgb.begin(), chart.rgb.end());
  return menu.rgb;
}

TEST(GlyphCacheFile, ViewerDrawsTheSamePixelsWithAndWithoutItsGlyphFile) {
  testsupport::TempWorkDir dir;
  storedDatabase();
  ScopedEnv folder("XDG_CACHE_HOME", (dir.path() / "cache").string());
  const fs::path file = dir.path() / "cache" / "pelinor" / pelinor::gdi::kGlyphFileName;

  std::vector<std::uint8_t> plain;
  {
    ScopedEnv off("PELINOR_GLYPH_CACHE", "0");
    plain = screens();
  }
  ASSERT_FALSE(plain.empty());
  EXPECT_FALSE(fs::exists(file)) << "the switch turns the cache off";

  {
    // A cache folder that cannot be made (its parent is a file) costs nothing but the saving.
    ScopedEnv unusable("XDG_CACHE_HOME", (dir.path() / "pelinoru.sys").string());
    EXPECT_EQ(screens(), plain) << "cache folder unusable";
  }
  EXPECT_EQ(screens(), plain) << "first run, writing the file";
  const std::string written = testsupport::readFile(file);
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(screens(), plain) << "second run, reading it";
  EXPECT_EQ(testsupport::readFile(file), written) << "nothing new to write";

  // Four cold starts at once each replace the file whole, and leave no temporary file behind.
  fs::remove(file);
  const std::string viewer = (testsupport::binaryDir() / "apps" / "pelinorw").string();
  std::string together;
  for (int i = 0; i < 4; ++i) together += viewer + " --script s.txt >/dev/null 2>&1 & ";
  ASSERT_EQ(std::system((together + "wait").c_str()), 0);
  EXPECT_EQ(testsupport::readFile(file), written) << "after concurrent runs";
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);

  // A damaged file is drawn around and replaced by the same glyphs.
  for (std::size_t keep : {std::size_t{0}, std::size_t{40}, written.size() / 2}) {
    testsupport::writeFile(file, written.substr(0, keep));
    EXPECT_EQ(screens(), plain) << "file cut to " << keep << " bytes";
    EXPECT_EQ(testsupport::readFile(file), written) << "file cut to " << keep << " bytes";
  }
  std::string flipped = written;
  flipped[flipped.size() - 3] ^= 0x10;
  testsupport::writeFile(file, flipped);
  EXPECT_EQ(screens(), plain) << "a flipped byte";
  EXPECT_EQ(testsupport::readFile(file), written);

  // A whole file made for this font whose glyphs have no ink: what it holds is what is drawn.
  const std::uint32_t identityBytes = static_cast<std::uint8_t>(written[12]) |
                                      static_cast<std::uint8_t>(written[13]) << 8;
  const std::string identity = written.substr(32, identityBytes);
  auto stored = pelinor::gdi::GlyphFile::parse(written, identity);
  ASSERT_TRUE(stored);
  std::vector<std::pair<pelinor::gdi::GlyphKey, pelinor::gdi::ReadyGlyph>> blank;
  for (std::size_t i = 0; i < stored->size(); ++i) blank.push_back({stored->keyAt(i), {}});
  testsupport::writeFile(file, pelinor::gdi::formatGlyphFile(identity, blank));
  EXPECT_NE(screens(), plain);
}

}  // namespace
