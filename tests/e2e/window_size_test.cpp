// Both programs at the extremes of window size: shrunk to one pixel, then blown up to
// 4000 x 3000 and used there. Nothing may crash, and the snapshots have the window's size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"
#include "tools/sample/sample_data.h"

namespace {

namespace fs = std::filesystem;
using e2e::pelinorw;
using e2e::pelinorx;
using e2e::Result;

// A small stored and analysed database in the working folder; returns a code it holds.
std::string smallDatabase() {
  pelinor::sample::SampleOptions options;
  options.outDir = "daily";
  options.writeN = false;
  options.stocks = 8;
  options.days = 40;
  options.seed = 3;
  std::string error;
  EXPECT_TRUE(pelinor::sample::generateSampleData(options, error)) << error;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator("daily")) files.push_back(entry.path());
  std::sort(files.begin(), files.end());  // one century: the names sort by date
  std::string paths;
  for (const auto& f : files) paths.append(" ").append(f.string());
  EXPECT_EQ(pelinorx("init W").status, 0);
  EXPECT_EQ(pelinorx("store" + paths).status, 0);
  EXPECT_EQ(pelinorx("analyze 0").status, 0);
  const auto lines = e2e::readDailyFile(files.back());
  EXPECT_GE(lines.size(), 2u);
  return lines.size() < 2 ? "1001" : std::to_string(static_cast<int>(lines[1].code10 / 10));
}

void expectPng(const std::string& file, std::uint32_t width, std::uint32_t height) {
  std::uint32_t w = 0, h = 0;
  ASSERT_TRUE(e2e::pngSize(file, w, h)) << file;
  EXPECT_EQ(w, width) << file;
  EXPECT_EQ(h, height) << file;
}

TEST(WindowSize, BothProgramsWorkAtOnePixelAndAtFourThousand) {
  testsupport::TempWorkDir dir;
  const std::string code = smallDatabase();

  e2e::writeScript("x.script", {"size 1 1", "paint", "snapshot x1.png", "size 4000 3000",
                                "key F1", "key F5", "menu 3", "key DOWN", "snapshot x4000.png"});
  const Result x = pelinorx("--script x.script");
  EXPECT_EQ(x.status, 0) << x.out;
  expectPng("x1.png", 1, 1);
  expectPng("x4000.png", 4000, 3000);

  e2e::writeScript("w.script", {"size 1 1", "paint", "snapshot w1.png", "size 4000 3000",
                                "key F12", "keys " + code, "key RETURN", "key LEFT", "key F9",
                                "dblclick 3999 10", "snapshot w4000.png"});
  const Result w = pelinorw("--script w.script");
  EXPECT_EQ(w.status, 0) << w.out;
  expectPng("w1.png", 1, 1);
  expectPng("w4000.png", 4000, 3000);
}

TEST(WindowSize, ClicksInATinyWindowCrashNothing) {
  testsupport::TempWorkDir dir;
  const std::string code = smallDatabase();
  // Below eight pixels the menu's cell width, its header row and the button columns of the top
  // row are all smaller than one pixel: the click arithmetic must not divide by zero.
  for (const char* size : {"1 1", "7 7", "3 40", "40 3"}) {
    SCOPED_TRACE(size);
    const std::string w = std::string(size).substr(0, std::string(size).find(' '));
    const std::string h = std::string(size).substr(std::string(size).find(' ') + 1);
    const std::string far = std::to_string(std::stoi(w) - 1) + " " + std::to_string(std::stoi(h) - 1);
    e2e::writeScript("w.script", {std::string("size ") + size, "key RETURN", "click 0 0",
                                  "key RETURN", "click " + far, "keys " + code, "key RETURN",
                                  "dblclick 0 0", "dblclick " + far, "key F12", "click " + far,
                                  "snapshot w.png"});
    const Result viewer = pelinorw("--script w.script");
    EXPECT_EQ(viewer.status, 0) << viewer.out;
    expectPng("w.png", static_cast<std::uint32_t>(std::stoi(w)),
              static_cast<std::uint32_t>(std::stoi(h)));

    e2e::writeScript("x.script", {std::string("size ") + size, "menu 3", "key DOWN",
                                  "click " + far, "key 6", "click 0 0", "key F11",
                                  "snapshot x.png"});
    const Result database = pelinorx("--script x.script");
    EXPECT_EQ(database.status, 0) << database.out;
    expectPng("x.png", static_cast<std::uint32_t>(std::stoi(w)),
              static_cast<std::uint32_t>(std::stoi(h)));
  }
}

}  // namespace
