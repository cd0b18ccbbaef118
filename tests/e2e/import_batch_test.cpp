// pelinorx import as a user runs it on downloaded CSV files, then pelinorx store of what it wrote;
// and every batch command run on another folder with -C.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using e2e::pelinorx;
using e2e::Result;
using testsupport::readFile;
using testsupport::writeFile;

// Runs a built program with standard error joined to standard output.
Result runJoined(const std::string& program, const std::string& args) {
  return e2e::run(program, args, true);
}

// A stock's day as the hand-made files give it.
struct Day {
  int date;  // yymmdd
  int open, high, low, close, volume;
};

// 7203: ISO dates, an adjusted-close column, an unreadable line 4, and a drop to a fifth on
// 240109 as after a split. 6758: slashed dates and no line for 240105.
const std::map<int, std::vector<Day>> Stocks = {
    {7203,
     {{240104, 2450, 2510, 2440, 2500, 800000},
      {240105, 2500, 2550, 2480, 2520, 900000},
      {240109, 506, 515, 500, 505, 4500000},
      {240110, 505, 520, 503, 512, 3900000}}},
    {6758,
     {{240104, 12000, 12100, 11900, 12050, 50000},
      {240109, 12100, 12300, 12000, 12200, 60000},
      {240110, 12150, 12250, 12050, 12100, 40000}}},
};
const std::vector<int> TradingDays = {240104, 240105, 240109, 240110};

void writeSourceFiles(const fs::path& folder) {
  fs::create_directories(folder);
  std::string toyota = "Date,Open,High,Low,Close,Adj Close,Volume\n";
  std::string sony = "Date,Open,High,Low,Close,Volume\r\n";
  for (const Day& d : Stocks.at(7203)) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "20%02d-%02d-%02d,%d,%d,%d,%d,%d,%d\n", d.date / 10000,
                  d.date / 100 % 100, d.date % 100, d.open, d.high, d.low, d.close, d.close,
                  d.volume);
    toyota += buf;
    if (d.date == 240105) toyota += "2024-01-08,null,null,null,null,null,null\n";
  }
  for (const Day& d : Stocks.at(6758)) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "20%02d/%02d/%02d,%d,%d,%d,%d,%d\r\n", d.date / 10000,
                  d.date / 100 % 100, d.date % 100, d.open, d.high, d.low, d.close, d.volume);
    sony += buf;
  }
  writeFile(folder / "7203.csv", toyota);
  writeFile(folder / "6758.csv", sony);
}

std::vector<std::string> dailyFilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string n = e.path().filename().string();
    if (n.size() == 7 && (n[0] == 'W' || n[0] == 'N')) names.push_back(n);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The stock table line of a code: record slot, name and percentage change.
struct IndexEntry {
  int slot = -1;
  std::string name;
  int percent = 0;
};

std::map<int, IndexEntry> readIndex() {
  std::map<int, IndexEntry> entries;
  std::istringstream in(readFile("pelinoru.idx"));
  int deleted, section, code;
  IndexEntry e;
  while (in >> deleted >> section >> code >> e.name >> e.slot >> e.percent) entries[code] = e;
  return entries;
}

// One day record of pelinoru.dat, read from its bytes: float date, five 16-bit prices, float
// volume, little-endian, 18 bytes; 640 of them per stock.
struct Stored {
  float date;
  int open, high, low, close, change;
  float volume;
};

Stored storedDay(const std::string& dat, int slot, int position) {
  const std::size_t at = (static_cast<std::size_t>(slot) * 640 + position) * 18;
  Stored s{};
  if (at + 18 > dat.size()) return s;
  auto u16 = [&](std::size_t o) {
    return static_cast<int>(static_cast<std::int16_t>(
        static_cast<unsigned char>(dat[at + o]) | static_cast<unsigned char>(dat[at + o + 1]) << 8));
  };
  std::memcpy(&s.date, dat.data() + at, 4);
  s.open = u16(4);
  s.high = u16(6);
  s.low = u16(8);
  s.close = u16(10);
  s.change = u16(12);
  std::memcpy(&s.volume, dat.data() + at + 14, 4);
  return s;
}

