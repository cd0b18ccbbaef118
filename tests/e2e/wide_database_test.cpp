// pelinorx init --wide and store as a user runs them: the files they write byte for byte, read
// back here from the byte layout alone, and the daily files a wide or classic database refuses.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>
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
std::string emptyHeader(std::uint32_t version = 2) {
  std::string b = std::string("PLNWDAT") + '\0';
  for (std::uint32_t v : {version, 4096u, 32u, 640u, 10000u, 0u})
    for (int i = 0; i < 4; ++i) b += static_cast<char>(v >> (8 * i));
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (unsigned char c : b) h = (h ^ c) * 0x100000001b3ULL;
  for (int i = 0; i < 8; ++i) b += static_cast<char>(h >> (8 * i));
  return b + std::string(4096 - 40, '\0');
}

TEST(WideDatabase, InitWritesTheWideFiles) {
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

  // Both kinds in one folder: refused, even for the classic commands.
  fs::copy_file("wide/pelwide.sys", "classic/pelwide.sys");
  const Result both = pelinorx("-C classic analyze 240104");
  EXPECT_EQ(both.status, 1);
  EXPECT_NE(both.out.find("従来形式とワイド形式の２つのデータベースがあります"), std::string::npos)
      << both.out;
}

// Where a record lies in a price file of 10,000 record slots: in a ring row of its own in the
// first version, in a tile of eight days in the second.
std::size_t recordAt(std::uint32_t version, int ring, int slot) {
  if (version == 1) return 4096 + static_cast<std::size_t>(ring * 10000 + slot) * 32;
  return 4096 + static_cast<std::size_t>(ring / 8) * 10000 * 256 +
         static_cast<std::size_t>(slot) * 256 + static_cast<std::size_t>(ring % 8) * 32;
}

// A database made by init, in the version asked for (init makes the second; the first is
// still read and written as it is).
void initWide(std::uint32_t version) {
  ASSERT_EQ(pelinorx("init W --wide").status, 0);
  if (version != 2) writeFile("pelwide.dat", emptyHeader(version));
}

// The 32 bytes of a wide record, packed from its fields: six little-endian int32 and a float64.
std::string wideRecord(std::int32_t date, std::int32_t open, std::int32_t high, std::int32_t low,
                       std::int32_t close, std::int32_t change, double volume) {
  std::string b;
  for (std::int32_t v : {date, open, high, low, close, change})
    for (int i = 0; i < 4; ++i) b += static_cast<char>(static_cast<std::uint32_t>(v) >> (8 * i));
  std::uint64_t bits;
  std::memcpy(&bits, &volume, 8);
  for (int i = 0; i < 8; ++i) b += static_cast<char>(bits >> (8 * i));
  return b;
}

// A line of the extended daily form, market 801.
std::string wideLine(const std::string& name, const std::string& prices, const std::string& volume,
                     const std::string& date, const std::string& code5) {
  return "\"" + name + "\"," + prices + "," + volume + "," + date + ",801," + code5 + "\n";
}
const std::string WideHead = "#PELWIDE DAILY 1\n";

// Word `n` (0-based) of every line of `text` after the first.
std::vector<std::string> column(const std::string& text, int n) {
  std::vector<std::string> out;
  const std::vector<std::string> lines = e2e::splitLines(text);
  for (std::size_t l = 1; l < lines.size(); ++l) {
    std::istringstream words(lines[l]);
    std::string w;
    for (int i = 0; i <= n; ++i) words >> w;
    out.push_back(w);
  }
  return out;
}

class WideVersions : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(WideVersions, StoresLetterCodesAndLargePricesWhereTheVersionPlacesThem) {
  testsupport::TempWorkDir dir;
  const std::uint32_t version = GetParam();
  initWide(version);
  writeFile("W240105", WideHead +
                           wideLine("BIGPRICEXXXXXX", "123456,123999,120000,123000,-456",
                                    "123456789012345", "20240105", "130A0") +
                           wideLine("TOYOTAXXXXXXXX", "3000,3100,2990,3050,50", "1000.5",
                                    "20240105", "72030"));
  writeFile("W240108", WideHead +
                           wideLine("NEWXXXXXXXXXXX", "700,710,690,705,5", "300", "20240108",
                                    "13090") +
                           wideLine("BIGPRICEXXXXXX", "99999999,99999999,0,99999999,-99999999",
                                    "1000000000000000", "20240108", "130A0"));
  // The classic form: a yymmdd date, a numeric code times ten, a price above 16 bits.
  writeFile("W240109", "\"KYOKUYOXXXXXXX\",1,1,1,40000,0,10,240109,801,13010\n");
  const Result r = pelinorx("store W240105 W240108 W240109");
  ASSERT_EQ(r.status, 0) << r.out;

