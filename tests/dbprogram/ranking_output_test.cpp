// The file output: the ranking file rewritten in the order on screen and the codes of the page
// on screen stored as the chart-link list of pelinoru.win.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "marketdb/settings.h"
#include "tests/dbprogram/ranking_screen.h"
#include "tests/support/test_support.h"

namespace {

using dbprogram::IdBunhyoji1;
using dbprogram::IdBunsekiout;
using dbprogram::IdMigi;
using dbprogram::IdS0;
using dbprogram::IdSita;
using dbprogram::RankingRow;
using rankingtest::makeRow;
using rankingtest::Screen;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t lf = text.find('\n', pos);
    if (lf == std::string::npos) lf = text.size();
    out.push_back(text.substr(pos, lf - pos));
    pos = lf + 1;
  }
  return out;
}

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  std::string w;
  while (in >> w) out.push_back(w);
  return out;
}

// "first first+1 ... last"
std::string codeRun(int first, int last) {
  std::string s;
  for (int c = first; c <= last; ++c) {
    if (!s.empty()) s += ' ';
    s += std::to_string(c);
  }
  return s;
}

class FileOutput : public ::testing::Test {
 protected:
  FileOutput() {
    marketdb::SystemFile sys;
    marketdb::applyDefaults(sys, win);
    win.carried = 12.5f;
    for (int i = 0; i < 92; ++i) win.codes[i] = marketdb::codeFromNumber(1300 + i);
    for (int i = 92; i < 120; ++i) win.codes[i] = marketdb::codeFromNumber(9999);
    marketdb::writeSettingsFile(win);
    original = testsupport::readFile("pelinoru.win");
    for (int i = 0; i < 70; ++i) {
      RankingRow r = makeRow(static_cast<float>(1000 + i), 500 + i, i, 10 * i - 300);
      rows.push_back(r);
    }
  }
  void writeRanking(const std::vector<RankingRow>& r) {
    testsupport::writeFile("ranking.dat", rankingtest::fileWith(r));
  }

  testsupport::TempWorkDir dir;
  marketdb::SettingsFile win;
  std::string original;
  std::vector<RankingRow> rows;  // code order
};

TEST_F(FileOutput, SortedBySignTheFileAndTheLinksFollowThatOrder) {
  writeRanking(rows);
  Screen s;
  s.driver->menu(IdBunhyoji1);
  s.driver->menu(IdS0 + 6);
  s.driver->menu(IdBunsekiout);

  std::vector<RankingRow> expected(rows.rbegin(), rows.rend());
  EXPECT_EQ(testsupport::readFile("ranking.dat"), rankingtest::fileWith(expected));
  const auto out = lines(testsupport::readFile("ranking.dat"));
  EXPECT_EQ(out[4].substr(0, 15), "   1   70 1069 ");
  EXPECT_EQ(out.back().substr(0, 15), "  70    1 1000 ");

  const auto win = lines(testsupport::readFile("pelinoru.win"));
  ASSERT_EQ(win.size(), 12u);
  const auto line11 = words(win[10]);
  ASSERT_EQ(line11.size(), 20u);
  for (int i = 12; i < 20; ++i) EXPECT_EQ(line11[i], std::to_string(1069 - (i - 12))) << i;
  std::string line12;
  for (int c = 1061; c >= 1042; --c) {
    if (!line12.empty()) line12 += ' ';
    line12 += std::to_string(c);
  }
  EXPECT_EQ(win[11], line12);
}

TEST_F(FileOutput, APageReachedWithRightAndDownGivesItsCodes) {
  writeRanking(rows);
  Screen s;
  s.driver->menu(IdBunhyoji1);
  s.driver->menu(IdMigi);
  s.driver->menu(IdSita);
  ASSERT_EQ(s.codeAt(0), 1029);
  s.driver->menu(IdBunsekiout);

  const std::string text = testsupport::readFile("pelinoru.win");
  const auto after = lines(text);
  const auto before = lines(original);
  ASSERT_EQ(after.size(), 12u);
  // Everything up to the chart-link codes is carried through.
  for (int l = 0; l < 10; ++l) EXPECT_EQ(after[l], before[l]) << "line " << l + 1;
  EXPECT_EQ(after[10], codeRun(1380, 1391) + " " + codeRun(1029, 1036));
  EXPECT_EQ(after[11], codeRun(1037, 1056));
  EXPECT_EQ(text.back(), '\n');

  // The screen shows only the message; the last step given again shows the stored page.
  EXPECT_EQ(s.rowsDrawn(), 0);
  EXPECT_EQ(s.colourAt(456, 0, "ﾁｬｰﾄ連動ｺｰﾄﾞ記憶処理中(^^;"), "FF0000");
  s.driver->paint();  // a repaint stores the same page again
  EXPECT_EQ(lines(testsupport::readFile("pelinoru.win"))[11], codeRun(1037, 1056));
  s.driver->menu(IdSita);
  EXPECT_EQ(s.codeAt(0), 1029);
  s.driver->menu(IdSita);
  EXPECT_EQ(s.codeAt(0), 1030);

  // After → the same holds.
  s.driver->menu(IdMigi);
  ASSERT_EQ(s.codeAt(0), 1042);
  s.driver->menu(IdBunsekiout);
  EXPECT_EQ(lines(testsupport::readFile("pelinoru.win"))[11], codeRun(1050, 1069));
  s.driver->menu(IdMigi);
  EXPECT_EQ(s.codeAt(0), 1042);
}

