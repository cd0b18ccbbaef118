// The remembered window place: what a damaged file gives, and a round trip through the user's
// config folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/host/window_place.h"
#include "tests/support/test_support.h"

namespace {

TEST(WindowPlace, OnlyFourWholeNumbersInRangeArePlaces) {
  struct Case {
    const char* text;
    bool valid;
  };
  const Case cases[] = {
      {"10 20 800 600\n", true},  {"-5 -7 1 8192", true},    {"10 20 800", false},
      {"10 20 800 600 1", false}, {"10 20 0 600", false},    {"10 20 800 8193", false},
      {"a 20 800 600", false},    {"", false},               {"10 99999999 800 600", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseWindowPlace(c.text, 8192).has_value(), c.valid) << c.text;
  }
}

TEST(WindowPlace, KeptPerProgramInTheConfigFolder) {
  testsupport::TempWorkDir dir;
  const std::string config = (std::filesystem::current_path() / "cfg").string();
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  const std::string file = windowPlaceFile("pelinorw");
  EXPECT_EQ(file, config + "/pelinor/pelinorw.window");
  EXPECT_FALSE(readWindowPlace(file, 8192));
  ASSERT_TRUE(writeWindowPlace(file, WindowPlace{-3, 40, 1024, 768}));
  const auto back = readWindowPlace(file, 8192);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->x, -3);
  EXPECT_EQ(back->y, 40);
  EXPECT_EQ(back->width, 1024);
  EXPECT_EQ(back->height, 768);
  // The data folder is left alone.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);
  ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