TEST(ImportBatch, DownloadedPricesReachTheDatabaseThroughTheStore) {
  testsupport::TempWorkDir dir;
  writeSourceFiles("prices");
  writeFile("names.csv", "code,name\n7203,トヨタ自動車\n");
  ASSERT_EQ(pelinorx("init W").status, 0);

  const Result run = pelinorx("import --names names.csv prices");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("prices/7203.csv:4: "), std::string::npos) << run.out;
  EXPECT_EQ(dailyFilesIn("."), (std::vector<std::string>{"W240104", "W240105", "W240109",
                                                         "W240110"}));
  // The same import again finds its files in place and changes nothing.
  const std::string before = readFile("W240109");
  const Result again = pelinorx("import --names names.csv prices");
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(readFile("W240109"), before);

  const Result store = pelinorx("store W240104 W240105 W240109 W240110");
  ASSERT_EQ(store.status, 0) << store.out;

  const auto index = readIndex();
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(index.at(7203).name, e2e::toSjis("トヨタ自動車　"));
  EXPECT_EQ(index.at(6758).name, e2e::toSjis("6758　　　　　"));
  const std::string dat = readFile("pelinoru.dat");
  for (const auto& [code, days] : Stocks) {
    SCOPED_TRACE(code);
    int previousClose = -1;
    std::size_t next = 0;
    for (std::size_t p = 0; p < TradingDays.size(); ++p) {
      const Stored s = storedDay(dat, index.at(code).slot, static_cast<int>(p) + 1);
      if (next >= days.size() || days[next].date != TradingDays[p]) {
        // A day the stock has no line for keeps the empty record.
        EXPECT_EQ(s.date, 0.0f) << TradingDays[p];
        EXPECT_EQ(s.volume, 0.0f);
        continue;
      }
      const Day& d = days[next++];
      EXPECT_EQ(s.date, static_cast<float>(d.date));
      EXPECT_EQ(s.open, d.open);
      EXPECT_EQ(s.high, d.high);
      EXPECT_EQ(s.low, d.low);
      EXPECT_EQ(s.close, d.close);
      EXPECT_EQ(s.change, previousClose < 0 ? 0 : d.close - previousClose) << d.date;
      EXPECT_EQ(s.volume, static_cast<float>(d.volume));
      previousClose = d.close;
    }
    // The newest day's percentage change, as the store computes it from the stored values.
    const Day& last = days.back();
    const Day& before = days[days.size() - 2];
    const int change = last.close - before.close;
    EXPECT_EQ(index.at(code).percent, static_cast<int>(100.0 * change / (last.close - change)));
  }

  // Days the database holds already are not written again.
  for (const auto& f : dailyFilesIn(".")) fs::remove(f);
  const Result later = pelinorx("import prices");
  EXPECT_EQ(later.status, 0) << later.out;
  EXPECT_TRUE(dailyFilesIn(".").empty());
}

