// The database under a damaged index, two writers at once, batches stored in groups, readers
// during a store, and input the programs did not make or cannot trust.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
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

std::string database() {
  return readFile("pelinoru.sys") + "|" + readFile("pelinoru.win") + "|" +
         readFile("pelinoru.idx") + "|" + readFile("pelinoru.dat");
}

// The n-th date from 990104 on, 28 days a month.
std::string dateOf(int n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "99%02d%02d", 1 + n / 28 % 12, 1 + n % 28);
  return buf;
}

// A day of three stocks; on some days one is missing, from day 3 on a fourth one trades, and
// every seventh file holds two dates.
std::string dayFile(int n) {
  const std::string date = dateOf(2 * n);
  std::string text = dayLine("AAAAAAAAAAAAAA", 100 + n, date, "13010");
  if (n % 5 != 2) text += dayLine("BBBBBBBBBBBBBB", 200 + n, date, "13770");
  text += dayLine("CCCCCCCCCCCCCC", 300 + n, date, "20010");
  if (n >= 3) text += dayLine("DDDDDDDDDDDDDD", 400 + n, date, "30010");
  if (n % 7 == 6) text += dayLine("AAAAAAAAAAAAAA", 150 + n, dateOf(2 * n + 1), "13010");
  return text;
}

// The daily file's name of the n-th day.
std::string fileOf(int n) {
  std::string name = "W";
  name += dateOf(2 * n);
  return name;
}

void makeDatabase(int days) {
  ASSERT_EQ(e2e::pelinorx("init W").status, 0);
  for (int n = 0; n < days; ++n) {
    writeFile(fileOf(n), dayFile(n));
    ASSERT_EQ(e2e::pelinorx("store " + fileOf(n)).status, 0);
  }
}

TEST(Reliability, ADamagedIndexIsRefusedNamingTheLineAndNothingIsWritten) {
  struct Case {
    const char* what;
    int line;              // the line replaced (1-based)
    std::string text;      // its new text ("" removes every line from it on)
    const char* expected;  // in the output
  };
  const Case cases[] = {
      {"a 15-byte name", 2, "0 1 1377 BBBBBBBBBBBBBBB    1   0", "pelinoru.idx の2行目"},
      {"a missing field", 1, "0 1 1301 AAAAAAAAAAAAAA    0", "pelinoru.idx の1行目"},
      {"slot 2147483647", 2, "0 1 1377 BBBBBBBBBBBBBB 2147483647 0", "2147483647"},
      {"slot 1000000000", 2, "0 1 1377 BBBBBBBBBBBBBB 1000000000 0", "1000000000"},
      {"slot -1", 3, "0 1 2001 CCCCCCCCCCCCCC -1 0", "pelinoru.idx の3行目の記録位置-1"},
      {"the index emptied", 1, "", "pelinoru.idx"},
      {"the last lines lost", 3, "", "pelinoru.dat"},
  };
  for (const Case& c : cases) {
    testsupport::TempWorkDir dir;
    makeDatabase(4);
    std::vector<std::string> lines = e2e::splitLines(readFile("pelinoru.idx"));
    ASSERT_EQ(lines.size(), 4u);
    if (c.text.empty())
      lines.resize(static_cast<std::size_t>(c.line - 1));
    else
      lines[static_cast<std::size_t>(c.line - 1)] = c.text;
    std::string idx;
    for (const std::string& l : lines) idx += l + "\n";
    writeFile("pelinoru.idx", idx);
    writeFile("W990501", dayLine("AAAAAAAAAAAAAA", 1, "990501", "13010") +
                             dayLine("EEEEEEEEEEEEEE", 1, "990501", "40010"));
    const std::string before = database();
    const e2e::Result r = e2e::pelinorx("store W990501");
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_NE(r.out.find(c.expected), std::string::npos) << c.what << ": " << r.out;
    EXPECT_EQ(r.out.find("pelinoru.dat が出力できません"), std::string::npos) << c.what;
    EXPECT_EQ(database(), before) << c.what;
    const e2e::Result analysis = e2e::pelinorx("analyze 990101");
    EXPECT_EQ(analysis.status, 1) << c.what;
    EXPECT_NE(analysis.out.find("pelinoru.idx"), std::string::npos) << c.what << analysis.out;
  }
}

