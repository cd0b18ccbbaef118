// The store of several daily files against a plain reference: the ring positions of each
// stored day are laid into the bytes of pelinoru.dat as they stood, one record at a time, and
// the store (one file per change, a few per change, all as one change; with and without the
// ring wrapping inside the group) must give exactly those bytes: at each stored day, every
// stock of the table without a stored line there (missing, or its line left out) gets an empty
// record, whatever the position held before.
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "marketdb/files.h"
#include "tests/dbprogram/store_fixture.h"

namespace storetest {
namespace {

using dbprogram::StoreResult;

struct Stock {
  const char* name;
  const char* code10;
  int code;
  int base;
};
const Stock Stocks[] = {{"AAAAAAAAAAAAAA", "13010", 1301, 100},
                        {"BBBBBBBBBBBBBB", "13770", 1377, 2000},
                        {"CCCCCCCCCCCCCC", "20010", 2001, 300},
                        {"DDDDDDDDDDDDDD", "30010", 3001, 4000},  // new in the group
                        {"EEEEEEEEEEEEEE", "99840", 9984, 50},    // new in the group
                        // New in one file only, with a change of 4 %: every later file of the
                        // group must set its change % back to 0.
                        {"FFFFFFFFFFFFFF", "13050", 1305, 20}};

struct Line {
  int stock;  // index into Stocks
  int date;
  int day;              // makes the values differ from day to day
  bool leftOut = false;  // of a market the store passes over
};

std::string text(const Line& l) {
  const Stock& s = Stocks[l.stock];
  const int close = s.base + l.day;
  return dailyLine(s.name, std::to_string(close - 1), std::to_string(close + 2),
                   std::to_string(close - 3), std::to_string(close), std::to_string(l.day % 5 - 2),
                   std::to_string(1000 + l.day), std::to_string(l.date), l.leftOut ? "800" : "801",
                   s.code10);
}

// The group: stocks missing on some days, two new ones, a file holding two dates.
const std::vector<std::vector<Line>> GroupFiles = {
    {{0, 991206, 1}, {1, 991206, 1}, {2, 991206, 1}},
    {{0, 991207, 2}, {2, 991207, 2}},
    {{0, 991208, 3}, {1, 991208, 3}, {2, 991208, 3}, {3, 991208, 3}, {5, 991208, 3}},
    {{1, 991209, 4, true}, {2, 991209, 4}, {3, 991209, 4}},
    {{0, 991210, 5}, {1, 991210, 5}, {2, 991210, 5}, {3, 991210, 5}, {4, 991210, 5}},
    {{0, 991211, 6}, {1, 991211, 6}, {2, 991213, 7}, {4, 991213, 7}},
};

class StoreGroupReference : public StoreTest {
 protected:
  // A database holding three days of the first three stocks, whose record bytes are then
  // replaced by noise, with the ring's last position set to `position`.
  void prepare(int position) {
    for (const char* name : {"pelinoru.sys", "pelinoru.win", "pelinoru.idx", "pelinoru.dat"})
      std::filesystem::remove(name);
    initDatabase("W");
    for (int d = 0; d < 3; ++d) {
      std::string day;
      for (int s = 0; s < 3; ++s) day += text({s, 991201 + d, 0});
      ASSERT_EQ(store("W99120" + std::to_string(1 + d), day), StoreResult::Stored);
    }
    std::string dat = testsupport::readFile("pelinoru.dat");
    ASSERT_EQ(dat.size(), 3u * 11520u);
    std::mt19937 random(static_cast<unsigned>(position));
    for (char& c : dat) c = static_cast<char>(random() & 0xFF);
    testsupport::writeFile("pelinoru.dat", dat);
    setStoreState(991203, position);
  }