  // Slots are given in the order stocks first appear: 130A 0, 7203 1, 1309 2, 1301 3. The
  // store starts at ring slot 1; a stock without a line that day gets an empty record, and
  // ring slot 0, never written, is a hole.
  const auto at = [version](int ring, int slot) { return recordAt(version, ring, slot); };
  const std::size_t end = version == 1 ? at(3, 4) : at(0, 4);  // the last row written
  std::string expected = emptyHeader(version) + std::string(end - 4096, '\0');
  expected[28] = 4;  // records assigned, and the checksum of bytes 0..31
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (int i = 0; i < 32; ++i) h = (h ^ static_cast<unsigned char>(expected[i])) * 0x100000001b3ULL;
  for (int i = 0; i < 8; ++i) expected[32 + i] = static_cast<char>(h >> (8 * i));
  expected.replace(at(1, 0), 32, wideRecord(20240105, 123456, 123999, 120000, 123000, -456, 123456789012345.0));
  expected.replace(at(1, 1), 32, wideRecord(20240105, 3000, 3100, 2990, 3050, 50, 1000.5));
  expected.replace(at(2, 0), 32, wideRecord(20240108, 99999999, 99999999, 0, 99999999, -99999999, 1e15));
  expected.replace(at(2, 2), 32, wideRecord(20240108, 700, 710, 690, 705, 5, 300));
  expected.replace(at(3, 3), 32, wideRecord(20240109, 1, 1, 1, 40000, 0, 10));
  EXPECT_TRUE(readFile("pelwide.dat") == expected);

  const std::string idx = readFile("pelwide.idx");
  EXPECT_EQ(idx.substr(0, 14), "PELWIDE IDX 1\n");
  EXPECT_EQ(column(idx, 2), (std::vector<std::string>{"1301", "1309", "130A", "7203"}));
  EXPECT_EQ(column(idx, 4), (std::vector<std::string>{"3", "2", "0", "1"}));
  const std::string sys = readFile("pelwide.sys");
  EXPECT_EQ(column(sys, 1)[0] + " " + column(sys, 3)[0], "20240109 3");
}

// Each case: a fresh database of the kind, one daily file; a refused file leaves every database
// file as it was and exits 1, naming the file and the line.
TEST(WideDatabase, RefusesBadDailyFilesAndWritesNothing) {
  testsupport::TempWorkDir dir;
  const std::string good = wideLine("GOODXXXXXXXXXX", "100,110,90,105,5", "1000", "20240105", "13010");
  const auto bad = [&](const std::string& prices, const std::string& volume, const std::string& date,
                       const std::string& code) {
    return WideHead + good + wideLine("BADXXXXXXXXXXX", prices, volume, date, code);
  };
  struct Case {
    const char* init;
    std::string daily;
    bool damageHeader;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"init W", WideHead + good, false, 1, "W240105 の1行目はワイド形式の日々株価データなので格納しません"},
      {"init W --wide", bad("1,1,1,1,0", "1", "20240105", "130B0"), false, 1, "W240105 の3行目のｺｰﾄﾞ「130B0」"},
      {"init W --wide", bad("1,100000000,1,1,0", "1", "20240105", "130A0"), false, 1, "W240105 の3行目の高値"},
      {"init W --wide", bad("1,1,1,1,0", "1000000000000001", "20240105", "130A0"), false, 1, "W240105 の3行目の出来高"},
      {"init W --wide", bad("1,1,1,1,0", "1", "20240230", "130A0"), false, 1, "W240105 の3行目の日付"},
      {"init W --wide", WideHead + good, true, 1, "pelwide.dat の見出しが壊れているので処理しません"},
      // The classic form in a wide database: a line beyond the wide ranges is passed over.
      {"init W --wide",
       "\"GOODXXXXXXXXXX\",1,1,1,40000,0,10,240105,801,13010\n"
       "\"BADXXXXXXXXXXX\",1,1,1,100000000,0,10,240105,801,13020\n",
       false, 0, "価格が範囲外のため格納しません: ｺｰﾄﾞ1302"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string folder = "db" + std::to_string(n++);
    fs::create_directory(folder);
    ASSERT_EQ(pelinorx("-C " + folder + " " + c.init).status, 0);
    if (c.damageHeader) {
      std::string dat = readFile(folder + "/pelwide.dat");
      dat[28] = 1;
      writeFile(folder + "/pelwide.dat", dat);
    }
    writeFile("W240105", c.daily);
    const auto before = folderBytes(folder);
    const Result r = pelinorx("-C " + folder + " store ../W240105");
    EXPECT_EQ(r.status, c.status) << folder << ": " << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << folder << ": " << r.out;
    if (c.status != 0) {
      EXPECT_EQ(differences(folderBytes(folder), before), "") << folder;
    } else {
      EXPECT_EQ(column(readFile(folder + "/pelwide.idx"), 2), std::vector<std::string>{"1301"});
    }
  }
}

