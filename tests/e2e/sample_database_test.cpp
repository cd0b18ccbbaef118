// Two years of generated daily files stored with pelinorx store, and the four database files
// checked against what the daily files alone say they must hold: the index, the system line and
// every 18-byte day record of every stock's 640-day ring, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"
#include "tools/sample/sample_data.h"

namespace {

namespace fs = std::filesystem;
using e2e::pelinorx;
using e2e::Result;
using testsupport::readFile;
using testsupport::writeFile;

constexpr int Ring = 640;
constexpr std::size_t RecordBytes = 18;
constexpr std::size_t BlockBytes = RecordBytes * Ring;

// The date yymmdd of a daily file's name as a number that orders 1946..2045.
int orderKey(const fs::path& file) {
  const int yymmdd = std::stoi(file.filename().string().substr(1));
  return (yymmdd / 10000 < 46 ? 1000000 : 0) + yymmdd;
}

// Generates W files into dir and returns them in date order.
std::vector<fs::path> generate(const fs::path& dir, int stocks, int days, int endDate,
                               char kind = 'W') {
  pelinor::sample::SampleOptions options;
  options.outDir = dir.string();
  options.writeW = kind == 'W';
  options.writeN = kind == 'N';
  options.stocks = stocks;
  options.days = days;
  options.endDate = endDate;
  options.seed = 7;
  std::string error;
  EXPECT_TRUE(pelinor::sample::generateSampleData(options, error)) << error;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir)) files.push_back(entry.path());
  std::sort(files.begin(), files.end(),
            [](const fs::path& a, const fs::path& b) { return orderKey(a) < orderKey(b); });
  return files;
}

// Rewrites, in the given files, every line of one code with another name or market code.
void rewriteStock(const std::vector<fs::path>& files, int code, const std::string& name,
                  int market) {
  const std::string codeField = std::string(",").append(std::to_string(code * 10));
  for (const auto& file : files) {
    std::string out;
    for (std::string line : e2e::splitLines(readFile(file))) {
      if (line.size() > codeField.size() &&
          line.compare(line.size() - codeField.size(), codeField.size(), codeField) == 0) {
        if (!name.empty()) line.replace(1, 14, name);
        if (market != 0) {
          const std::size_t end = line.rfind(',');
          const std::size_t start = line.rfind(',', end - 1) + 1;
          line.replace(start, end - start, std::to_string(market));
        }
      }
      out += line + "\n";
    }
    writeFile(file, out);
  }
}

int sectionOf(int market) {
  switch (market) {
    case 801: return 1;
    case 802: return 2;
    case 811: return 3;
    case 812: return 4;
    case 813: return 5;
    case 814: return 6;
    default: return -1;  // unchanged
  }
}

void putLe(std::string& bytes, std::size_t at, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) bytes[at + static_cast<std::size_t>(i)] =
      static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::int16_t price(float value) {
  const int truncated = static_cast<int>(value);
  EXPECT_GE(truncated, -32768);
  EXPECT_LE(truncated, 32767);
  return static_cast<std::int16_t>(truncated);
}

// What the database must hold after storing the files in order into an empty W database.
struct ExpectedStock {
  int slot = 0;
  int section = 0;
  std::string name;
  int change = 0;  // kchumoku
};

struct Expected {
  std::map<int, ExpectedStock> stocks;  // by code
  std::string dat;
  float lastDate = 0;
  int position = 0;
  std::string idx() const {
    std::string out;
    char buf[96];
    for (const auto& [code, s] : stocks) {
      std::snprintf(buf, sizeof buf, "%1d %1d %4g %14s %4d %3d\n", 0, s.section,
                    static_cast<double>(code), s.name.c_str(), s.slot, s.change);
      out += buf;
    }
    return out;
  }
};