// What the programs do with what they did not make or cannot trust: a lost index line, files
// of the user that look temporary, writes that are refused, a store in several groups, a daily
// file of 2 GB without line feeds. Each case prepares a copy of one database and runs one
// command. (Journals of other files or damaged ones: journal_test, fault_injection_test.)
TEST(Reliability, EachCaseOfDoubtfulInputEndsAsItShould) {
  testsupport::TempWorkDir dir;
  fs::create_directory("base");
  fs::current_path("base");
  makeDatabase(3);  // stocks 1301, 1377, 2001 in slots 0, 1, 2
  e2e::writeScript("open.script", {"paint"});
  e2e::writeScript("export.script", {"keys 1377", "key RETURN", "key F1"});
  e2e::writeScript("settings.script",
                   {"menu 5", "keys 20T150", "key RETURN", "keys 99T99", "key RETURN"});
  struct Case {
    const char* what;
    std::function<void()> prepare;  // in the copy, before the command
    const char* program;
    std::string args;
    int status;
    const char* says;  // a text the output holds (UTF-8), or nullptr
    std::function<void(const std::string& label)> check;  // the files afterwards
  };
  std::string before;  // the files before the command
  marketdb::DatabaseLock held;
  const auto unchanged = [&](const std::string& label) { EXPECT_EQ(database(), before) << label; };
  const Case cases[] = {
      {"an index line lost in the middle",
       [&] {
         std::string idx = readFile("pelinoru.idx");
         const std::size_t b = idx.find("1377");
         idx.erase(idx.rfind('\n', b) + 1, idx.find('\n', b) - idx.rfind('\n', b));
         writeFile("pelinoru.idx", idx);
         writeFile("W990110", dayFile(5));
         before = database();
       },
       "pelinorx", "store W990110", 1, "pelinoru.idx.bak", unchanged},
      {"files of the user with temporary-looking names",
       [&] {
         writeFile("notes.tmp-20240104", "mine");
         writeFile("prices.csv.bak-new-99999", "mine too");
         writeFile("pelinoru.idx.tmp-999999999", "left by a dead writer");
         writeFile("pelwide.dat.tmp-999999999", "left by a dead init");
       },
       "pelinorw", "--script open.script", 0, nullptr,
       [&](const std::string& label) {
         EXPECT_EQ(readFile("notes.tmp-20240104"), "mine") << label;
         EXPECT_EQ(readFile("prices.csv.bak-new-99999"), "mine too") << label;
         EXPECT_FALSE(fs::exists("pelinoru.idx.tmp-999999999")) << label;
         EXPECT_FALSE(fs::exists("pelwide.dat.tmp-999999999")) << label;
       }},
      {"an export with a folder in its way", [&] { fs::create_directory("kabudata.txt"); },
       "pelinorw", "--script export.script", 1, "kabudata.txt",
       [&](const std::string&) {}},
      {"a settings save while another program writes",
       [&] {
         before = database();
         ASSERT_EQ(held.acquire(), marketdb::DatabaseLock::Result::Acquired);
       },
       "pelinorx", "--script settings.script", 1, nullptr,
       [&](const std::string& label) {
         held.release();
         unchanged(label);
       }},
      {"a daily file of 2 GB without a line feed",
       [&] {
         writeFile("W990110", "");
         fs::resize_file("W990110", 2ull << 30);
         before = database();
       },
       "pelinorx", "store W990110", 1, "1024", unchanged},
  };
  for (const Case& c : cases) {
    fs::current_path(dir.path());
    fs::remove_all("work");
    fs::copy("base", "work", fs::copy_options::recursive);
    fs::current_path("work");
    c.prepare();
    const e2e::Result r = e2e::run(c.program, c.args, true);
    EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.out;
    if (c.says) {
      EXPECT_NE(r.out.find(c.says), std::string::npos) << c.what << "\n" << r.out;
    }
    c.check(c.what);
  }
}

TEST(Reliability, ABatchStoredInGroupsEqualsStoringEachFileAlone) {
  testsupport::TempWorkDir dir;
  const int days = 40;  // more than one group
  fs::create_directory("alone");
  fs::create_directory("batch");
  std::string names;
  for (int n = 0; n < days; ++n) {
    writeFile(fs::path("batch") / fileOf(n), dayFile(n));
    names += ' ';
    names += fileOf(n);
  }
  fs::current_path("alone");
  makeDatabase(days);
  const std::string alone = database();
  fs::current_path("../batch");
  ASSERT_EQ(e2e::pelinorx("init W").status, 0);
  const e2e::Result r = e2e::pelinorx("store" + names);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(database(), alone);
  const std::vector<std::string> out = e2e::splitLines(r.out);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.back(), "格納済みの最後のﾌｧｲﾙ: " + fileOf(days - 1));
  // The .bak generation is the state before the whole command (the empty index of init), not
  // the state between its two groups.
  EXPECT_TRUE(fs::exists("pelinoru.idx.bak"));
  EXPECT_EQ(readFile("pelinoru.idx.bak"), "");
}

TEST(Reliability, TwoStoresAtOnceLoseNoDay) {
  for (int round = 0; round < 5; ++round) {
    testsupport::TempWorkDir dir;
    makeDatabase(2);
    writeFile("W990301", dayLine("AAAAAAAAAAAAAA", 501, "990301", "13010"));
    writeFile("W990302", dayLine("AAAAAAAAAAAAAA", 502, "990302", "13010"));
    e2e::Result first, second;
    std::thread a([&] { first = e2e::pelinorx("store W990301"); });
    std::thread b([&] { second = e2e::pelinorx("store W990302"); });
    a.join();
    b.join();
    const std::string sys = readFile("pelinoru.sys");
    EXPECT_EQ(second.status, 0) << second.out;
    // The earlier day is either stored too, in the slot before, or refused with its reason.
    if (first.status == 0) {
      EXPECT_EQ(sys.substr(0, 20), "   0 990302    0   4") << sys;
      EXPECT_EQ(readFile("pelinoru.dat").substr(3 * 18, 4), std::string("\xd0\xc5\x71\x49", 4));
    } else {
      EXPECT_EQ(sys.substr(0, 20), "   0 990302    0   3") << sys;
      EXPECT_NE(first.out.find("今回格納日付990301が前回格納日付990302より後でない"), std::string::npos)
          << first.out;
    }
  }
}

