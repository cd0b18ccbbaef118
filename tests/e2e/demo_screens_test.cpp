// The demo's no-display form, run as a newcomer runs it, in a temporary folder: every promised
// screen is written as a 640 x 480 PNG that shows something, and equals the committed image of
// docs/screens/ pixel for pixel, so the README never shows screens the programs no longer draw.
// (After a change to the drawing, scripts/update-screens.sh renders the images anew.)
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

using e2e::Image;
using e2e::readPng;

// Colours used by at least `minimum` pixels each, counted up to a few.
int coloursUsed(const Image& image, long minimum) {
  std::vector<std::pair<std::uint32_t, long>> seen;
  for (std::size_t i = 0; i + 2 < image.rgb.size(); i += 3) {
    const std::uint32_t c = image.rgb[i] << 16 | image.rgb[i + 1] << 8 | image.rgb[i + 2];
    bool found = false;
    for (auto& [colour, count] : seen) {
      if (colour == c) {
        ++count;
        found = true;
        break;
      }
    }
    if (!found && seen.size() < 64) seen.push_back({c, 1});
  }
  int n = 0;
  for (const auto& [colour, count] : seen) n += count >= minimum ? 1 : 0;
  return n;
}

const char* const Screens[] = {
    "db-store-prompt",    "db-analysis",         "db-ranking-1",
    "db-ranking-2",      "db-settings",        "viewer-menu",         "viewer-watch",
    "viewer-links",      "view-9-daily",       "view-3-ichimoku",     "view-4-oscillators",
    "view-5-oscillators", "view-7-sign",       "view-77-sign",        "view-8-weekly",
    "view-97-comparison", "price-table",       "information",         "view-9-crosshair",
    "view-9-scrolled",
};

TEST(DemoScreens, EveryScreenIsWrittenAndMatchesTheCommittedImage) {
  testsupport::TempWorkDir dir;
  const std::string command = "env -u DISPLAY bash " +
                              (testsupport::sourceDir() / "scripts" / "demo.sh").string() +
                              " --build-dir " + testsupport::binaryDir().string() +
                              " --dir demo > demo.log 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << testsupport::readFile("demo.log");

  for (const char* name : Screens) {
    SCOPED_TRACE(name);
    Image shot;
    ASSERT_TRUE(readPng("demo/screens/" + std::string(name) + ".png", shot));
    EXPECT_EQ(shot.width, 640);
    EXPECT_EQ(shot.height, 480);
    // Not one flat colour: the background and text or lines in at least one other colour.
    EXPECT_GE(coloursUsed(shot, 20), 2);

    Image committed;
    const auto docs = testsupport::sourceDir() / "docs" / "screens" / (std::string(name) + ".png");
    ASSERT_TRUE(readPng(docs.string(), committed)) << "missing " << docs;
    EXPECT_TRUE(shot.width == committed.width && shot.height == committed.height &&
                shot.rgb == committed.rgb)
        << docs << " differs from what the programs draw now: run scripts/update-screens.sh";
  }
}

}  // namespace
