// pelinorx init --wide as a user runs it, and every other command and the viewer on the folder
// it made: the files it writes byte for byte, and the one refusal of a kind this version
// cannot yet store, analyse or show.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using e2e::pelinorx;
using e2e::Result;
using testsupport::readFile;
using testsupport::writeFile;

// The files of a folder and their bytes; the lock file, which names its last holder, aside.
std::map<std::string, std::string> folderBytes(const fs::path& folder) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename() != "pelinoru.lck") out[e.path().filename().string()] = readFile(e.path());
  return out;
}

// Which files differ, for a short failure message.
std::string differences(const std::map<std::string, std::string>& a,
                        const std::map<std::string, std::string>& b) {
  std::string out;
  for (const auto& [name, bytes] : a)
    if (!b.count(name) || b.at(name) != bytes) out += name + " ";
  for (const auto& [name, bytes] : b)
    if (!a.count(name)) out += name + " ";
  return out;
}

// The lines of `text` from line `from` (0-based) to before line `to`.
std::string lineRange(const std::string& text, int from, int to) {
  std::string out;
  int n = 0;
  for (const std::string& l : e2e::splitLines(text)) {
    if (n >= from && n < to) out += l + "\n";
    ++n;
  }
  return out;
}

// The 4,096-byte header of an empty wide price file, made from its field list.
std::string emptyHeader() {
  std::string b = std::string("PLNWDAT") + '\0';
  for (std::uint32_t v : {1u, 4096u, 32u, 640u, 10000u, 0u})
    for (int i = 0; i < 4; ++i) b += static_cast<char>(v >> (8 * i));
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (unsigned char c : b) h = (h ^ c) * 0x100000001b3ULL;
  for (int i = 0; i < 8; ++i) b += static_cast<char>(h >> (8 * i));
  return b + std::string(4096 - 40, '\0');
}

TEST(WideDatabase, InitWritesTheWideFilesAndOtherCommandsRefuseThem) {
  testsupport::TempWorkDir dir;
  fs::create_directory("classic");
  fs::create_directory("wide");
  ASSERT_EQ(pelinorx("-C classic init N").status, 0);
  const Result init = pelinorx("-C wide init N --wide");
  ASSERT_EQ(init.status, 0) << init.out;

  // The settings and periods are the classic defaults; the wide parts are the magic lines,
  // the full-date system line and the code positions.
  const std::string classicSys = readFile("classic/pelinoru.sys");
  const std::string classicWin = readFile("classic/pelinoru.win");
  std::string zeros;
  for (int l = 0; l < 6; ++l) {
    for (int i = 0; i < 20; ++i) zeros += i ? " 0" : "0";
    zeros += "\n";
  }
  const std::map<std::string, std::string> expected = {
      {"pelwide.idx", "PELWIDE IDX 1\n"},
      {"pelwide.dat", emptyHeader()},
      {"pelwide.sys", "PELWIDE SYS 1\n   0        0     0   0\n" + lineRange(classicSys, 1, 3)},
      {"pelwide.win", "PELWIDE WIN 1\n" + lineRange(classicWin, 0, 6) + zeros},
  };
  EXPECT_EQ(differences(folderBytes("wide"), expected), "");

  // Nothing is made over a database of either kind, and nothing there is touched.
  for (const char* command : {"-C wide init N --wide", "-C wide init W", "-C classic init W --wide"}) {
    const Result r = pelinorx(command);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_NE(r.out.find("既存のデータベースは上書きしません"), std::string::npos) << r.out;
  }
  EXPECT_EQ(differences(folderBytes("wide"), expected), "");

  writeFile("wide/W240105", "\"A\",1,1,1,1,0,10,240105,801,13010\n");
  const std::string wideRefusal = "このフォルダのデータベースはワイド形式です";
  for (const char* command : {"store W240105", "analyze 240104", "clear-stale", "import x.csv"}) {
    const Result r = pelinorx(std::string("-C wide ") + command);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_NE(r.out.find(wideRefusal), std::string::npos) << command << ": " << r.out;
  }
  fs::remove("wide/W240105");
  EXPECT_EQ(differences(folderBytes("wide"), expected), "");

  e2e::writeScript("wide/events.txt", {"paint"});
  const Result viewer = e2e::run("pelinorw", "-C wide --script events.txt", true);
  EXPECT_NE(viewer.out.find(wideRefusal), std::string::npos) << viewer.out;
  // The database program says it at its start and again for each command chosen.
  e2e::writeScript("wide/menus.txt", {"menu 1", "paint", "menu 2", "paint"});
  const std::string shell = e2e::run("pelinorx", "-C wide --script menus.txt", true).out;
  int said = 0;
  for (std::size_t at = shell.find(wideRefusal); at != std::string::npos;
       at = shell.find(wideRefusal, at + 1))
    ++said;
  EXPECT_EQ(said, 3) << shell;

  // Both kinds in one folder: refused, even for the classic commands.
  fs::copy_file("wide/pelwide.sys", "classic/pelwide.sys");
  const Result both = pelinorx("-C classic analyze 240104");
  EXPECT_EQ(both.status, 1);
  EXPECT_NE(both.out.find("従来形式とワイド形式の２つのデータベースがあります"), std::string::npos)
      << both.out;
}

}  // namespace