TEST_F(FileOutput, FewerRowsThanAPageEndTheListWithZeros) {
  writeRanking(std::vector<RankingRow>(rows.begin(), rows.begin() + 5));
  Screen s;
  s.driver->menu(IdBunhyoji1);
  s.driver->menu(IdBunsekiout);
  const auto after = lines(testsupport::readFile("pelinoru.win"));
  EXPECT_EQ(after[10], codeRun(1380, 1391) + " " + codeRun(1000, 1004) + " 0 0 0");
  EXPECT_EQ(after[11], "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0");
}

TEST_F(FileOutput, RoundTripKeepsTheFile) {
  writeRanking(rows);
  const std::string before = testsupport::readFile("ranking.dat");
  Screen s;
  s.driver->menu(IdBunhyoji1);
  s.driver->menu(IdBunsekiout);
  EXPECT_EQ(testsupport::readFile("ranking.dat"), before);

  // A file rewritten in another order comes back in code order, renumbered.
  s.driver->menu(IdS0 + 6);
  s.driver->menu(IdBunsekiout);
  ASSERT_NE(testsupport::readFile("ranking.dat"), before);
  s.driver->menu(IdBunhyoji1);
  EXPECT_EQ(s.codeAt(0), 1000);
  EXPECT_EQ(s.at(0, 32), "   1");
  EXPECT_EQ(s.at(40, 32), "  70");
  s.driver->menu(IdBunsekiout);
  EXPECT_EQ(testsupport::readFile("ranking.dat"), before);
}

TEST_F(FileOutput, ALongerTitleIsWrittenBackAsItWasRead) {
  const std::string title =
      pelinor::text::toCp932("［ペリノ改Ｃ］ 指定は1.23457e+06と000105本日比較\n\n");
  const std::string text = rankingtest::fileWith(rows, title);
  testsupport::writeFile("ranking.dat", text);
  Screen s;
  s.driver->menu(IdBunhyoji1);
  s.driver->menu(IdBunsekiout);
  EXPECT_EQ(testsupport::readFile("ranking.dat"), text);
}

TEST_F(FileOutput, MissingSettingsFileIsWrittenFromMemory) {
  writeRanking(rows);
  std::filesystem::remove("pelinoru.win");
  Screen s;
  s.driver->menu(IdBunhyoji1);
  s.driver->menu(IdBunsekiout);
  ASSERT_FALSE(s.driver->messageBoxes().empty());
  EXPECT_EQ(s.driver->messageBoxes().back(), "[ﾌｧｲﾙ存在状況] pelinoru.win が存在しません");
  EXPECT_TRUE(s.driver->closed());
  const auto after = lines(testsupport::readFile("pelinoru.win"));
  ASSERT_EQ(after.size(), 12u);
  EXPECT_EQ(after[11], codeRun(1008, 1027));
}

TEST_F(FileOutput, UnwritableRankingFileWritesNothing) {
  writeRanking(rows);
  Screen s;
  s.driver->menu(IdBunhyoji1);
  std::filesystem::remove("ranking.dat");
  std::filesystem::create_directory("ranking.dat");
  s.driver->menu(IdBunsekiout);
  ASSERT_EQ(s.driver->messageBoxes().size(), 1u);
  EXPECT_EQ(s.driver->messageBoxes()[0], "[ﾌｧｲﾙｵｰﾌﾟﾝ状況] ranking.dat が書き込みできません");
  EXPECT_TRUE(s.driver->closed());
  EXPECT_EQ(testsupport::readFile("pelinoru.win"), original);
}