// The four wide files, for comparing states.
std::string wideFiles() {
  return readFile("pelwide.sys") + readFile("pelwide.win") + readFile("pelwide.idx") +
         readFile("pelwide.dat");
}

// A store that adds a stock (so the header changes too), stopped after its N-th write or with
// its N-th write failing, for every N: once the database program has opened the folder, the
// files are those before the store or those after it, and no journal is left.
TEST(WideDatabase, AnInterruptedStoreIsRolledBack) {
  testsupport::TempWorkDir dir;
  fs::create_directory("base");
  fs::current_path("base");
  ASSERT_EQ(pelinorx("init W --wide").status, 0);
  writeFile("W240105", WideHead + wideLine("AAAAAAAAAAAAAA", "50000,50000,50000,50000,0", "7",
                                           "20240105", "130A0"));
  writeFile("W240108", WideHead +
                           wideLine("AAAAAAAAAAAAAA", "51000,51000,51000,51000,1000", "8",
                                    "20240108", "130A0") +
                           wideLine("BBBBBBBBBBBBBB", "10,10,10,10,0", "9", "20240108", "72030"));
  ASSERT_EQ(pelinorx("store W240105").status, 0);
  e2e::writeScript("open.script", {"paint"});
  const std::string before = wideFiles();
  fs::current_path(dir.path());

  const auto fresh = [&] {
    fs::current_path(dir.path());
    fs::remove_all("work");
    fs::copy("base", "work", fs::copy_options::recursive);
    fs::current_path("work");
  };
  fresh();
  ASSERT_EQ(pelinorx("store W240108").status, 0);
  const std::string after = wideFiles();
  ASSERT_NE(after, before);

  int stopped = 0;
  for (const char* fault : {"kill:", "fail:"}) {
    for (int n = 1; n < 60; ++n) {
      fresh();
      ::setenv("PELINOR_FAULT_WRITE", (fault + std::to_string(n)).c_str(), 1);
      const Result r = pelinorx("store W240108");
      ::unsetenv("PELINOR_FAULT_WRITE");
      if (r.status == 0) break;  // no N-th write: the store ran to its end
      const bool killed = std::string(fault) == "kill:";
      stopped += killed;
      const Result open = pelinorx("--script open.script");
      EXPECT_EQ(open.status, 0);
      EXPECT_EQ(open.out.find("[ﾌｧｲﾙ存在状況]"), std::string::npos) << open.out;
      const std::string now = wideFiles();
      EXPECT_TRUE(now == before || (killed && now == after)) << fault << n;
      EXPECT_FALSE(fs::exists("pelwide.jnl")) << fault << n;
    }
  }
  EXPECT_GT(stopped, 3);
}

// A record a stock kept from the previous lap (an older date in a ring slot whose day is newer)
// is emptied by clear-stale; every other byte stays.
TEST_P(WideVersions, ClearStaleEmptiesThePreviousLapsRecords) {
  testsupport::TempWorkDir dir;
  initWide(GetParam());
  for (const char* date : {"20240105", "20240108"}) {
    std::string daily = WideHead;
    for (const char* code : {"13010", "130A0", "72030"})
      daily += wideLine("AAAAAAAAAAAAAA", "40000,40000,40000,40000,0", "5", date, code);
    writeFile(std::string("W") + (date + 2), daily);
  }
  ASSERT_EQ(pelinorx("store W240105 W240108").status, 0);
  std::string dat = readFile("pelwide.dat");
  // Record slot 2 at ring slots 1 and 2: neighbours in a tile, two rows apart in ring rows.
  const std::size_t stale[] = {recordAt(GetParam(), 1, 2), recordAt(GetParam(), 2, 2)};
  for (std::size_t at : stale) dat.replace(at, 32, wideRecord(20220105, 1, 1, 1, 1, 0, 3));
  writeFile("pelwide.dat", dat);

  const Result r = pelinorx("clear-stale");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("cleared 2 previous-lap records of 1 stock (3 stocks checked)"),
            std::string::npos) << r.out;
  for (std::size_t at : stale) dat.replace(at, 32, std::string(32, '\0'));
  EXPECT_EQ(readFile("pelwide.dat"), dat);
}

INSTANTIATE_TEST_SUITE_P(Versions, WideVersions, ::testing::Values(2u, 1u));

}  // namespace
