// A click on the ranking display redraws the page it shows, whatever the last paging step.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/text/cp932.h"
#include "tests/dbprogram/shell_window.h"
#include "tests/support/test_support.h"

namespace shelltest {
namespace {

// A ranking file of `rows` stocks in code order.
void writeRanking(int rows) {
  std::string file = pelinor::text::toCp932("［ペリノ改Ｃ］ 指定は991201と991230本日比較\n\n");
  ASSERT_EQ(file.size(), 45u);
  const std::string header = pelinor::text::toCp932(
      "順位 逆位 ｺｰﾄﾞ 銘柄名  終値  上率  出変  RCI3  ｶｲﾘ2  sｻｲﾝ  戻率  ﾚﾝｼﾞ  指定\n\n");
  ASSERT_EQ(header.size(), 77u);
  file += header;
  char buf[160];
  for (int i = 0; i < rows; ++i) {
    std::snprintf(buf, sizeof buf, "%4d %4d %4d %6s %5d%6.1f%6.1f%6.1f%6.1f %6.1f%6.1f%6.1f%6.1f\n",
                  i + 1, rows - i, 1000 + i, "ABCDEF", 100 + i, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0,
                  7.0, 8.0);
    file += buf;
  }
  testsupport::writeFile("ranking.dat", file);
}

// The 順位 of the page's top row, as drawn at (0, 32).
std::string topRank(const ShellWindow& w) {
  const std::string prefix = "text 0 32 FFFFFF ";
  for (const auto& op : w.ops())
    if (op.rfind(prefix, 0) == 0) return op.substr(prefix.size());
  return "<none>";
}

TEST(ShellClick, AClickRedrawsTheSamePage) {
  testsupport::TempWorkDir dir;
  writeRanking(200);
  ShellWindow window;
  window.driver().menu(dbprogram::IdBunhyoji1);
  ASSERT_EQ(topRank(window), "\"   1\"");
  window.driver().key(VK_RIGHT);
  window.driver().key(VK_RIGHT);  // rows 57..84
  struct Step {
    unsigned key;
    const char* rank;
  };
  for (const Step& s : {Step{VK_DOWN, "\"  58\""}, Step{VK_UP, "\"  57\""},
                        Step{VK_RIGHT, "\"  85\""}, Step{VK_LEFT, "\"  57\""}}) {
    window.driver().key(s.key);
    ASSERT_EQ(topRank(window), s.rank) << s.key;
    window.driver().click(10, 10);
    EXPECT_EQ(topRank(window), s.rank) << "click after key " << s.key;
    window.driver().click(300, 200);
    EXPECT_EQ(topRank(window), s.rank) << "second click after key " << s.key;
  }
  // After a sort the click shows the sorted first page again.
  window.driver().key('1');
  const std::string sorted = topRank(window);
  window.driver().click(10, 10);
  EXPECT_EQ(topRank(window), sorted);
}

}  // namespace
}  // namespace shelltest
