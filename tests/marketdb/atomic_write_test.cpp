// Replacing a text file: either the new contents in full, or the old file untouched and no
// temporary file left behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>

#include "marketdb/files.h"
#include "tests/support/test_support.h"

using namespace marketdb;
using testsupport::readFile;
using testsupport::TempWorkDir;
using testsupport::writeFile;

namespace {

// Names in the folder other than the given ones.
std::vector<std::string> strayFiles(const std::filesystem::path& dir,
                                    std::initializer_list<std::string> expected) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (std::find(expected.begin(), expected.end(), name) == expected.end()) out.push_back(name);
  }
  return out;
}

}  // namespace

TEST(AtomicWriteTest, ReplacesContentsAndKeepsPermissions) {
  TempWorkDir dir;
  writeFile("f.txt", "old contents that are longer\n");
  ::chmod("f.txt", 0640);
  ASSERT_TRUE(replaceFileAtomically("f.txt", "new\n"));
  EXPECT_EQ(readFile("f.txt"), "new\n");
  struct stat st {};
  ASSERT_EQ(::stat("f.txt", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_TRUE(strayFiles(dir.path(), {"f.txt"}).empty());
}

TEST(AtomicWriteTest, TargetThatCannotBeReplacedFailsCleanly) {
  TempWorkDir dir;
  std::filesystem::create_directory(SystemFileName);  // a folder in the way
  SystemFile sys;
  EXPECT_EQ(writeSystemFile(sys), FileStatus::WriteFailed);
  EXPECT_TRUE(std::filesystem::is_directory(SystemFileName));
  EXPECT_TRUE(strayFiles(dir.path(), {SystemFileName}).empty());

  std::filesystem::create_directory("gone");
  std::filesystem::remove("gone");
  EXPECT_FALSE(replaceFileAtomically("gone/pelinoru.win", "x"));
  EXPECT_TRUE(strayFiles(dir.path(), {SystemFileName}).empty());
}

TEST(AtomicWriteTest, FullDiskKeepsTheOldFile) {
  TempWorkDir dir;
  writeFile(IndexFileName, "0 1 1301 A 0 0\n");
  // Files may grow to 64 bytes only, as on a nearly full disk.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool ok = replaceFileAtomically(IndexFileName, std::string(1000, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(ok);
  EXPECT_EQ(readFile(IndexFileName), "0 1 1301 A 0 0\n");
  EXPECT_TRUE(strayFiles(dir.path(), {IndexFileName}).empty());
}

TEST(AtomicWriteTest, EveryWriterReportsFailure) {
  TempWorkDir dir;
  std::filesystem::create_directory(SettingsFileName);
  std::filesystem::create_directory(IndexFileName);
  SettingsFile win;
  EXPECT_EQ(writeSettingsFile(win), FileStatus::WriteFailed);
  auto table = std::make_unique<StockTable>();
  table->kcodeidx[0] = StockCodeEnd;
  EXPECT_EQ(writeStockTable(*table), FileStatus::WriteFailed);
  EXPECT_TRUE(strayFiles(dir.path(), {SettingsFileName, IndexFileName}).empty());
}
