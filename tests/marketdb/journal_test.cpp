// The writer lock and the change journal in one process: a second writer is kept out and told
// who holds the database; a journal of other files or a damaged one is set aside; a committed
// change keeps the previous generation of each text as NAME.bak. (Interrupted changes written
// back: fault_injection_test.)
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

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

// A reader inside when a writer comes is let finish, however long the writer would wait for
// another writer; without that grace the writer is refused and told that readers hold it.
TEST(DatabaseLock, AWriterWaitsForTheReadersInsideToFinish) {
  TempWorkDir dir;
  for (const bool grace : {false, true}) {
    DatabaseLock reader;
    ASSERT_EQ(reader.acquireShared(), DatabaseLock::Result::Acquired);
    std::thread done([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      reader.release();
    });
    DatabaseLock writer;
    const auto r = writer.acquire(std::chrono::milliseconds(50), {},
                                  std::chrono::milliseconds(grace ? 5000 : 0));
    done.join();
    EXPECT_EQ(r, grace ? DatabaseLock::Result::Acquired : DatabaseLock::Result::Busy);
    if (!grace) {
      EXPECT_NE(pelinor::text::toUtf8(writer.refusalMessage()).find("読み込み中"),
                std::string::npos);
    }
  }
}

// The write hook: the process ends before its N-th operation, as a killed program would.
bool exitAtNth(void* context) {
  int& left = *static_cast<int*>(context);
  if (--left == 0) ::_exit(0);
  return true;
}

// A change of pelinoru.dat (inside and beyond its end) and two texts, in a child process that
// is stopped before its N-th operation. True when it was stopped.
bool changeKilledAt(int n) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int left = n;
    setWriteHook(exitAtNth, &left);
    DatabaseChange c;
    const std::string x(40, 'x');
    if (c.lock() && c.openPrices() &&
        c.begin({{10, 20}, {90, 40}}, {IndexFileName, SystemFileName}) &&
        c.writePrices(10, reinterpret_cast<const unsigned char*>(x.data()), 20) &&
        c.writePrices(90, reinterpret_cast<const unsigned char*>(x.data()), 40))
      c.commit({{IndexFileName, "idx new\n"}, {SystemFileName, "sys new\n"}});
    ::_exit(1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A journal is written back only over the files it was written for: one copied from another
// database, or found with files put back since, is set aside and nothing is touched; one with
// a damaged byte anywhere is set aside after only its verified parts are written back, and
// keeps changes out until it is removed.
TEST(DatabaseChange, AJournalOfOtherFilesOrDamagedIsSetAside) {
  TempWorkDir dir;
  // A journal with its end record, the index already replaced.
  for (int n = 1;; ++n) {
    ASSERT_LT(n, 100);
    smallDatabase();
    std::filesystem::remove(JournalFileName);
    ASSERT_TRUE(changeKilledAt(n));
    if (readFile(IndexFileName) == "idx new\n" && readFile(SystemFileName) == "sys old\n") break;
  }
  const std::string journal = readFile(JournalFileName);
  const std::string killedDat = readFile(PriceFileName);
  ASSERT_FALSE(journal.empty());

  const std::pair<const char*, const char*> foreign[] = {{"idx other\n", "sys other\n"},
                                                         {"idx newer\n", "sys newer\n"}};
  for (const auto& [idx, sys] : foreign) {
    writeFile(IndexFileName, idx);
    writeFile(SystemFileName, sys);
    writeFile(JournalFileName, journal);
    const Recovery r = recoverDatabase();
    EXPECT_EQ(r.status, RecoveryStatus::Unmatched) << idx;
    EXPECT_EQ(readFile(IndexFileName), idx);
    EXPECT_EQ(readFile(PriceFileName), killedDat) << idx;
    EXPECT_EQ(readFile(UnmatchedJournalName), journal) << idx;
    EXPECT_NE(pelinor::text::toUtf8(r.message).find(UnmatchedJournalName), std::string::npos);
    DatabaseChange change;
    EXPECT_TRUE(change.lock()) << idx;
    std::filesystem::remove(UnmatchedJournalName);
  }

  // Bytes all over the journal damaged in turn: the header, every entry, the end record.
  for (std::size_t at = 0; at < journal.size(); at += at < 24 ? 3 : 7) {
    writeFile(PriceFileName, killedDat);
    writeFile(IndexFileName, "idx new\n");
    writeFile(SystemFileName, "sys old\n");
    std::string damaged = journal;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x20);
    writeFile(JournalFileName, damaged);
    const Recovery r = recoverDatabase();
    const std::string label = "byte " + std::to_string(at);
    ASSERT_EQ(r.status, RecoveryStatus::Damaged) << label;
    EXPECT_EQ(readFile(DamagedJournalName), damaged) << label;
    // Each part is in its state before the change or as the killed change left it.
    const std::string idx = readFile(IndexFileName), dat = readFile(PriceFileName);
    EXPECT_TRUE(idx == "idx old\n" || idx == "idx new\n") << label;
    EXPECT_TRUE(dat.size() == 100 || dat == killedDat) << label;
    EXPECT_EQ(readFile(SystemFileName), "sys old\n") << label;
    if (at < 24) {
      EXPECT_TRUE(idx == "idx new\n" && dat == killedDat) << label;
    }
    DatabaseChange change;
    EXPECT_FALSE(change.lock()) << label;
    EXPECT_NE(pelinor::text::toUtf8(change.message()).find(DamagedJournalName),
              std::string::npos);
    std::filesystem::remove(DamagedJournalName);
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
    // The journal's two writes, its flush, rename and its folder's flush, two record writes,
    // the flush of pelinoru.dat, two texts written and flushed, the journal's end record
    // written and flushed, two renames, the folder's flush and the journal's removal.
    EXPECT_EQ(failures, 18);
  }
}

}  // namespace
