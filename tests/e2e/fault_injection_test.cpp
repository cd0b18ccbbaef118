// A store, a settings save and a watch-list edit, each run by the real program with its N-th
// write failing (as on a full disk) and with the program stopped right after its N-th write,
// for every N the change makes. After each, both programs open the database, and the four files
// must then equal, byte for byte, either the state before the change or the state after it
// (so every earlier day is intact), with no journal or temporary file left behind. A change
// that reported a failure must have left the state before it. Every journal a stopped change
// leaves is also put beside another state of the database, where it must be set aside unused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

constexpr int KilledStatus = 86;  // the status a program ends with when stopped by the fault

std::string dayLine(const std::string& name, int close, const std::string& date,
                    const std::string& code10) {
  return "\"" + name + "\",1,1,1," + std::to_string(close) + ",0,10," + date + ",801," + code10 +
         "\n";
}

struct Files {
  std::string sys, win, idx, dat;
  bool operator==(const Files&) const = default;
};

Files database() {
  return {readFile("pelinoru.sys"), readFile("pelinoru.win"), readFile("pelinoru.idx"),
          readFile("pelinoru.dat")};
}

// Runs a program with a fault set for its writes (empty: none).
e2e::Result runWithFault(const std::string& program, const std::string& args,
                         const std::string& fault) {
  if (fault.empty())
    ::unsetenv("PELINOR_FAULT_WRITE");
  else
    ::setenv("PELINOR_FAULT_WRITE", fault.c_str(), 1);
  e2e::Result r = e2e::run(program, args);
  ::unsetenv("PELINOR_FAULT_WRITE");
  return r;
}

struct Change {
  const char* what;
  const char* program;
  const char* args;
  // Whether the program's output says the change failed.
  bool (*reportedFailure)(const e2e::Result&);
};

bool storeFailed(const e2e::Result& r) { return r.status != 0; }
bool messageShown(const e2e::Result& r) {
  return r.out.find("出力できません") != std::string::npos ||
         r.out.find("書き込み中") != std::string::npos;
}