  // pelinoru.dat as the group should leave it, built record by record from `before`.
  static std::string reference(std::string dat, int position) {
    auto table = std::make_unique<marketdb::StockTable>();
    EXPECT_EQ(marketdb::readStockTable(*table), marketdb::FileStatus::Ok);
    int previousDate = 0;
    for (const auto& file : GroupFiles) {
      for (const Line& l : file) {
        if (l.date != previousDate) {
          position = (position + 1) % 640;
          for (std::size_t block = 0; block < dat.size(); block += 11520)
            dat.replace(block + static_cast<std::size_t>(position) * 18, 18, 18, '\0');
        }
        previousDate = l.date;
        if (l.leftOut) continue;
        int slot = -1;
        for (int i = 0; i < table->count; ++i)
          if (marketdb::codeNumber(table->kcodeidx[i]) == Stocks[l.stock].code)
            slot = table->krecordi[i];
        EXPECT_GE(slot, 0) << Stocks[l.stock].code;
        const std::size_t block = static_cast<std::size_t>(slot) * 11520;
        if (dat.size() < block + 11520) dat.resize(block + 11520, '\0');
        const int close = Stocks[l.stock].base + l.day;
        dat.replace(block + static_cast<std::size_t>(position) * 18, 18,
                    recordBytes(static_cast<float>(l.date), close - 1, close + 2, close - 3, close,
                                l.day % 5 - 2, static_cast<float>(1000 + l.day)));
      }
    }
    return dat;
  }
};

TEST_F(StoreGroupReference, EveryGroupSizeLaysTheRecordsOfThePlainReference) {
  std::vector<std::string> paths;
  for (std::size_t f = 0; f < GroupFiles.size(); ++f) {
    std::string contents;
    for (const Line& l : GroupFiles[f]) contents += text(l);
    paths.push_back(std::to_string(991206 + f).insert(0, 1, 'W'));
    testsupport::writeFile(paths.back(), contents);
  }
  for (int start : {100, 636}) {  // 636: the group's days run over 639 to 0
    Snapshot first;
    for (int group : {1, 4, 32}) {
      SCOPED_TRACE("ring position " + std::to_string(start) + ", " + std::to_string(group) +
                   " files per change");
      prepare(start);
      const std::string before = testsupport::readFile("pelinoru.dat");
      CapturedOutput out;
      const dbprogram::StoreRun run = dbprogram::storeDailyFiles(paths, out, group);
      ASSERT_EQ(run.result, StoreResult::Stored);
      ASSERT_EQ(run.storedFiles, static_cast<int>(paths.size()));
      EXPECT_EQ(testsupport::readFile("pelinoru.dat"), reference(before, start));
      char sys[32];
      std::snprintf(sys, sizeof sys, "   0 991213    0 %3d", (start + 7) % 640);
      EXPECT_EQ(sysLine1(), sys);
      if (group == 1)
        first = Snapshot::take();
      else
        EXPECT_TRUE(Snapshot::take() == first);
    }
  }
}

// More dates than the ring holds: 700 days of two stocks, as one file, and as seven files of
// 100 days stored one per change and all as one change. The newest 640 days must win in every
// case, so the four database files come out the same.
TEST_F(StoreGroupReference, MoreDatesThanTheRingHoldsKeepTheNewest) {
  std::vector<std::string> parts(7);
  std::string whole;
  auto dateOf = [](int day) {
    return (90 + day / 336) * 10000 + (day / 28 % 12 + 1) * 100 + day % 28 + 1;
  };
  for (int day = 0; day < 700; ++day) {
    for (int stock : {0, 2}) {
      const std::string line = text({stock, dateOf(day), day});
      parts[static_cast<std::size_t>(day / 100)] += line;
      whole += line;
    }
  }
  std::vector<std::string> paths;
  for (std::size_t f = 0; f < parts.size(); ++f) {
    paths.push_back("W9" + std::to_string(f));
    testsupport::writeFile(paths.back(), parts[f]);
  }
  testsupport::writeFile("W_all", whole);
  auto storeFresh = [&](const std::vector<std::string>& files, int group) {
    for (const char* name : {"pelinoru.sys", "pelinoru.win", "pelinoru.idx", "pelinoru.dat"})
      std::filesystem::remove(name);
    initDatabase("W");
    CapturedOutput out;
    EXPECT_EQ(dbprogram::storeDailyFiles(files, out, group).storedFiles,
              static_cast<int>(files.size()));
    return Snapshot::take();
  };
  const Snapshot oneByOne = storeFresh(paths, 1);
  EXPECT_TRUE(storeFresh(paths, 32) == oneByOne);
  EXPECT_TRUE(storeFresh({"W_all"}, 1) == oneByOne);
  // Day k went to ring position (k + 1) % 640: the newest, day 699, to 60, and day 60, the
  // oldest kept, to 61.
  for (int day : {699, 60}) {
    const int close = Stocks[0].base + day;
    EXPECT_EQ(datRecord(0, (day + 1) % 640),
              recordBytes(static_cast<float>(dateOf(day)), close - 1, close + 2, close - 3, close,
                          day % 5 - 2, static_cast<float>(1000 + day)))
        << day;
  }
}

// An output that declines the code echoes gets every other line, in the same order; one that
// shows them gets one echo per stored line, the code as "%6g", red at the echo's place.
struct NoEchoes : CapturedOutput {
  bool wantsCodeEchoes() const override { return false; }
};

TEST_F(StoreGroupReference, CodeEchoesAreMadeOnlyForAnOutputThatShowsThem) {
  std::vector<std::string> paths;
  std::vector<std::string> echoes;
  for (std::size_t f = 0; f < 3; ++f) {
    std::string contents;
    for (const Line& l : GroupFiles[f]) {
      contents += text(l);
      char echo[16];
      std::snprintf(echo, sizeof echo, "%6g", static_cast<double>(Stocks[l.stock].code));
      echoes.push_back(echo);
    }
    paths.push_back(std::to_string(991206 + f).insert(0, 1, 'W'));
    testsupport::writeFile(paths.back(), contents);
  }
  prepare(10);
  const Snapshot before = Snapshot::take();
  CapturedOutput shown;
  ASSERT_EQ(dbprogram::storeDailyFiles(paths, shown, 2).result, StoreResult::Stored);
  const Snapshot withEchoes = Snapshot::take();

  prepare(10);
  ASSERT_TRUE(Snapshot::take() == before);
  NoEchoes quiet;
  ASSERT_EQ(dbprogram::storeDailyFiles(paths, quiet, 2).result, StoreResult::Stored);
  EXPECT_TRUE(Snapshot::take() == withEchoes);

  std::vector<std::string> shownEchoes;
  std::vector<std::string> others;
  for (const auto& l : shown.lines) {
    if (l.kind == dbprogram::StoreLineKind::CodeEcho) {
      shownEchoes.push_back(l.text);
      EXPECT_EQ(l.colour, RGB(255, 0, 0));
      EXPECT_EQ(l.x, 0);
      EXPECT_EQ(l.y, dbprogram::StoreCodeY);
    } else {
      others.push_back(l.text);
    }
  }
  EXPECT_EQ(shownEchoes, echoes);
  std::vector<std::string> quietLines;
  for (const auto& l : quiet.lines) quietLines.push_back(l.text);
  EXPECT_EQ(quietLines, others);
  // The echoes of each date come after its progress line and before the completion.
  ASSERT_GE(shown.lines.size(), 3u);
  EXPECT_EQ(shown.lines[0].kind, dbprogram::StoreLineKind::Progress);
  EXPECT_EQ(shown.lines[1].text, echoes[0]);
  EXPECT_EQ(shown.lines[4].kind, dbprogram::StoreLineKind::Completed);
}

}  // namespace
}  // namespace storetest