// A file whose lines the table could not all take (5000 rows, more than the 2399 it holds, or
// a damaged line) is kept as it is, with a red line saying why; the page's codes are stored.
TEST_F(FileOutput, AFileReadWithLinesLeftOutIsNotRewritten) {
  struct Case {
    const char* what;
    int rows;
    bool damagedLine;
    const char* message;
  };
  const Case cases[] = {
      {"5000 rows", 5000, false, "ranking.datの2601行が表にないため、ファイルは書き換えませんでした"},
      {"a damaged line", 70, true, "ranking.datの1行が表にないため、ファイルは書き換えませんでした"},
  };
  for (const Case& c : cases) {
    std::vector<RankingRow> many;
    for (int i = 0; i < c.rows; ++i)
      many.push_back(makeRow(static_cast<float>(1000 + i), 500 + i % 300, i % 97, i % 89));
    std::string text = rankingtest::fileWith(many);
    if (c.damagedLine) text += "   1    1 damaged line\n";
    testsupport::writeFile("ranking.dat", text);
    Screen s;
    s.driver->menu(IdBunhyoji1);
    s.driver->menu(IdBunsekiout);
    EXPECT_EQ(testsupport::readFile("ranking.dat"), text) << c.what;
    EXPECT_EQ(s.at(0, 464), c.message) << c.what;
    EXPECT_EQ(s.colourAt(0, 464, c.message), "FF0000") << c.what;
    EXPECT_FALSE(s.driver->closed()) << c.what;
    // The first page in code order: codes 1000..1027.
    const auto after = lines(testsupport::readFile("pelinoru.win"));
    ASSERT_EQ(after.size(), 12u) << c.what;
    EXPECT_EQ(after[11], codeRun(1008, 1027)) << c.what;
  }
}

// The file output that cannot write a file makes a script run fail (status 1), not succeed.
TEST_F(FileOutput, AFailedWriteIsReportedToTheHost) {
  writeRanking(rows);
  Screen s;
  s.driver->menu(IdBunhyoji1);
  EXPECT_EQ(s.driver->writeFailures(), 0);
  std::filesystem::remove("ranking.dat");
  std::filesystem::create_directory("ranking.dat");
  s.driver->menu(IdBunsekiout);
  EXPECT_EQ(s.driver->writeFailures(), 1);
}

}  // namespace

namespace {

// The command runs once, over a page on screen, and writes the ranking file and the
// chart-link codes together or not at all.
TEST_F(FileOutput, RunsOnceOverAPageOnScreenWritingBothFilesOrNeither) {
  const struct {
    const char* what;
    int blankingCommand;  // 0: none
    bool settingsInTheWay, written;
  } cases[] = {{"a page on screen", 0, false, true},
               {"after a key that blanked the ranking", dbprogram::IdE, false, false},
               {"pelinoru.win a folder", 0, true, false}};
  for (const auto& c : cases) {
    marketdb::writeSettingsFile(win);
    writeRanking(rows);
    const std::string ranking = testsupport::readFile("ranking.dat");
    Screen s;
    s.driver->menu(IdBunhyoji1);
    s.driver->menu(IdS0 + 6);  // sorted, so that a rewrite changes the file
    if (c.blankingCommand) s.driver->menu(c.blankingCommand);
    if (c.settingsInTheWay) {
      std::filesystem::remove("pelinoru.win");
      std::filesystem::create_directory("pelinoru.win");
    }
    s.driver->menu(IdBunsekiout);
    if (c.settingsInTheWay) std::filesystem::remove("pelinoru.win");
    EXPECT_EQ(testsupport::readFile("ranking.dat") != ranking, c.written) << c.what;
    if (!c.written) {
      if (!c.settingsInTheWay) {
        EXPECT_EQ(testsupport::readFile("pelinoru.win"), original) << c.what;
        EXPECT_NE(s.at(0, 464).find("表示されていない"), std::string::npos) << c.what;
      }
      continue;
    }
    EXPECT_EQ(s.at(456, 0), "ﾁｬｰﾄ連動ｺｰﾄﾞ28件記憶済");
    // Repaints show the screen again and write nothing.
    testsupport::writeFile("pelinoru.win", "edited\n");
    testsupport::writeFile("ranking.dat", "edited\n");
    for (int i = 0; i < 3; ++i) s.driver->paint();
    EXPECT_EQ(testsupport::readFile("pelinoru.win"), "edited\n");
    EXPECT_EQ(testsupport::readFile("ranking.dat"), "edited\n");
  }
}

}  // namespace
