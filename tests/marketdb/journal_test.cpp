// The writer lock and the change journal in one process: a second writer is kept out and told
// who holds the database; an interrupted change is written back by the next opener; a committed
// one keeps the previous generation of each text as NAME.bak.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "marketdb/db_lock.h"
#include "marketdb/files.h"
#include "marketdb/journal.h"
#include "platform/text/cp932.h"
#include "tests/support/test_support.h"

using namespace marketdb;
using testsupport::readFile;
using testsupport::TempWorkDir;
using testsupport::writeFile;

namespace {

void smallDatabase() {
  writeFile(SystemFileName, "sys old\n");
  writeFile(IndexFileName, "idx old\n");
  writeFile(PriceFileName, std::string(100, 'a'));
}

// Runs `body` in a child process that ends without any cleanup, as a killed program would.
template <typename F>
void inKilledChild(F body) {
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    body();
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
}

TEST(DatabaseLock, ASecondWriterWaitsThenIsToldWhoHoldsTheDatabase) {
  TempWorkDir dir;
  setLockOwnerName("pelinorx");
  DatabaseLock first;
  ASSERT_EQ(first.acquire(), DatabaseLock::Result::Acquired);
  DatabaseLock second;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(second.acquire(std::chrono::milliseconds(200)), DatabaseLock::Result::Busy);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  const std::string expected = "pelinorx pid " + std::to_string(::getpid());
  EXPECT_EQ(second.holder(), expected);
  EXPECT_NE(pelinor::text::toUtf8(second.refusalMessage()).find(expected + " が書き込み中"),
            std::string::npos);
  first.release();
  EXPECT_EQ(second.acquire(std::chrono::milliseconds(0)), DatabaseLock::Result::Acquired);
}

TEST(DatabaseChange, AKilledChangeIsWrittenBackByTheNextOpener) {
  TempWorkDir dir;
  smallDatabase();
  inKilledChild([] {
    DatabaseChange change;
    if (!change.lock() || !change.openPrices()) return;
    // Regions inside and beyond the file's end, then the texts half replaced.
    if (!change.begin({{10, 20}, {90, 40}}, {IndexFileName, SystemFileName})) return;
    const std::string x(40, 'x');
    change.writePrices(10, reinterpret_cast<const unsigned char*>(x.data()), 20);
    change.writePrices(90, reinterpret_cast<const unsigned char*>(x.data()), 40);
    writeFile(IndexFileName, "idx half new\n");
    ::_exit(0);
  });
  EXPECT_TRUE(std::filesystem::exists(JournalFileName));
  EXPECT_EQ(readFile(PriceFileName).size(), 130u);
  EXPECT_EQ(recoverDatabase().status, RecoveryStatus::RolledBack);
  EXPECT_EQ(readFile(PriceFileName), std::string(100, 'a'));
  EXPECT_EQ(readFile(IndexFileName), "idx old\n");
  EXPECT_EQ(readFile(SystemFileName), "sys old\n");
  EXPECT_FALSE(std::filesystem::exists(JournalFileName));
  EXPECT_EQ(recoverDatabase().status, RecoveryStatus::Clean);
}

TEST(DatabaseChange, AJournalThatWasNotCompletedIsOnlyRemoved) {
  TempWorkDir dir;
  smallDatabase();
  const std::string damaged[] = {"", "PLNJRN01", std::string(64, 'z'),
                                 "PLNJRN01" + std::string(40, '\0')};
  for (const std::string& journal : damaged) {
    writeFile(JournalFileName, journal);
    writeFile("pelinoru.idx.tmp-999999999", "stale");
    EXPECT_EQ(recoverDatabase().status, RecoveryStatus::RolledBack) << journal.size();
    EXPECT_EQ(readFile(PriceFileName), std::string(100, 'a'));
    EXPECT_EQ(readFile(IndexFileName), "idx old\n");
    EXPECT_FALSE(std::filesystem::exists(JournalFileName));
    EXPECT_FALSE(std::filesystem::exists("pelinoru.idx.tmp-999999999"));
  }
}

TEST(DatabaseChange, ACommittedChangeKeepsThePreviousGenerationAsBak) {
  TempWorkDir dir;
  smallDatabase();
  for (const char* next : {"idx 2\n", "idx 3\n"}) {
    const std::string previous = readFile(IndexFileName);
    DatabaseChange change;
    ASSERT_TRUE(change.lock());
    ASSERT_TRUE(change.replaceTexts({{IndexFileName, next}}));
    EXPECT_EQ(readFile(IndexFileName), next);
    EXPECT_EQ(readFile("pelinoru.idx.bak"), previous);
    EXPECT_FALSE(std::filesystem::exists(JournalFileName));
  }
  EXPECT_EQ(readFile(SystemFileName), "sys old\n");
  EXPECT_FALSE(std::filesystem::exists("pelinoru.sys.bak"));
}

// The write hook: the first write of the change (its journal) fails.
bool failFirst(void* context) {
  int& count = *static_cast<int*>(context);
  return ++count != 1;
}

TEST(DatabaseChange, AFailedJournalWritesNothingAndNamesTheJournal) {
  TempWorkDir dir;
  smallDatabase();
  int count = 0;
  setWriteHook(failFirst, &count);
  DatabaseChange change;
  ASSERT_TRUE(change.lock());
  EXPECT_FALSE(change.replaceTexts({{SystemFileName, "sys new\n"}}));
  setWriteHook(nullptr, nullptr);
  EXPECT_EQ(pelinor::text::toUtf8(change.message()), "pelinoru.jnl が出力できません");
  EXPECT_EQ(readFile(SystemFileName), "sys old\n");
  EXPECT_FALSE(std::filesystem::exists(JournalFileName));
}

// The write hook: the N-th operation fails; counts them all.
struct FailNth {
  int n = 0;
  int count = 0;
};
bool failNth(void* context) {
  FailNth& f = *static_cast<FailNth*>(context);
  return ++f.count != f.n;
}

// A change with pelinoru.dat flushed on its second thread while the texts are written: with
// each of its operations failing in turn (the journal, the record writes, the flush of
// pelinoru.dat, the temporary texts, their flushes, the renames), the change reports the
// failure and the files are as before, with nothing left behind; and only the change that
// failed nowhere replaces anything.
TEST(DatabaseChange, AChangeFailingAtAnyStepLeavesTheFilesAsTheyWere) {
  TempWorkDir dir;
  const std::string x(40, 'x');
  auto change = [&x](bool earlyFlush) {
    DatabaseChange c;
    if (!c.lock() || !c.openPrices()) return false;
    if (!c.begin({{10, 20}, {90, 40}}, {IndexFileName, SystemFileName})) return false;
    if (!c.writePrices(10, reinterpret_cast<const unsigned char*>(x.data()), 20)) return false;
    if (!c.writePrices(90, reinterpret_cast<const unsigned char*>(x.data()), 40)) return false;
    if (earlyFlush && !c.startPriceFlush()) return false;
    return c.commit({{IndexFileName, "idx new\n"}, {SystemFileName, "sys new\n"}});
  };
  for (bool earlyFlush : {true, false}) {
    int failures = 0;
    for (int n = 1;; ++n) {
      smallDatabase();
      FailNth fault{n, 0};
      setWriteHook(failNth, &fault);
      const bool ok = change(earlyFlush);
      setWriteHook(nullptr, nullptr);
      const std::string label = "operation " + std::to_string(n);
      if (ok) {
        // Failures the change can do without (the link keeping the previous generation, what
        // follows the commit) leave the state after it.
        EXPECT_EQ(readFile(PriceFileName), std::string(10, 'a') + std::string(20, 'x') +
                                               std::string(60, 'a') + std::string(40, 'x'))
            << label;
        EXPECT_EQ(readFile(IndexFileName), "idx new\n") << label;
        EXPECT_EQ(readFile(SystemFileName), "sys new\n") << label;
        EXPECT_FALSE(std::filesystem::exists(JournalFileName)) << label;
        if (fault.count < n) break;  // no N-th operation: every one has been failed
        continue;
      }
      ++failures;
      EXPECT_EQ(readFile(PriceFileName), std::string(100, 'a')) << label;
      EXPECT_EQ(readFile(IndexFileName), "idx old\n") << label;
      EXPECT_EQ(readFile(SystemFileName), "sys old\n") << label;
      for (const auto& e : std::filesystem::directory_iterator(".")) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name.find(".tmp-") == std::string::npos &&
                    name.find(".bak-new-") == std::string::npos && name != JournalFileName)
            << label << ": " << name << " left behind";
      }
      ASSERT_LT(n, 100);
    }
    // The journal, its flush and its folder's, two record writes, the flush of pelinoru.dat,
    // two texts written and flushed, two renames, the folder's flush and the journal's removal.
    EXPECT_EQ(failures, 14);
  }
}

}  // namespace
