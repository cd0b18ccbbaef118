// What the programs do with what they did not make or cannot trust: a lost index line, a
// journal of other files or a damaged one, files of the user that look temporary, writes that
// are refused, a store in several groups, a daily file of 2 GB without line feeds. One table:
// each case prepares a copy of one database, runs one command, and checks the output, the
// exit status and the files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "marketdb/db_lock.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

std::string dayLine(const std::string& name, int close, const std::string& date,
                    const std::string& code10) {
  return "\"" + name + "\",1,1,1," + std::to_string(close) + ",0,10," + date + ",801," + code10 +
         "\n";
}
std::string dayOf(int n) { return "9901" + std::string(n < 10 ? "0" : "") + std::to_string(n); }
std::string fileOf(int n) {
  std::string name = "W";
  name += dayOf(n);
  return name;
}
std::string dayFile(int n) {
  return dayLine("AAAAAAAAAAAAAA", 100 + n, dayOf(n), "13010") +
         dayLine("BBBBBBBBBBBBBB", 200 + n, dayOf(n), "13770") +
         dayLine("CCCCCCCCCCCCCC", 300 + n, dayOf(n), "20010");
}

std::string files() {
  return readFile("pelinoru.sys") + "|" + readFile("pelinoru.win") + "|" +
         readFile("pelinoru.idx") + "|" + readFile("pelinoru.dat");
}
void putFiles(const fs::path& from) {
  for (const char* name : {"pelinoru.sys", "pelinoru.win", "pelinoru.idx", "pelinoru.dat"})
    writeFile(name, readFile(from / name));
}

// Stores day n in the working folder, stopped after its k-th write, for the first k that leaves
// a journal whose change had replaced a text already (else the last k that leaves a journal).
// The folder is left as that store left it; returns the journal.
std::string killedStore(int n) {
  const fs::path start = fs::current_path().parent_path() / "start";
  fs::remove_all(start);
  fs::create_directory(start);
  for (const char* name : {"pelinoru.sys", "pelinoru.win", "pelinoru.idx", "pelinoru.dat"})
    fs::copy_file(name, start / name);
  writeFile(fileOf(n), dayFile(n));
  std::string journal;
  int chosen = 0;
  const auto killAt = [&](int k) {
    putFiles(start);
    fs::remove("pelinoru.jnl");
    ::setenv("PELINOR_FAULT_WRITE", ("kill:" + std::to_string(k)).c_str(), 1);
    e2e::pelinorx("store " + fileOf(n));
    ::unsetenv("PELINOR_FAULT_WRITE");
    return readFile("pelinoru.jnl");
  };
  for (int k = 1; k < 60; ++k) {
    const std::string j = killAt(k);
    if (j.empty()) continue;
    journal = j;
    chosen = k;
    if (readFile("pelinoru.idx") != readFile(start / "pelinoru.idx")) return journal;
  }
  if (chosen > 0) killAt(chosen);
  return journal;
}

struct Case {
  const char* what;
  std::function<void()> prepare;    // in the copy, before the command
  const char* program;
  std::string args;
  int status;
  const char* says;                 // a text the output holds (UTF-8), or nullptr
  std::function<void(const std::string& label)> check;  // the files afterwards
};

class ReliabilityCases : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = dir_.path() / "base";
    fs::create_directory(base_);
    fs::current_path(base_);
    ASSERT_EQ(e2e::pelinorx("init W").status, 0);
    for (int n = 1; n <= 3; ++n) {
      writeFile(fileOf(n), dayFile(n));
      ASSERT_EQ(e2e::pelinorx("store " + fileOf(n)).status, 0);
      fs::remove(fileOf(n));
    }
    // The same database two days on: a newer backup, or another folder's database.
    fs::copy(base_, dir_.path() / "newer", fs::copy_options::recursive);
    fs::current_path(dir_.path() / "newer");
    for (int n = 4; n <= 5; ++n) {
      writeFile(fileOf(n), dayFile(n));
      ASSERT_EQ(e2e::pelinorx("store " + fileOf(n)).status, 0);
    }
    e2e::writeScript(base_ / "open.script", {"paint"});
    e2e::writeScript(base_ / "watch.script", {"keys 1377", "key RETURN", "key INSERT"});
    e2e::writeScript(base_ / "export.script", {"keys 1377", "key RETURN", "key F1"});
    e2e::writeScript(base_ / "settings.script",
                     {"menu 5", "keys 20T150", "key RETURN", "keys 99T99", "key RETURN"});
    fs::current_path(dir_.path());
  }

  void run(const Case& c) {
    const fs::path work = dir_.path() / "work";
    fs::current_path(dir_.path());
    fs::remove_all(work);
    fs::copy(base_, work, fs::copy_options::recursive);
    fs::current_path(work);
    c.prepare();
    const e2e::Result r = e2e::run(c.program, c.args, true);
    EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.out;
    if (c.says) {
      EXPECT_NE(r.out.find(c.says), std::string::npos) << c.what << "\n" << r.out;
    }
    c.check(c.what);
    fs::current_path(dir_.path());
  }

  testsupport::TempWorkDir dir_;
  fs::path base_;
};