TEST(Reliability, AWatchListEditDuringASettingsSaveKeepsBoth) {
  for (int round = 0; round < 5; ++round) {
    testsupport::TempWorkDir dir;
    makeDatabase(2);
    e2e::writeScript("settings.script",
                     {"menu 5", "keys 20T150", "key RETURN", "keys 99T99", "key RETURN"});
    e2e::writeScript("watch.script", {"keys 1377", "key RETURN", "key INSERT"});
    e2e::Result settings, watch;
    std::thread a([&] { settings = e2e::pelinorx("--script settings.script"); });
    std::thread b([&] { watch = e2e::pelinorw("--script watch.script"); });
    a.join();
    b.join();
    EXPECT_EQ(settings.status, 0);
    EXPECT_EQ(watch.status, 0);
    const std::vector<std::string> sys = e2e::splitLines(readFile("pelinoru.sys"));
    const std::vector<std::string> win = e2e::splitLines(readFile("pelinoru.win"));
    ASSERT_EQ(sys.size(), 3u);
    ASSERT_EQ(win.size(), 12u);
    EXPECT_EQ(sys[2].substr(0, 3), "150") << "the edited period";
    EXPECT_EQ(win[6].substr(0, 5), "1377 ") << "the watch code";
  }
}

}  // namespace

namespace {

// Day n's file name and its 300 stocks (so that a store takes a while).
std::string wideName(int n) {
  char name[16];
  std::snprintf(name, sizeof name, "W99%02d%02d", 2 + n / 28, 1 + n % 28);
  return name;
}
std::string wideDay(int n) {
  std::string text;
  for (int s = 0; s < 300; ++s)
    text += dayLine(std::string("S").append(std::to_string(1000000000000 + s)),
                    100 + (s * 7 + n * 13) % 400,
                    wideName(n).substr(1), std::to_string(10000 + 10 * s));
  return text;
}

// Analyses run one after another while 40 files are stored in two groups: each ranking is
// the ranking of one committed state (before, after the first group, after both), never of
// a state in between.
TEST(Reliability, AnAnalysisDuringAGroupedStoreSeesOneCommittedState) {
  testsupport::TempWorkDir dir;
  fs::create_directory("live");
  fs::current_path("live");
  std::string all, first;
  for (int n = 0; n <= 40; ++n) {
    writeFile(wideName(n), wideDay(n));
    if (n == 0) continue;  // the day stored before
    all.append(" ").append(wideName(n));
    if (n <= 32) first.append(" ").append(wideName(n));
  }
  ASSERT_EQ(e2e::pelinorx("init W").status, 0);
  ASSERT_EQ(e2e::pelinorx(std::string("store ").append(wideName(0))).status, 0);
  // Compared with the last day: the 指定 column then looks at every day of the ring, also at
  // days a store has written and not yet committed. The three committed states' rankings,
  // each made alone.
  const std::string compare = "analyze " + wideName(40).substr(1);
  std::vector<std::string> committed;
  for (const std::string& names : {std::string(), first, all}) {
    fs::remove_all(dir.path() / "state");
    fs::copy(dir.path() / "live", dir.path() / "state", fs::copy_options::recursive);
    fs::current_path(dir.path() / "state");
    if (!names.empty()) {
      ASSERT_EQ(e2e::pelinorx("store" + names).status, 0);
    }
    ASSERT_EQ(e2e::pelinorx(compare).status, 0);
    committed.push_back(readFile("ranking.dat"));
    fs::current_path(dir.path() / "live");
  }
  fs::copy(dir.path() / "live", dir.path() / "start", fs::copy_options::recursive);
  for (int round = 0; round < 8; ++round) {  // the moments of a mixed state are short
    fs::current_path(dir.path());
    fs::remove_all("live");
    fs::copy("start", "live", fs::copy_options::recursive);
    fs::current_path("live");
    std::atomic<bool> storing{true};
    e2e::Result store;
    std::thread writer([&] {
      store = e2e::pelinorx("store" + all);
      storing = false;
    });
    for (int analyses = 0; storing || analyses == 0; ++analyses) {
      const e2e::Result r = e2e::pelinorx(compare);
      EXPECT_EQ(r.status, 0) << r.out;
      const std::string ranking = readFile("ranking.dat");
      EXPECT_TRUE(ranking == committed[0] || ranking == committed[1] || ranking == committed[2])
          << "round " << round << ", analysis " << analyses << " saw a state never committed";
    }
    writer.join();
    EXPECT_EQ(store.status, 0) << store.out;
    // The last analysis above may have begun between the groups; one after the store sees all.
    EXPECT_EQ(e2e::pelinorx(compare).status, 0);
    EXPECT_EQ(readFile("ranking.dat"), committed[2]);
  }
}

}  // namespace
