// pelinorx init and pelinorx store as a user runs them: the built program in a temporary
// working folder, its exit status and what it prints.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

using e2e::pelinorx;
using e2e::Result;

std::string line(const std::string& name, int close, int change, const std::string& date,
                 const std::string& code10) {
  return "\"" + name + "\",1,1,1," + std::to_string(close) + "," + std::to_string(change) +
         ",10," + date + ",801," + code10 + "\n";
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

const std::string Done =
    "正常に格納処理終了しました。時々pelinoru.(sys idx dat win)をﾊﾞｯｸｱｯﾌﾟしましょう";

std::string database() {
  return readFile("pelinoru.sys") + "|" + readFile("pelinoru.win") + "|" +
         readFile("pelinoru.idx") + "|" + readFile("pelinoru.dat");
}

TEST(StoreBatch, InitCreatesAnEmptyDatabaseAndNeverOverwritesOne) {
  testsupport::TempWorkDir dir;
  EXPECT_EQ(pelinorx("init").status, 2);
  EXPECT_EQ(pelinorx("init X").status, 2);
  EXPECT_EQ(pelinorx("init W N").status, 2);
  EXPECT_FALSE(fs::exists("pelinoru.sys"));

  const Result run = pelinorx("init N");
  EXPECT_EQ(run.status, 0) << run.out;
  const auto sys = lines(readFile("pelinoru.sys"));
  ASSERT_EQ(sys.size(), 3u);
  EXPECT_EQ(sys[0], "   0      0    0   0");
  const auto win = lines(readFile("pelinoru.win"));
  ASSERT_EQ(win.size(), 12u);
  EXPECT_EQ(win[0].substr(0, 2), "0 ");
  // Kind 1, black background, the peak sign on.
  EXPECT_EQ(win[3].substr(0, 8), "1 0 0 0 ");
  EXPECT_NE(win[3].find(" 1 0 0 0 0 0"), std::string::npos) << win[3];
  for (int i = 6; i < 12; ++i) EXPECT_EQ(win[i], "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0");
  EXPECT_TRUE(fs::exists("pelinoru.idx"));
  EXPECT_EQ(fs::file_size("pelinoru.idx"), 0u);
  EXPECT_EQ(fs::file_size("pelinoru.dat"), 0u);

  const std::string before = database();
  const Result again = pelinorx("init W");
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.out.find("pelinoru.sys が既に存在します"), std::string::npos) << again.out;
  EXPECT_EQ(database(), before);
  // One file left over is enough to refuse.
  for (const char* name : {"pelinoru.sys", "pelinoru.win", "pelinoru.dat"}) fs::remove(name);
  EXPECT_EQ(pelinorx("init W").status, 1);
  EXPECT_FALSE(fs::exists("pelinoru.sys"));
}

TEST(StoreBatch, StoresFilesInOrderAndPrintsTheScreenLines) {
  testsupport::TempWorkDir dir;
  ASSERT_EQ(pelinorx("init W").status, 0);
  EXPECT_EQ(pelinorx("store").status, 2);
  fs::create_directory("daily");
  writeFile("daily/W991229", line("AAAAAAAAAAAAAA", 100, 0, "991229", "72030") +
                                 line("BBBBBBBBBBBBBB", 50, 0, "991229", "67580"));
  writeFile("daily/W991230", line("AAAAAAAAAAAAAA", 110, 10, "991230", "72030") +
                                 "\"BIGXXXXXXXXXXX\",1,1,1,40000,0,10,991230,801,13010\n");
  const Result run = pelinorx("store daily/W991229 daily/W991230");
  EXPECT_EQ(run.status, 0);
  const std::vector<std::string> expected = {
      "格納中991229位置  1", Done, "格納中991230位置  2",
      "価格が範囲外のため格納しません: ｺｰﾄﾞ1301", Done,
      "格納済みの最後のﾌｧｲﾙ: daily/W991230"};
  EXPECT_EQ(lines(run.out), expected);
  EXPECT_EQ(run.out.find('\a'), std::string::npos);
  EXPECT_EQ(lines(readFile("pelinoru.sys"))[0], "   0 991230    0   2");
  EXPECT_EQ(readFile("pelinoru.idx"),
            "0 1 6758 BBBBBBBBBBBBBB    1   0\n0 1 7203 AAAAAAAAAAAAAA    0  10\n");
}

TEST(StoreBatch, StopsAtTheFirstRefusedFile) {
  testsupport::TempWorkDir dir;
  ASSERT_EQ(pelinorx("init W").status, 0);
  writeFile("W991229", line("AAAAAAAAAAAAAA", 100, 0, "991229", "72030"));
  writeFile("W991228", line("AAAAAAAAAAAAAA", 100, 0, "991228", "72030"));
  writeFile("W991230", line("AAAAAAAAAAAAAA", 100, 0, "991230", "72030"));
  const Result run = pelinorx("store W991229 W991228 W991230");
  EXPECT_EQ(run.status, 1);
  const std::vector<std::string> expected = {
      "格納中991229位置  1", Done, "今回格納日付991228が前回格納日付991229より後でないので格納処理しません",
      "格納済みの最後のﾌｧｲﾙ: W991229"};
  EXPECT_EQ(lines(run.out), expected);
  EXPECT_EQ(lines(readFile("pelinoru.sys"))[0], "   0 991229    0   1");

  // A file of the other market family is refused by its letter, also inside a folder named W.
  const std::string before = database();
  fs::create_directory("W");
  writeFile("W/N991230", readFile("W991230"));
  const Result other = pelinorx("store W/N991230");
  EXPECT_EQ(other.status, 1);
  EXPECT_EQ(lines(other.out),
            std::vector<std::string>{
                "他市場の日々株価データを格納しようとした、ＷＮを確認！もう一度"});
  EXPECT_EQ(database(), before);

  const Result missing = pelinorx("store W991231");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(lines(missing.out),
            std::vector<std::string>{"目的のW991231ﾌｧｲﾙが" + fs::current_path().string() +
                                     "にありません"});
  EXPECT_EQ(database(), before);
}

TEST(StoreBatch, WithoutADatabaseTheStoreNamesTheMissingFile) {
  testsupport::TempWorkDir dir;
  writeFile("W991230", line("AAAAAAAAAAAAAA", 100, 0, "991230", "72030"));
  const Result run = pelinorx("store W991230");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(lines(run.out), std::vector<std::string>{"[ﾌｧｲﾙ存在状況] pelinoru.win が存在しません"});
  EXPECT_FALSE(fs::exists("pelinoru.dat"));
}

TEST(StoreBatch, TheWindowStoresThroughAScript) {
  testsupport::TempWorkDir dir;
  ASSERT_EQ(pelinorx("init W").status, 0);
  writeFile("W991230", line("AAAAAAAAAAAAAA", 100, 0, "991230", "72030"));
  writeFile("script", "menu 1\nkeys W991230\nkey RETURN\ndump paint.txt\n");
  const Result run = pelinorx("--script script");
  EXPECT_EQ(run.status, 0);
  const std::string paint = readFile("paint.txt");
  EXPECT_NE(paint.find("text 0 144 FFFFFF \"" + Done + "\""), std::string::npos) << paint;
  EXPECT_NE(paint.find("text 454 80 FFFF00 \"W991230\""), std::string::npos);
  EXPECT_EQ(lines(readFile("pelinoru.sys"))[0], "   0 991230    0   1");
}

}  // namespace