class FaultInjection : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = dir_.path() / "base";
    fs::create_directory(base_);
    fs::current_path(base_);
    ASSERT_EQ(e2e::pelinorx("init W").status, 0);
    // Three earlier days of three stocks.
    const char* dates[] = {"991227", "991228", "991229"};
    for (int d = 0; d < 3; ++d) {
      writeFile(std::string("W") + dates[d],
                dayLine("AAAAAAAAAAAAAA", 100 + d, dates[d], "13010") +
                    dayLine("BBBBBBBBBBBBBB", 200 + d, dates[d], "13770") +
                    dayLine("CCCCCCCCCCCCCC", 300 + d, dates[d], "20010"));
      ASSERT_EQ(e2e::pelinorx(std::string("store W") + dates[d]).status, 0);
    }
    // The next day, with one stock missing and a new one.
    writeFile("W991230", dayLine("AAAAAAAAAAAAAA", 110, "991230", "13010") +
                             dayLine("CCCCCCCCCCCCCC", 310, "991230", "20010") +
                             dayLine("DDDDDDDDDDDDDD", 410, "991230", "30010"));
    e2e::writeScript("settings.script", {"menu 5", "keys 20T150", "key RETURN", "keys 99T99",
                                         "key RETURN"});
    e2e::writeScript("watch.script", {"keys 1377", "key RETURN", "key INSERT"});
    e2e::writeScript("open.script", {"paint"});
    // Another state of the database (a backup put back, or another folder's database): no
    // journal of a change of the base may be written back over it.
    other_ = dir_.path() / "other";
    fs::copy(base_, other_, fs::copy_options::recursive);
    fs::current_path(other_);
    writeFile("W991231", dayLine("AAAAAAAAAAAAAA", 120, "991231", "13010"));
    ASSERT_EQ(e2e::pelinorx("store W991231").status, 0);
    fs::current_path(dir_.path());
  }

  // The journal a stopped change left, put beside the other state: it is set aside unused.
  void journalOverOtherFiles(const std::string& journal, const std::string& label) {
    const fs::path here = fs::current_path();
    const fs::path work = dir_.path() / "work-other";
    fs::current_path(dir_.path());
    fs::remove_all(work);
    fs::copy(other_, work, fs::copy_options::recursive);
    fs::current_path(work);
    const Files before = database();
    writeFile("pelinoru.jnl", journal);
    const e2e::Result open = runWithFault("pelinorw", "--script open.script", "");
    EXPECT_EQ(open.status, 0) << label;
    EXPECT_TRUE(database() == before) << label << ": a journal of other files was written back";
    EXPECT_EQ(readFile("pelinoru.jnl.unmatched"), journal) << label;
    fs::current_path(here);
  }

  // A fresh copy of the base database, made the working folder.
  void freshCopy() {
    const fs::path work = dir_.path() / "work";
    fs::current_path(dir_.path());
    fs::remove_all(work);
    fs::copy(base_, work, fs::copy_options::recursive);
    fs::current_path(work);
  }

  // Both programs open the database, in the given order; after each the files must be in one
  // of the two states. Returns the number of states checked.
  int openAndCheck(const Files& before, const Files& after, bool viewerFirst,
                   const std::string& label, bool mustBeBefore) {
    int checked = 0;
    for (int k = 0; k < 2; ++k) {
      const bool viewer = (k == 0) == viewerFirst;
      const e2e::Result open =
          runWithFault(viewer ? "pelinorw" : "pelinorx", "--script open.script", "");
      EXPECT_EQ(open.status, 0) << label;
      EXPECT_EQ(open.out.find("[ﾌｧｲﾙ存在状況]"), std::string::npos) << label << open.out;
      const Files now = database();
      EXPECT_TRUE(now == before || now == after)
          << label << (viewer ? ", opened by pelinorw" : ", opened by pelinorx");
      if (mustBeBefore) {
        EXPECT_TRUE(now == before) << label << ": failure reported";
      }
      ++checked;
    }
    // Nothing of the interrupted change is left lying around.
    for (const auto& e : fs::directory_iterator(".")) {
      const std::string name = e.path().filename().string();
      EXPECT_TRUE(name.find(".tmp-") == std::string::npos &&
                  name.find(".bak-new-") == std::string::npos && name != "pelinoru.jnl")
          << label << ": " << name << " left behind";
    }
    return checked;
  }

  // Runs the change once for every N with each kind of fault; returns the states checked.
  int exercise(const Change& c, int& faults) {
    freshCopy();
    const Files before = database();
    const e2e::Result clean = runWithFault(c.program, c.args, "");
    EXPECT_FALSE(c.reportedFailure(clean)) << c.what << clean.out;
    const Files after = database();
    EXPECT_FALSE(after == before) << c.what << " changed nothing";

    int states = 0;
    int writes = 0;
    for (int n = 1; n < 200; ++n) {
      freshCopy();
      const std::string label = std::string(c.what) + " stopped after write " + std::to_string(n);
      const e2e::Result r = runWithFault(c.program, c.args, "kill:" + std::to_string(n));
      if (r.status != KilledStatus) {
        // No N-th write: the change ran to its end.
        EXPECT_TRUE(database() == after) << label;
        break;
      }
      writes = n;
      ++faults;
      if (const std::string journal = readFile("pelinoru.jnl"); !journal.empty())
        journalOverOtherFiles(journal, label);
      states += openAndCheck(before, after, n % 2 == 0, label, false);
    }
    EXPECT_GT(writes, 5) << c.what;
    for (int n = 1; n <= writes; ++n) {
      freshCopy();
      const std::string label = std::string(c.what) + " with write " + std::to_string(n) +
                                " failing";
      const e2e::Result r = runWithFault(c.program, c.args, "fail:" + std::to_string(n));
      ++faults;
      states += openAndCheck(before, after, n % 2 == 1, label, c.reportedFailure(r));
    }
    std::cout << "[ faults   ] " << c.what << ": " << writes << " writes\n";
    return states;
  }

  testsupport::TempWorkDir dir_;
  fs::path base_;
  fs::path other_;
};

TEST_F(FaultInjection, EveryInterruptedChangeLeavesTheStateBeforeOrAfterIt) {
  const Change changes[] = {
      {"store", "pelinorx", "store W991230", storeFailed},
      {"settings save", "pelinorx", "--script settings.script", messageShown},
      {"watch-list edit", "pelinorw", "--script watch.script", messageShown},
  };
  int states = 0;
  int faults = 0;
  for (const Change& c : changes) states += exercise(c, faults);
  std::cout << "[ faults   ] " << faults << " faults injected, " << states
            << " states checked\n";
  RecordProperty("faults", faults);
  RecordProperty("states", states);
  EXPECT_GT(states, 0);
}

}  // namespace