Expected expectedDatabase(const std::vector<fs::path>& files) {
  Expected e;
  int nextSlot = 0;
  for (std::size_t day = 0; day < files.size(); ++day) {
    bool ok = false;
    const auto lines = e2e::readDailyFile(files[day], &ok);
    EXPECT_TRUE(ok) << files[day];
    EXPECT_FALSE(lines.empty()) << files[day];
    const int ringSlot = static_cast<int>((day + 1) % Ring);
    // Every stock already in the table starts the day with an empty record; those without a
    // line keep it.
    for (auto& [code, s] : e.stocks) {
      s.change = 0;
      e.dat.replace(static_cast<std::size_t>(s.slot) * BlockBytes +
                        static_cast<std::size_t>(ringSlot) * RecordBytes,
                    RecordBytes, RecordBytes, '\0');
    }
    for (const auto& d : lines) {
      EXPECT_EQ(d.date, lines.front().date) << "one date per file";
      const int code = static_cast<int>(d.code10 / 10);
      EXPECT_EQ(static_cast<float>(code) * 10, d.code10);
      EXPECT_GE(d.market, 801);
      auto found = e.stocks.find(code);
      if (found == e.stocks.end()) {
        ExpectedStock s;
        s.slot = nextSlot++;
        s.section = 0;
        found = e.stocks.emplace(code, s).first;
        e.dat.resize(static_cast<std::size_t>(nextSlot) * BlockBytes, '\0');
      }
      ExpectedStock& s = found->second;
      s.name = d.name;
      if (sectionOf(static_cast<int>(d.market)) > 0) s.section = sectionOf(static_cast<int>(d.market));
      const int open = price(d.open), high = price(d.high), low = price(d.low),
                close = price(d.close), change = price(d.change);
      s.change = (d.volume == 0 || close - change == 0)
                     ? 0
                     : static_cast<int>(100.0 * change / static_cast<double>(close - change));
      const std::size_t at = static_cast<std::size_t>(s.slot) * BlockBytes +
                             static_cast<std::size_t>(ringSlot) * RecordBytes;
      putLe(e.dat, at, std::bit_cast<std::uint32_t>(d.date), 4);
      putLe(e.dat, at + 4, static_cast<std::uint16_t>(open), 2);
      putLe(e.dat, at + 6, static_cast<std::uint16_t>(high), 2);
      putLe(e.dat, at + 8, static_cast<std::uint16_t>(low), 2);
      putLe(e.dat, at + 10, static_cast<std::uint16_t>(close), 2);
      putLe(e.dat, at + 12, static_cast<std::uint16_t>(change), 2);
      putLe(e.dat, at + 14, std::bit_cast<std::uint32_t>(d.volume), 4);
    }
    e.lastDate = lines.empty() ? 0 : lines.front().date;
    e.position = ringSlot;
  }
  return e;
}

// Names the first differing record of two database images, for a readable failure.
std::string firstDifference(const std::string& actual, const std::string& expected,
                            const std::map<int, ExpectedStock>& stocks) {
  if (actual.size() != expected.size())
    return "size " + std::to_string(actual.size()) + " instead of " +
           std::to_string(expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    if (actual[i] == expected[i]) continue;
    const int block = static_cast<int>(i / BlockBytes);
    int code = 0;
    for (const auto& [c, s] : stocks)
      if (s.slot == block) code = c;
    return "byte " + std::to_string(i) + ": code " + std::to_string(code) + ", ring slot " +
           std::to_string((i % BlockBytes) / RecordBytes) + ", field byte " +
           std::to_string(i % RecordBytes);
  }
  return "";
}

std::string database() {
  return readFile("pelinoru.sys") + "|" + readFile("pelinoru.win") + "|" +
         readFile("pelinoru.idx") + "|" + readFile("pelinoru.dat");
}

std::string joinPaths(const std::vector<fs::path>& files) {
  std::string out;
  for (const auto& f : files) out.append(" ").append(f.string());
  return out;
}

TEST(SampleDatabase, TwoYearsOfDailyFilesFillTheRingExactly) {
  testsupport::TempWorkDir dir;
  // 700 trading days up to 30 June 2000: the ring wraps after 640 days, and the days run from
  // 1997 across the turn of the century.
  std::vector<fs::path> files = generate(dir.path() / "daily", 40, 700, 630);
  ASSERT_EQ(files.size(), 700u);
  ASSERT_EQ(files.front().filename().string().substr(0, 3), "W97");
  ASSERT_EQ(files.back().filename().string(), "W000630");

  // A stock renamed and moved to the second section for the last 60 days; another moved there
  // for a stretch in the middle and back again. Both must end up as their newest line says.
  const auto lastDay = e2e::readDailyFile(files.back());
  ASSERT_GE(lastDay.size(), 3u);
  const int renamed = static_cast<int>(lastDay[1].code10 / 10);
  const int moved = static_cast<int>(lastDay[2].code10 / 10);
  const std::vector<fs::path> tail(files.end() - 60, files.end());
  rewriteStock(tail, renamed, "RENAMED_STOCK1", 811);
  rewriteStock(std::vector<fs::path>(files.begin() + 300, files.begin() + 400), moved, "", 811);
  rewriteStock(std::vector<fs::path>(files.begin() + 400, files.end()), moved, "", 801);

  const Expected expected = expectedDatabase(files);
  ASSERT_GE(expected.stocks.size(), 30u);
  ASSERT_EQ(expected.position, 700 % Ring);
  EXPECT_EQ(expected.stocks.at(renamed).name, "RENAMED_STOCK1");
  EXPECT_EQ(expected.stocks.at(renamed).section, 3);
  EXPECT_EQ(expected.stocks.at(moved).section, 1);

  ASSERT_EQ(pelinorx("init W").status, 0);
  const auto initSys = e2e::splitLines(readFile("pelinoru.sys"));
  ASSERT_EQ(initSys.size(), 3u);

  const Result run = pelinorx("store" + joinPaths(files));
  EXPECT_EQ(run.status, 0) << run.out.substr(0, 2000);
  std::size_t done = 0, pos = 0;
  const std::string doneText = "正常に格納処理終了しました。";
  while ((pos = run.out.find(doneText, pos)) != std::string::npos) ++done, pos += doneText.size();
  EXPECT_EQ(done, files.size());

  // pelinoru.sys: the newest date and the ring position; the colour and period lines as created.
  char line1[64];
  std::snprintf(line1, sizeof line1, "%4d %6g %4d %3d", 0, static_cast<double>(expected.lastDate),
                0, expected.position);
  const auto sys = e2e::splitLines(readFile("pelinoru.sys"));
  ASSERT_EQ(sys.size(), 3u);
  EXPECT_EQ(sys[0], line1);
  EXPECT_EQ(sys[0], "   0    630    0  60");
  EXPECT_EQ(sys[1], initSys[1]);
  EXPECT_EQ(sys[2], initSys[2]);

  EXPECT_EQ(readFile("pelinoru.idx"), expected.idx());

  const std::string dat = readFile("pelinoru.dat");
  EXPECT_EQ(dat.size(), expected.stocks.size() * BlockBytes);
  EXPECT_TRUE(dat == expected.dat) << firstDifference(dat, expected.dat, expected.stocks);
}