TEST_F(ReliabilityCases, EachCaseEndsAsItShould) {
  const fs::path newer = dir_.path() / "newer";
  std::string before;       // the files before the command
  std::string backup;       // what the user put back
  std::string journal;
  marketdb::DatabaseLock held;
  const auto unchanged = [&](const std::string& label) { EXPECT_EQ(files(), before) << label; };
  std::vector<std::string> fortyDates;  // after the base's days, ascending
  std::string fortyNames;
  for (int n = 0; n < 40; ++n) {
    char date[8];
    std::snprintf(date, sizeof date, "99%02d%02d", 2 + n / 28, 1 + n % 28);
    fortyDates.push_back(date);
    fortyNames += std::string(" W") + date;
  }

  const Case cases[] = {
      {"an index line lost in the middle",
       [&] {
         std::string idx = readFile("pelinoru.idx");
         const std::size_t b = idx.find("1377");
         idx.erase(idx.rfind('\n', b) + 1, idx.find('\n', b) - idx.rfind('\n', b));
         writeFile("pelinoru.idx", idx);
         writeFile("W990104", dayFile(4));
         before = files();
       },
       "pelinorx", "store W990104", 1, "pelinoru.idx.bak", unchanged},
      {"a journal copied from another database folder",
       [&] {
         fs::copy(newer, "other", fs::copy_options::recursive);
         fs::current_path("other");
         journal = killedStore(6);
         fs::current_path("..");
         writeFile("pelinoru.jnl", journal);
         before = files();
       },
       "pelinorw", "--script open.script", 0, "pelinoru.jnl.unmatched",
       [&](const std::string& label) {
         unchanged(label);
         EXPECT_EQ(readFile("pelinoru.jnl.unmatched"), journal) << label;
         EXPECT_FALSE(fs::exists("pelinoru.jnl")) << label;
       }},
      {"a newer backup put back after a crash",
       [&] {
         journal = killedStore(4);
         putFiles(newer);
         before = files();
       },
       "pelinorx", "analyze 0", 0, "pelinoru.jnl.unmatched", unchanged},
      {"a journal with one damaged byte",
       [&] {
         journal = killedStore(4);
         journal[journal.size() / 2] ^= 0x01;
         writeFile("pelinoru.jnl", journal);
         writeFile("W990105", dayFile(5));
       },
       "pelinorx", "store W990105", 1, "pelinoru.jnl.damaged",
       [&](const std::string& label) {
         EXPECT_EQ(readFile("pelinoru.jnl.damaged"), journal) << label;
         // Nothing is written until the user has removed it.
         EXPECT_EQ(e2e::pelinorx("store W990105").status, 1) << label;
         fs::remove("pelinoru.jnl.damaged");
         EXPECT_EQ(e2e::pelinorx("store W990105").status, 0) << label;
       }},
      {"files of the user with temporary-looking names",
       [&] {
         writeFile("notes.tmp-20240104", "mine");
         writeFile("prices.csv.bak-new-99999", "mine too");
         writeFile("pelinoru.idx.tmp-999999999", "left by a dead writer");
       },
       "pelinorw", "--script open.script", 0, nullptr,
       [&](const std::string& label) {
         EXPECT_EQ(readFile("notes.tmp-20240104"), "mine") << label;
         EXPECT_EQ(readFile("prices.csv.bak-new-99999"), "mine too") << label;
         EXPECT_FALSE(fs::exists("pelinoru.idx.tmp-999999999")) << label;
       }},
      {"an export with a folder in its way", [&] { fs::create_directory("kabudata.txt"); },
       "pelinorw", "--script export.script", 1, "kabudata.txt",
       [&](const std::string&) {}},
      {"a settings save while another program writes",
       [&] {
         before = files();
         ASSERT_EQ(held.acquire(), marketdb::DatabaseLock::Result::Acquired);
       },
       "pelinorx", "--script settings.script", 1, nullptr,
       [&](const std::string& label) {
         held.release();
         unchanged(label);
       }},
      {"a store of 40 files, committed in two groups",
       [&] {
         before = readFile("pelinoru.idx") + readFile("pelinoru.sys");
         for (const std::string& date : fortyDates)
           writeFile(std::string("W").append(date), dayLine("AAAAAAAAAAAAAA", 100, date, "13010") +
                                     dayLine("DDDDDDDDDDDDDD", 400, date, "30010"));
       },
       "pelinorx", "store" + fortyNames, 0, nullptr,
       [&](const std::string& label) {
         EXPECT_EQ(readFile("pelinoru.idx.bak") + readFile("pelinoru.sys.bak"), before) << label;
       }},
      {"a daily file of 2 GB without a line feed",
       [&] {
         writeFile("W990104", "");
         fs::resize_file("W990104", 2ull << 30);
         before = files();
       },
       "pelinorx", "store W990104", 1, "1024", unchanged},
  };
  for (const Case& c : cases) run(c);
}

}  // namespace