TEST(ImportBatch, ASourceThatCannotBeUsedIsReportedAndTheRestImported) {
  testsupport::TempWorkDir dir;
  writeSourceFiles("prices");
  ASSERT_EQ(::mkfifo("fifo.csv", 0600), 0);
  writeFile("prices/1301.csv", "2024-01-04,1,1,1,1,1\n");  // no header
  struct Case {
    std::string args;
    int status;
    std::string said;  // the reason, once
  };
  const std::vector<Case> cases = {
      {"import --kind W prices missing.csv", 0, "missing.csv: cannot be read (no such file)"},
      {"import --kind W prices /dev/zero", 0, "/dev/zero: cannot be read (not a regular file"},
      {"import --kind W prices fifo.csv", 0, "fifo.csv: cannot be read (not a regular file"},
      {"import --kind W prices", 0, "prices/1301.csv: the header line does not name"},
      {"import --kind W --names /dev/urandom prices", 1, "/dev/urandom: cannot be read (not a"},
      {"import --kind W --names prices prices", 1, "prices: cannot be read (a folder, not a file)"},
      {"import --kind W --names nonames.csv prices", 1, "nonames.csv: cannot be read (no such"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    fs::remove_all("out");
    const Result r = pelinorx(c.args + " --out out");
    EXPECT_EQ(r.status, c.status) << r.out;
    const std::size_t at = r.out.find(c.said);
    EXPECT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(c.said, at + 1), std::string::npos) << r.out;
    if (c.status == 0)
      EXPECT_EQ(dailyFilesIn("out").size(), TradingDays.size()) << r.out;
    else
      EXPECT_FALSE(fs::exists("out")) << r.out;
  }
  // A daily file of other lines is never replaced: nothing is written.
  fs::remove_all("out");
  fs::create_directory("out");
  writeFile("out/W240109", "something else\n");
  const Result clash = pelinorx("import --kind W --out out prices");
  EXPECT_EQ(clash.status, 1);
  EXPECT_NE(clash.out.find("nothing written"), std::string::npos) << clash.out;
  EXPECT_EQ(dailyFilesIn("out"), std::vector<std::string>{"W240109"});
  EXPECT_TRUE(dailyFilesIn(".").empty());

  fs::remove("prices/1301.csv");
  // Usage errors: no source, no kind without a database, a kind other than the database's.
  EXPECT_EQ(pelinorx("import").status, 2);
  EXPECT_EQ(pelinorx("import prices").status, 2);
  EXPECT_EQ(pelinorx("import --kind X prices").status, 2);
  ASSERT_EQ(pelinorx("init N").status, 0);
  EXPECT_EQ(pelinorx("import --kind W prices").status, 1);
  EXPECT_TRUE(dailyFilesIn(".").empty());
  EXPECT_EQ(pelinorx("import prices").status, 0);
  EXPECT_EQ(dailyFilesIn(".").front(), "N240104");
}

// Every batch command works on the folder -C names and leaves the working directory alone.
TEST(FolderOption, EveryBatchCommandWorksOnTheFolderGiven) {
  testsupport::TempWorkDir dir;
  writeSourceFiles("prices");
  fs::create_directory("db");
  EXPECT_EQ(pelinorx("-C db init W").status, 0);
  EXPECT_TRUE(fs::exists("db/pelinoru.sys"));
  // Names after -C are taken inside the folder.
  EXPECT_EQ(pelinorx("--directory db import ../prices").status, 0);
  EXPECT_EQ(dailyFilesIn("db").size(), TradingDays.size());
  const Result store = pelinorx("--directory=db store W240104 W240105 W240109 W240110");
  EXPECT_EQ(store.status, 0) << store.out;
  EXPECT_EQ(e2e::splitLines(readFile("db/pelinoru.sys")).at(0), "   0 240110    0   4");
  const Result analyze = pelinorx("-C db analyze 240104");
  EXPECT_EQ(analyze.status, 0) << analyze.out;
  EXPECT_TRUE(fs::exists("db/ranking.dat"));
  for (const char* name : {"pelinoru.sys", "pelinoru.win", "pelinoru.idx", "pelinoru.dat",
                           "ranking.dat", "W240104"})
    EXPECT_FALSE(fs::exists(name)) << name;

  for (const char* command : {"init W", "store W240104", "analyze 240104", "import x"}) {
    const Result r = runJoined("pelinorx", std::string("-C nowhere ") + command);
    EXPECT_EQ(r.status, 2) << command;
    EXPECT_NE(r.out.find("'nowhere'"), std::string::npos) << r.out;
  }
  EXPECT_FALSE(fs::exists("nowhere"));

  // The viewer started on a folder without a database says so.
  fs::create_directory("empty");
  e2e::writeScript("empty/events.txt", {"paint"});
  const Result viewer = runJoined("pelinorw", "-C empty --script events.txt");
  EXPECT_NE(viewer.out.find("/empty にデータベースがありません。pelinorx init W"), std::string::npos)
      << viewer.out;
  EXPECT_EQ(runJoined("pelinorw", "-C nowhere --script events.txt").status, 2);
}

}  // namespace