TEST(SampleDatabase, AnNDatabaseKeepsTheFourSectionsOfItsFiles) {
  testsupport::TempWorkDir dir;
  const std::vector<fs::path> files = generate(dir.path() / "daily", 60, 90, 260331, 'N');
  ASSERT_EQ(files.size(), 90u);
  const Expected expected = expectedDatabase(files);
  std::map<int, int> sections;
  for (const auto& [code, s] : expected.stocks) ++sections[s.section];
  for (int section : {2, 4, 5, 6}) EXPECT_GT(sections[section], 0) << section;
  EXPECT_EQ(sections.size(), 4u);

  ASSERT_EQ(pelinorx("init N").status, 0);
  // A W file is refused by an N database before anything is read.
  ASSERT_EQ(pelinorx("init W").status, 1);
  const std::string empty = database();
  fs::copy_file(files.front(), "W260105");
  EXPECT_EQ(pelinorx("store W260105").status, 1);
  EXPECT_TRUE(database() == empty);

  const Result run = pelinorx("store" + joinPaths(files));
  EXPECT_EQ(run.status, 0) << run.out.substr(0, 2000);
  EXPECT_EQ(readFile("pelinoru.idx"), expected.idx());
  EXPECT_EQ(e2e::splitLines(readFile("pelinoru.sys")).at(0), "   0 260331    0  90");
  const std::string dat = readFile("pelinoru.dat");
  EXPECT_TRUE(dat == expected.dat) << firstDifference(dat, expected.dat, expected.stocks);
}

TEST(SampleDatabase, StoringTheSameDaysAgainIsRefusedAndChangesNothing) {
  testsupport::TempWorkDir dir;
  const std::vector<fs::path> files = generate(dir.path() / "daily", 12, 30, 104);
  ASSERT_EQ(files.size(), 30u);
  ASSERT_EQ(pelinorx("init W").status, 0);
  ASSERT_EQ(pelinorx("store" + joinPaths(files)).status, 0);
  const std::string before = database();

  const Result again = pelinorx("store" + joinPaths(files));
  EXPECT_EQ(again.status, 1);
  // Refused at the first file: its date is older than the newest stored one (a 1999 date after
  // 2000).
  const float firstDate = e2e::readDailyFile(files.front()).at(0).date;
  const float lastDate = e2e::readDailyFile(files.back()).at(0).date;
  char refusal[160];
  std::snprintf(refusal, sizeof refusal,
                "今回格納日付%06gが前回格納日付%06gより後でないので格納処理しません",
                static_cast<double>(firstDate), static_cast<double>(lastDate));
  EXPECT_NE(again.out.find(refusal), std::string::npos) << again.out;
  EXPECT_EQ(again.out.find("格納中"), std::string::npos) << again.out;
  EXPECT_TRUE(database() == before);

  // The newest file alone is refused likewise: its date equals the newest stored one.
  const Result last = pelinorx("store " + files.back().string());
  EXPECT_EQ(last.status, 1);
  EXPECT_TRUE(database() == before);
}

}  // namespace
